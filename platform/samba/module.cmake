# The Samba backend: NDR codecs and the services over them (plain C++, unit-tested, linked into the
# programs), and the module cairnmark-samba.so, the transport over Samba's DCE/RPC client, placed
# next to the binary.

add_library(cairn_samba_codec STATIC
  platform/samba/backends.cc
  platform/samba/host_name.cc
  platform/samba/ndr.cc
  platform/samba/rpc_calls.cc
  platform/samba/service_control.cc
  platform/samba/services.cc
  platform/samba/svcctl_calls.cc
  platform/samba/text_data.cc
  platform/common/utf.cc
)
target_include_directories(cairn_samba_codec PUBLIC ${CMAKE_SOURCE_DIR})
# The programs hold the codecs and services; the module only the transport under them.
target_link_libraries(cairn_platform PUBLIC cairn_samba_codec)
set_target_properties(cairn_samba_codec PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(SAMBA_CLIENT QUIET IMPORTED_TARGET
    dcerpc samba-credentials samba-hostconfig samba-util ndr_standard)
endif()
if(NOT SAMBA_CLIENT_FOUND)
  message(WARNING "Samba's client development files (package samba-dev) are missing: "
                  "cairnmark-samba.so is not built, and remote checks fail as unreachable.")
  return()
endif()

# The transport: the pipes over Samba's client, with the TCP connect that goes before them.
add_library(cairn_samba_session STATIC
  platform/common/port_probe.c
  platform/samba/kerberos_profile.c
  platform/samba/session.c
)
set_target_properties(cairn_samba_session PROPERTIES POSITION_INDEPENDENT_CODE ON
  C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
# Imported include directories count as system directories, which keeps Samba's own warnings
# out of the build.
target_link_libraries(cairn_samba_session PUBLIC PkgConfig::SAMBA_CLIENT)
target_include_directories(cairn_samba_session PUBLIC ${CMAKE_SOURCE_DIR})

add_library(cairnmark-samba MODULE platform/samba/module.c)
set_target_properties(cairnmark-samba PROPERTIES
  PREFIX ""
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
  C_VISIBILITY_PRESET hidden
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(cairnmark-samba PRIVATE cairn_samba_session)
target_link_options(cairnmark-samba PRIVATE -Wl,--no-undefined)
# Building the binary builds the module it loads.
add_dependencies(cairn_platform cairnmark-samba)
