# cairn_winlogon_key_source(<key> <output file>): generates the source that defines the Winlogon
# key a program rewrites (remote/winlogon_key.h), with the key as the registry spells it.
function(cairn_winlogon_key_source key output)
  string(REPLACE "\\" "\\\\" winlogonKeyEscaped "${key}")
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/winlogon_key.cc.in ${output} @ONLY)
endfunction()
