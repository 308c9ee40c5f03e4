#!/usr/bin/env bash
# The installed tree as a user meets it. Installs the build into a temporary prefix (DESTDIR),
# checks the layout, then runs the installed tqc-convert as a user who cannot write to the
# tree, with a fresh per-user folder: units, the include cache in the per-user folder, a second
# header that reads it, the user's own table copy, the one warning when no cache folder can be
# written, and a portable copy in a read-only folder. With --package it also builds the Debian
# package and checks its files and dependencies.
# Usage: install_test.sh BUILD_DIR [--package]
set -euo pipefail
build=$(cd "$1" && pwd)
package=${2:-}

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

tmp=$(mktemp -d /tmp/tqc_install_XXXXXX)
trap 'chmod -R u+w "$tmp" 2>/dev/null || true; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
stage=$tmp/stage
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
prefix=$stage/usr

# ---- Layout: exactly these files, nothing of the build.
icon_sizes=(16 22 24 32 48 64 128 256)
expected=(usr/bin/tqc-convert usr/share/man/man1/tqc-convert.1
  usr/share/tqc/tqc.dat usr/share/tqc/tqc.typ usr/share/tqc/tqc.def usr/share/tqc/tqc.exp
  usr/share/tqc/help_eng.txt)
window=no
if [ -x "$build/bin/tqc" ]; then
  window=yes
  expected+=(usr/bin/tqc usr/share/man/man1/tqc.1 usr/share/applications/tqc.desktop)
  for s in "${icon_sizes[@]}"; do expected+=("usr/share/icons/hicolor/${s}x${s}/apps/tqc.png"); done
fi
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$stage" && find . ! -type d | sed 's|^\./||' | sort) ||
  fail "the installed files differ from the expected layout (< expected, > installed)"

if [ "$window" = yes ]; then
  # Each icon is a PNG of its size (width and height from the IHDR chunk).
  for s in "${icon_sizes[@]}"; do
    f=$prefix/share/icons/hicolor/${s}x${s}/apps/tqc.png
    read -r -a b <<<"$(od -An -tu1 -N24 "$f" | tr -s " \n" "  ")"
    [ "${b[1]} ${b[2]} ${b[3]}" = "80 78 71" ] || fail "$f is no PNG file"
    w=$(((b[16] << 24) | (b[17] << 16) | (b[18] << 8) | b[19]))
    h=$(((b[20] << 24) | (b[21] << 16) | (b[22] << 8) | b[23]))
    [ "$w $h" = "$s $s" ] || fail "$f is ${w}x$h, not ${s}x$s"
  done
  desktop=$prefix/share/applications/tqc.desktop
  grep -qx 'Exec=tqc %f' "$desktop" || fail "the desktop entry does not start tqc with a file"
  grep -qx 'Icon=tqc' "$desktop" || fail "the desktop entry does not name the installed icon"
  grep -qx 'GenericName=Header Converter' "$desktop" || fail "the desktop entry lacks its generic name"
  grep -q '^MimeType=.*text/x-chdr;' "$desktop" || fail "the desktop entry does not open C headers"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  else
    echo "(desktop-file-validate not installed: the desktop entry is not validated)"
  fi
fi

# Every option of --help is in the manual page.
man=$prefix/share/man/man1/tqc-convert.1
for opt in $("$prefix/bin/tqc-convert" --help | grep -o -- '--[a-z-]*' | sort -u); do
  grep -qF -- "${opt//-/\\-}" "$man" || fail "$opt is not in the manual page"
