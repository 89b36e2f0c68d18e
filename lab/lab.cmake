# cairnmark-labkey: the same program as cairnmark, built to rewrite HKLM\SOFTWARE\Lab\Winlogon
# instead of the real Winlogon key, because Samba refuses every write under
# ...\Windows NT\CurrentVersion. Only the lab tests and the demo run it; the shipped binary
# always rewrites the real key. It is placed next to cairnmark so that it loads the same
# cairnmark-samba.so.
set(CAIRNMARK_LAB_WINLOGON_KEY "SOFTWARE\\Lab\\Winlogon")
set(lab_generated ${CMAKE_BINARY_DIR}/generated-labkey)
block(SCOPE_FOR VARIABLES)
  string(REPLACE "\\" "\\\\" CAIRNMARK_WINLOGON_KEY_ESCAPED "${CAIRNMARK_LAB_WINLOGON_KEY}")
  configure_file(${CMAKE_SOURCE_DIR}/remote/winlogon_key.h.in
                 ${lab_generated}/remote/winlogon_key.h)
endblock()

# The logic's sources and the binary's link line are taken from the real targets, so that the
# two programs cannot drift apart.
get_target_property(lab_logic_sources cairn_logic SOURCES)
list(TRANSFORM lab_logic_sources PREPEND ${CMAKE_SOURCE_DIR}/ REGEX "^[^/]")
add_library(cairn_logic_labkey STATIC ${lab_logic_sources})
target_include_directories(cairn_logic_labkey PUBLIC ${CMAKE_SOURCE_DIR} ${lab_generated})

get_target_property(lab_main_sources cairnmark SOURCES)
list(TRANSFORM lab_main_sources PREPEND ${CMAKE_SOURCE_DIR}/ REGEX "^[^/]")
get_target_property(lab_main_libraries cairnmark LINK_LIBRARIES)
list(TRANSFORM lab_main_libraries REPLACE "^cairn_logic$" cairn_logic_labkey)
add_executable(cairnmark-labkey ${lab_main_sources})
target_link_libraries(cairnmark-labkey PRIVATE ${lab_main_libraries})
set_target_properties(cairnmark-labkey PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
