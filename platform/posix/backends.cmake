# POSIX backends: the C library's resolver, ICMP echo sockets, and the remote services, which
# live in a module loaded on demand (platform/samba/module.cmake).
add_library(cairn_platform STATIC
  platform/posix/console-posix.cc
  platform/posix/icmp_echo-posix.cc
  platform/posix/remote-samba.cc
  platform/posix/sockets-posix.cc
  platform/posix/utf.cc
)
target_include_directories(cairn_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(cairn_platform PUBLIC ${CMAKE_DL_LIBS})

include(platform/samba/module.cmake)
