#!/usr/bin/env bash
# Builds Free Pascal's Win64 RTL (System, ObjPas, the Windows unit ...) and its Variants,
# ActiveX and Ole2 units from Debian's fpc-source package into DIR, compile only (internal
# assembler, nothing links): the units tqc writes are for Win64, and only this target gives
# THandle, pointers and records their Windows sizes. A few seconds; kept while the compiler and
# its sources stay the same (DIR/stamp). Units are then checked with
#   ppcx64 -n -Twin64 -Px86_64 -Mdelphi -FuDIR/rtl -FuDIR -FU<ppu dir> unit.pas
# Usage: fpc_win64_units.sh DIR
set -eu
out=$1
ver=$(ppcx64 -iV)
S=/usr/share/fpcsrc/$ver
R=$out/rtl
stamp="$(command -v ppcx64) $ver $(ppcx64 -iD) $S"
if [ -f "$out/stamp" ] && [ "$(cat "$out/stamp")" = "$stamp" ] && [ -f "$out/ole2.ppu" ]; then
  exit 0
fi
rm -rf "$out"
mkdir -p "$R"
C="ppcx64 -n -Twin64 -Px86_64 -FU$R -FE$R -Fu$R -Fi$S/rtl/inc -Fi$S/rtl/x86_64 -Fi$S/rtl/win -Fi$S/rtl/win64 -Fi$S/rtl/common"
$C -Us -Sg "$S/rtl/win64/system.pp" >"$R/system.log" 2>&1
$C -I"$S/rtl/objpas" "$S/rtl/objpas/objpas.pp" >"$R/objpas.log" 2>&1
$C -Fi"$S/rtl/objpas/sysutils" -Fi"$S/rtl/objpas/classes" -Fu"$S/rtl/x86_64" -I"$S/rtl/win" \
  -I"$S/rtl/objpas" -I"$S/rtl/win/wininc" -Fu"$S/rtl/win/wininc" -Fu"$S/rtl/win" -I"$S/rtl/inc" \
  -Fu"$S/rtl/inc" -Fu"$S/rtl/objpas" "$S/rtl/win64/buildrtl.pp" >"$R/buildrtl.log" 2>&1
C="ppcx64 -n -Twin64 -Px86_64 -Fu$R -Fu$out -FU$out -FE$out"
cd "$out"
$C -Fi"$S/packages/rtl-objpas/src/inc" -Fu"$S/packages/rtl-objpas/src/inc" \
  -Fu"$S/packages/rtl-objpas/src/win" "$S/packages/rtl-objpas/src/inc/variants.pp" \
  >variants.log 2>&1
cp "$S/packages/winunits-base/src/activex.pp" "$S/packages/winunits-base/src/ole2.pp" .
$C -Fi"$S/packages/winunits-base/src" activex.pp >activex.log 2>&1
$C -Fi"$S/packages/winunits-base/src" ole2.pp >ole2.log 2>&1
echo "$stamp" >stamp
