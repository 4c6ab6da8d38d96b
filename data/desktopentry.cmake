# Runs at install time: writes the desktop entry with the installed program's
# absolute path in Exec, quoted as desktop entries require, and installs it.
set(_exec "${CMAKE_INSTALL_PREFIX}/trovalis")
if(_exec MATCHES "[\n\r]")
  message(FATAL_ERROR "A desktop entry cannot start a program whose path holds a line break: ${_exec}")
endif()
# A path with a reserved character goes in double quotes, inside which ", `, $
# and \ are escaped; "%" would start a field code.
if(_exec MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
  string(REPLACE "\\" "\\\\" _exec "${_exec}")
  string(REPLACE "\"" "\\\"" _exec "${_exec}")
  string(REPLACE "`" "\\`" _exec "${_exec}")
  string(REPLACE "$" "\\$" _exec "${_exec}")
  set(_exec "\"${_exec}\"")
endif()
string(REPLACE "%" "%%" _exec "${_exec}")
# The value itself is a string, whose backslashes are escaped once more.
string(REPLACE "\\" "\\\\" TROVALIS_DESKTOP_EXEC "${_exec}")
configure_file("${TROVALIS_DESKTOP_TEMPLATE}" "${TROVALIS_DESKTOP_OUTPUT}" @ONLY)
file(INSTALL "${TROVALIS_DESKTOP_OUTPUT}" DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications")
