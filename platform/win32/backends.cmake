# Win32 backends: KERNEL32, Windows Sockets, the ICMP interface, NETAPI32, the registry and the
# service control manager.
add_library(cairn_platform STATIC
  platform/win32/console-win32.cc
  platform/win32/crash_guard.cc
  platform/win32/durable_file-win32.cc
  platform/win32/icmp_echo-win32.cc
  platform/win32/net_management-win32.cc
  platform/win32/registry-win32.cc
  platform/win32/remote_services-win32.cc
  platform/win32/service_control-win32.cc
  platform/win32/sockets-win32.cc
  platform/win32/workers-win32.cc
)
target_include_directories(cairn_platform PUBLIC ${CMAKE_SOURCE_DIR})
# Windows 7 API level; the lean headers keep winsock.h out of windows.h.
target_compile_definitions(cairn_platform PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
target_link_libraries(cairn_platform PUBLIC ws2_32 iphlpapi netapi32 advapi32)

# One self-contained exe: the C and C++ runtimes and winpthread linked in, so it needs no DLL
# beyond the system's (a missing libwinpthread-1.dll makes the exe exit before main). Asked of
# every program that links these backends or the logic (the tests under Wine too), and of
# programs only; a Release exe also ships without symbols, the test build keeps them for Wine's
# backtraces.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(isProgram "$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>")
  foreach(library IN ITEMS cairn_platform cairn_logic)
    target_link_options(${library} INTERFACE "$<${isProgram}:-static>"
                        "$<$<AND:${isProgram},$<CONFIG:Release,MinSizeRel>>:-s>")
  endforeach()
endif()
