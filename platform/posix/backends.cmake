# POSIX backends: the C library's resolver, ICMP echo sockets, and the remote services, which
# live in a module loaded on demand (platform/samba/module.cmake).
add_library(cairn_platform STATIC
  platform/posix/console-posix.cc
  platform/posix/durable_file-posix.cc
  platform/posix/icmp_echo-posix.cc
  platform/posix/remote-samba.cc
  platform/posix/sockets-posix.cc
  platform/posix/worker_room-posix.cc
  platform/posix/workers-posix.cc
  platform/common/port_probe.c
  platform/common/utf.cc
)
target_include_directories(cairn_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(cairn_platform PUBLIC ${CMAKE_DL_LIBS})

# Where an installed binary finds its module: the install layout's module directory, relative to
# the directory of the binary itself, so that the tree works wherever it is installed or unpacked
# (no RUNPATH, no absolute prefix). A binary in the build tree finds the module next to itself.
file(RELATIVE_PATH moduleDirFromBinary ${CMAKE_INSTALL_FULL_BINDIR}
     ${CAIRNMARK_INSTALL_FULL_MODULEDIR})
set_property(SOURCE platform/posix/remote-samba.cc APPEND PROPERTY COMPILE_DEFINITIONS
             CAIRNMARK_MODULE_DIR_FROM_BINARY="${moduleDirFromBinary}")

include(platform/samba/module.cmake)

# Binding the shared C++ runtime costs a start more than all of the program's own work (about
# 0.35 ms of a 1.2 ms usage run), so programs built on these backends carry their own copy.
# The Samba module is plain C (platform/samba/module.h) and brings no C++ runtime of its own.
if(NOT CAIRNMARK_SANITIZE)
  target_link_options(cairn_platform INTERFACE -static-libstdc++ -static-libgcc)
endif()
