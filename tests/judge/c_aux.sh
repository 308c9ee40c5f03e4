#!/usr/bin/env bash
# Lists the functions the C compiler sees declared when one mingw-w64 header is compiled
# (x86_64-w64-mingw32-gcc -aux-info: one prototype a line, with the file and line that declare
# it). The header is compiled after <windows.h>, read from a precompiled header (most headers
# need it, and it makes the 1,400 compilations fast); a header that fails that way, and
# windows.h itself, is compiled alone. Writes OUT/NAME.aux (missing when neither compiles),
# OUT/NAME.err and OUT/NAME.how ("pch", "alone" or "none": how the abi check compiles it too).
# Usage: c_aux.sh PCH_DIR HEADER OUT
set -u
pch=$1
h=$2
out=$3
b=${h%.h}
printf '#include <%s>\n' "$h" >"$out/$b.c"
if [ "$h" != windows.h ] && x86_64-w64-mingw32-gcc -fsyntax-only -Winvalid-pch -I"$pch" \
  -include judge-pch.h -aux-info "$out/$b.aux" "$out/$b.c" >"$out/$b.err" 2>&1; then
  echo pch >"$out/$b.how"
elif x86_64-w64-mingw32-gcc -fsyntax-only -aux-info "$out/$b.aux" "$out/$b.c" >>"$out/$b.err" 2>&1
then
  echo alone >"$out/$b.how"
else
  rm -f "$out/$b.aux"
  echo none >"$out/$b.how"
fi
exit 0
