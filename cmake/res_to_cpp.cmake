# Embeds a compiled .res file in a library as the bytes the stand-in's
# resource loader reads.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" len)
math(EXPR size "${len} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT}.tmp "// Generated from ${IN}.\n#include <stddef.h>\nextern \"C\" __attribute__((visibility(\"default\"))) const unsigned char WinceResourceData[] = {\n${bytes}0};\nextern \"C\" __attribute__((visibility(\"default\"))) const size_t WinceResourceSize = ${size};\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
