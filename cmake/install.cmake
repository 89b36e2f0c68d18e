# What "cmake --install" puts where, and so what the packages hold. Linux: the programs in bin/,
# the Samba module in lib/<multiarch>/cairnmark/ (where the installed programs look for it, relative to their
# own directory: platform/posix/backends.cmake), the man pages in share/man/man1/. Windows (the
# zip): the exes, the sample batch file and a README.txt at the top, the manual pages as HTML in
# doc\. The lab-key twins are never installed.
set(programs cairnmark)
if(TARGET cairnmark-fleet)
  list(APPEND programs cairnmark-fleet)
endif()

if(WIN32)
  install(TARGETS ${programs} RUNTIME DESTINATION .)
  # Batch files and Notepad want CR LF line ends.
  configure_file(doc/windows/check-pcs.bat ${CMAKE_BINARY_DIR}/zip/check-pcs.bat @ONLY
                 NEWLINE_STYLE CRLF)
  configure_file(doc/windows/README.txt.in ${CMAKE_BINARY_DIR}/zip/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/zip/check-pcs.bat ${CMAKE_BINARY_DIR}/zip/README.txt
          DESTINATION .)
  set(manDestination doc)
else()
  install(TARGETS ${programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  if(TARGET cairnmark-samba)
    install(TARGETS cairnmark-samba LIBRARY DESTINATION ${CAIRNMARK_INSTALL_MODULEDIR})
  endif()
  install(FILES doc/copyright ${CAIRNMARK_CHANGELOG}
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/cairnmark)
  set(manDestination ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# A page is installed with the program it describes.
foreach(page IN LISTS CAIRNMARK_MAN_PAGES)
  get_filename_component(pageName ${page} NAME)
  string(REGEX REPLACE "\\..*$" "" pageProgram ${pageName})
  if(pageProgram IN_LIST programs)
    install(FILES ${page} DESTINATION ${manDestination})
  endif()
endforeach()
