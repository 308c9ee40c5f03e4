#!/usr/bin/env bash
# Builds Free Pascal's own Windows, ActiveX and Ole2 units for the Linux target from the
# fpc-source package into DIR, so that generated units can be compile-checked against them
# (nothing is linked). The Windows unit lacks SIZE_T on this target; one line supplies it.
# Usage: fpc_windows_units.sh DIR
set -euo pipefail
out=$1
src=/usr/share/fpcsrc/$(fpc -iV)
mkdir -p "$out"
cd "$out"
awk 'prev == "{$i base.inc}" && $0 == "{$i errors.inc}" && !done {
       print "{$ifdef read_interface}"; print "type SIZE_T = ULONG_PTR;"; print "{$endif}"; done = 1 }
     { print; prev = $0 }' "$src/rtl/win64/windows.pp" >windows.pp
fpc -Fi"$src/rtl/win/wininc" -Fi"$src/rtl/win" -Fi"$src/rtl/inc" -dWIN64 -dCPU64 windows.pp \
  >windows.log 2>&1
cp "$src/packages/winunits-base/src/activex.pp" "$src/packages/winunits-base/src/ole2.pp" .
fpc -Fu. -Fi"$src/packages/winunits-base/src" activex.pp >activex.log 2>&1
fpc -Fu. -Fi"$src/packages/winunits-base/src" ole2.pp >ole2.log 2>&1
