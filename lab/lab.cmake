# Lab-key twins: a program built again to rewrite HKLM\SOFTWARE\Lab\Winlogon instead of the real
# Winlogon key, because Samba refuses every write under ...\Windows NT\CurrentVersion. Only the
# lab tests, the demo and the benchmarks run them; they are never installed or packaged, and the
# shipped programs always rewrite the real key.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/winlogon_key.cmake)

# The stand-in key, compiled once for every twin.
if(NOT WIN32)
  cairn_winlogon_key_source("SOFTWARE\\Lab\\Winlogon"
                            ${CMAKE_BINARY_DIR}/winlogon_key/lab.cc)
  add_library(cairn_lab_winlogon_key OBJECT ${CMAKE_BINARY_DIR}/winlogon_key/lab.cc)
  target_include_directories(cairn_lab_winlogon_key PRIVATE ${CMAKE_SOURCE_DIR})
endif()

# cairn_add_lab_key_twin(<exe target> <twin name>): builds <twin name> from the sources, link line
# and build settings of <exe target>, with the stand-in key. Call it once <exe target> is complete
# (its sources and libraries are read at the call). The twin lands next to the program, so that
# it loads the same Samba module.
#
# How the key is swapped: the real key is the only member of the static library
# cairn_winlogon_key, which the logic links. The twin's own objects come first on its link line
# and define the key already, so the linker never takes that member out of its archive.
#
# The lab runs on Linux only: in a Windows build this makes nothing.
function(cairn_add_lab_key_twin exe twin)
  if(WIN32)
    return()
  endif()
  get_target_property(sources ${exe} SOURCES)
  get_target_property(sourceDir ${exe} SOURCE_DIR)
  list(TRANSFORM sources PREPEND ${sourceDir}/ REGEX "^[^/$]")
  add_executable(${twin} ${sources} $<TARGET_OBJECTS:cairn_lab_winlogon_key>)

  foreach(property IN ITEMS LINK_LIBRARIES INCLUDE_DIRECTORIES COMPILE_DEFINITIONS COMPILE_OPTIONS
                            COMPILE_FEATURES LINK_OPTIONS CXX_STANDARD)
    get_target_property(value ${exe} ${property})
    if(value)
      set_property(TARGET ${twin} PROPERTY ${property} ${value})
    endif()
  endforeach()

  get_target_property(outputDir ${exe} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT outputDir)
    get_target_property(outputDir ${exe} BINARY_DIR)
  endif()
  set_target_properties(${twin} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${outputDir})
endfunction()

cairn_add_lab_key_twin(cairnmark cairnmark-labkey)
