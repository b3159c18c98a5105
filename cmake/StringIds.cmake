# Writes the named text identifiers of the string table INPUT into the
# header OUTPUT. In the table, a comment line "#: NAME" names the entry on
# the next text line; "#: NAME ID" names the first identifier of a numbered
# range (a base that may have no text of its own).
file(READ ${INPUT} content)
# Only the identifiers matter: keep list separators out of the texts.
string(REPLACE ";" "" content "${content}")
string(REPLACE "[" "" content "${content}")
string(REPLACE "]" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")
set(pending "")
set(consts "")
set(table "")
foreach(line IN LISTS lines)
  if(line MATCHES "^#: ([A-Z][A-Z0-9_]*) ([0-9]+)$")
    string(APPEND consts "constexpr UINT ${CMAKE_MATCH_1} = ${CMAKE_MATCH_2};\n")
  elseif(line MATCHES "^#: ([A-Z][A-Z0-9_]*)$")
    list(APPEND pending ${CMAKE_MATCH_1})
  elseif(line MATCHES "^#:")
    message(FATAL_ERROR "${INPUT}: malformed name line '${line}'")
  elseif(line MATCHES "^([0-9]+)\t")
    foreach(name IN LISTS pending)
      string(APPEND consts "constexpr UINT ${name} = ${CMAKE_MATCH_1};\n")
      string(APPEND table "    {\"${name}\", ${name}},\n")
    endforeach()
    set(pending "")
  endif()
endforeach()
if(pending)
  message(FATAL_ERROR "${INPUT}: names without a text: ${pending}")
endif()
string(CONCAT text
  "// Generated from data/strings/builtin-1049.txt by cmake/StringIds.cmake - do not edit.\n"
  "// Named identifiers of the program's texts.\n"
  "#pragma once\n"
  "#include \"platform/win_types.h\"\n\n"
  "namespace velka {\n\n"
  "${consts}\n"
  "// Every name given to a text (not the range bases), for the tests.\n"
  "struct CNamedString {\n"
  "    const char* pszName;\n"
  "    UINT uId;\n"
  "};\n"
  "inline constexpr CNamedString c_aNamedStrings[] = {\n${table}};\n\n"
  "} // namespace velka\n")
# Rewrite only on change, so that a table edit of texts alone rebuilds little.
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
  if(old STREQUAL text)
    return()
  endif()
endif()
file(WRITE ${OUTPUT} "${text}")