done
if command -v groff >/dev/null; then
  for page in "$prefix"/share/man/man1/*.1; do
    [ -z "$(groff -man -ww -z "$page" 2>&1)" ] || fail "groff warns about $page"
  done
fi

# ---- The installed tree as a user who cannot write to it. Root writes anywhere: the programs
# then run as the user nobody, for whom the tree (owned by root) is read-only.
work=$tmp/work
mkdir -p "$work/base" "$work/app" "$work/home"
printf 'typedef struct tagPOINTF { float x; float y; } POINTF, *PPOINTF;\n' >"$work/base/base.h"
printf '#include "base.h"\nDWORD WINAPI GetFlags(PPOINTF p, POINTF* q);\n' >"$work/app/user.h"
printf 'MYTYPE WINAPI Mine(void);\n' >"$work/app/mine.h"
printf '#include "pre.h"\n' >"$work/app/usespre.h"
runas=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null || { echo "SKIPPED: setpriv is needed to drop root"; exit 0; }
  runas=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
  chown -R 65534:65534 "$work"
else
  chmod -R a-w "$stage"
fi
xdg=$work/xdg  # does not exist yet: the program makes it
user_dir=$xdg/morlen/tqc

# Runs an installed program as that user from a folder it cannot write to; stderr goes to
# $work/err.
run() {
  (cd "$prefix/share/tqc" &&
    env HOME="$work/home" XDG_DATA_HOME="$xdg" XDG_CONFIG_HOME="$work/home/.config" \
      "${runas[@]}" "$@" 2>"$work/err")
}
convert() { run "$prefix/bin/tqc-convert" --date 2026-12-07 --other pointer --out-dir "$work/out" "$@"; }

run test -w "$prefix/bin" && fail "the user can write to the installed tree"

convert "$work/base/base.h" || fail "converting base.h failed: $(cat "$work/err")"
[ "$(cat "$work/err")" = "base.h -> base.pas: 22 lines, 0 errors" ] || fail "base.h: $(cat "$work/err")"
grep -q $'^  PPOINTF\t= \\^POINTF;\r$' "$work/out/base.pas" || fail "base.pas lacks the pointer type"
[ -f "$user_dir/inc/base.tqc" ] || fail "the cache is not in the per-user folder"
grep -q $'^POINTF,PPOINTF\r$' "$user_dir/inc/base.tqc" || fail "the cache lacks what base.h declares"
[ ! -e "$prefix/bin/inc" ] && [ ! -e "$prefix/share/tqc/inc" ] || fail "a cache folder was made in the tree"

# The second header picks the cache up: its include is known and the pointer type is used.
convert "$work/app/user.h" || fail "converting user.h failed: $(cat "$work/err")"
[ "$(cat "$work/err")" = "user.h -> user.pas: 18 lines, 0 errors" ] || fail "user.h: $(cat "$work/err")"
grep -q $'^uses Windows, base;\r$' "$work/out/user.pas" || fail "user.pas does not use base"
grep -qF 'function GetFlags(p: PPOINTF; q: PPOINTF): DWORD; stdcall;' "$work/out/user.pas" ||
  fail "user.pas did not learn PPOINTF from the cache: $(grep GetFlags "$work/out/user.pas")"

run "$prefix/bin/tqc-convert" --print-home >"$work/home.txt" || fail "--print-home failed"
for line in "home: $prefix/share/tqc (installed)" "tqc.dat: $prefix/share/tqc/tqc.dat" \
  "user folder: $user_dir" "include cache: $user_dir/inc (written and read)" \
  "include cache: $prefix/share/tqc/inc (read)"; do
  grep -qxF "$line" "$work/home.txt" || fail "--print-home lacks '$line': $(cat "$work/home.txt")"
done

# The user's own copy of tqc.typ wins over the shipped one.
run cp "$prefix/share/tqc/tqc.typ" "$user_dir/tqc.typ"
run sh -c "printf '[TYPE]\\nMYTYPE,TMine\\n' >>'$user_dir/tqc.typ'"
convert "$work/app/mine.h" || fail "converting mine.h failed: $(cat "$work/err")"
grep -qF 'function Mine: TMine; stdcall;' "$work/out/mine.pas" || fail "the user's tqc.typ was not read"

# No cache folder can be written: one warning for the run, the units still written.
xdg=$prefix/share
convert "$work/base/base.h" "$work/app/user.h" || fail "a run without a cache folder failed"
[ "$(grep -c 'warning' "$work/err")" = 1 ] || fail "not exactly one warning: $(cat "$work/err")"
grep -qF "tqc-convert: warning: the include cache is not kept: cannot write $prefix/share/morlen/tqc/inc (" \
  "$work/err" || fail "the warning does not name the folder: $(cat "$work/err")"
grep -q '^user.h -> user.pas' "$work/err" || fail "the units were not written: $(cat "$work/err")"
xdg=$work/xdg

# A portable copy in a folder the user cannot write to: its own files, the cache in the
# per-user folder, and the caches shipped in its own inc folder read too.
portable=$tmp/portable
mkdir -p "$portable/inc"
cp "$prefix/bin/tqc-convert" "$prefix"/share/tqc/tqc.* "$portable/"
printf '[TYPE]\r\n[POINTER]\r\n[INTERFACE]\r\nIPre\r\n[CLASS]\r\n[FUNC]\r\n[MAKE]\r\n[INC]\r\n' >"$portable/inc/pre.tqc"
[ "$(id -u)" -eq 0 ] || chmod -R a-w "$portable"
run "$portable/tqc-convert" --date 2026-12-07 --out-dir "$work/out" "$work/app/usespre.h" ||
  fail "the portable copy failed: $(cat "$work/err")"
grep -q $'^// #include "pre.h"\r$' "$work/out/usespre.pas" || fail "the portable inc folder was not read"
[ -f "$user_dir/inc/usespre.tqc" ] || fail "the portable copy did not write to the per-user folder"
run "$portable/tqc-convert" --print-home >"$work/home.txt"
grep -qxF "home: $portable (portable: the program's folder)" "$work/home.txt" ||
  fail "the portable copy does not use its own folder: $(cat "$work/home.txt")"

# ---- The Debian package: the installed files, and dependencies from the shared libraries.
if [ "$package" = --package ] && [ "$window" = yes ]; then
  if ! command -v dpkg-deb >/dev/null || ! command -v dpkg-shlibdeps >/dev/null; then
    echo "(dpkg-dev not installed: the package is not built)"
  else
    (cd "$tmp" && cpack -G DEB -B "$tmp/pkg" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1) ||
      fail "cpack failed: $(cat "$tmp/cpack.log")"
    deb=$(ls "$tmp"/pkg/tqc_*.deb)
    diff <(printf '%s\n' "${expected[@]}" | sort) \
      <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort) ||
      fail "the package's files differ from the installed ones"
    depends=$(dpkg-deb -f "$deb" Depends)
    names=$(tr ',' '\n' <<<"$depends" | awk '{print $1}')
    for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
      grep -qxF "$lib" <<<"$names" || fail "the package does not depend on $lib: $depends"
    done
    ! grep -qE -- '-dev$|gtest|jemalloc|asan|ubsan' <<<"$names" ||
      fail "the package depends on the build: $depends"
  fi
fi
echo "install test passed ($window window)"
