# The packages, made by CPack from the install rules (cmake/install.cmake) in the build directory:
#   cpack -G DEB   (Linux build)   cairnmark_VERSION_ARCH.deb, its Depends found by dpkg-shlibdeps
#   cpack -G ZIP   (mingw build)   cairnmark-VERSION-win64.zip
set(CPACK_PACKAGE_NAME cairnmark)
set(CPACK_PACKAGE_VENDOR "The Cairnmark developers")
set(CPACK_PACKAGE_CONTACT "Cairnmark maintainers <cairnmark-maintainers@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "check and set the domain of Windows PCs in a domain migration")
set(CPACK_PACKAGE_DESCRIPTION [[
Cairnmark checks, for a Windows PC and the target domain of a migration, that
the PC resolves, optionally answers ping, reports the expected computer name
and is in the target domain, and can make that domain the default that the
PC's logon screen offers (the Winlogon values DefaultDomainName and
AltDefaultDomainName in its remote registry). Every outcome is a distinct exit
code, so that scripts and batch files can act on it.

cairnmark checks one PC, with a command line in the Windows style (/M, /T, /S);
cairnmark-fleet checks a list of PCs in parallel and records, for each, its
exit code, the reason for a failure and the Winlogon values before and after,
as CSV, JSON lines or an HTML page.

The PCs are reached over SMB named pipes with Samba's DCE/RPC client, using a
Kerberos ticket or a user name and password from the environment.]])
set(CPACK_STRIP_FILES ON)

# Debian package: one binary package for /usr, Depends computed from the installed binaries.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Windows zip: one folder named after the package and version.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
