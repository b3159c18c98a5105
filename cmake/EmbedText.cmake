# Writes INPUT into OUTPUT as a zero-terminated byte array behind a
# `const char* const SYMBOL` (namespace velka). Bytes rather than a string
# literal, so that UTF-8 text reaches the program unchanged under every
# compiler's source-encoding rules.
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# 16 bytes a line.
set(row "")
foreach(i RANGE 15)
  string(APPEND row "0x[0-9a-f][0-9a-f],")
endforeach()
string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}
  "// Generated from ${INPUT}; do not edit.\n"
  "namespace velka {\n"
  "extern const char* const ${SYMBOL};\n"
  "namespace {\n"
  "const unsigned char c_data[] = {\n${bytes}0x00};\n"
  "} // namespace\n"
  "const char* const ${SYMBOL} = reinterpret_cast<const char*>(c_data);\n"
  "}\n")
