#!/usr/bin/env bash
# Runs ./test as a new user would on a fresh Debian 12 machine: debootstraps a bookworm root
# into a folder, clones a commit of this repository into it and runs ./test there as root
# (like CI), with nothing installed beyond the base system and what ./test installs itself.
# Prints the closing lines of ./test; the whole output stays in DIR.log. Not part of ./test.
#
# Usage (as root): tools/fresh-root-test.sh [--mirror URL] [--variant V] [--keep] [DIR [COMMIT]]
#   DIR        folder for the new root (default: a new folder under /var/tmp); must not exist
#   COMMIT     what to test (default: HEAD of the checkout the script is run from)
#   --mirror   Debian mirror (default: the first one of this machine's apt sources)
#   --variant  debootstrap variant (default: minbase, the smallest base system)
#   --keep     keep the root afterwards (default: it is removed when ./test passed)
set -euo pipefail

mirror="" variant=minbase keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --mirror) mirror="$2"; shift 2 ;;
    --variant) variant="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "run as root: debootstrap and chroot need it" >&2; exit 2; }

checkout="$(cd "$(dirname "$0")/.." && pwd)"
commit="$(git -C "$checkout" rev-parse --verify "${2:-HEAD}^{commit}")"
root="${1:-$(mktemp -d /var/tmp/tqc-fresh-root.XXXXXX)}"
if [ -z "${1:-}" ]; then rmdir "$root"; fi
[ ! -e "$root" ] || { echo "$root exists: give a new folder" >&2; exit 2; }
log="$root.log"

if [ -z "$mirror" ]; then
  # deb822 sources (URIs: ...) or one-line sources (deb URL suite ...).
  mirror="$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
    awk '/^URIs:/ && $2 !~ /security/ {print $2; exit}')"
  [ -n "$mirror" ] || mirror="$(cat /etc/apt/sources.list 2>/dev/null |
    awk '$1 == "deb" && $2 !~ /security/ {print $2; exit}')"
  [ -n "$mirror" ] || mirror=http://deb.debian.org/debian
fi

"$checkout/tools/deps.sh" debootstrap git

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -R -l "${mounted[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT
mountin() {  # mountin TARGET MOUNT-ARGS...
  mkdir -p "$root$1"
  mount "${@:2}" "$root$1"
  mounted+=("$root$1")
}

echo "== debootstrap bookworm ($variant) from $mirror into $root" >&2
debootstrap --variant="$variant" bookworm "$root" "$mirror" >"$log" 2>&1 ||
  { tail -n 20 "$log" >&2; exit 1; }

echo "== cloning $commit" >&2
git clone -q --no-hardlinks "$checkout" "$root/src/tqc"
git -C "$root/src/tqc" checkout -q --detach "$commit"

# What a machine has and a bare root lacks: name resolution, the kernel's file systems, and no
# daemons started by the packages that ./test installs.
cp /etc/resolv.conf "$root/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
mountin /proc -t proc proc
mountin /sys -t sysfs sys
# The machine's /dev with its pts and shm, as a slave: nothing mounted below it in the root
# may reach the machine's own /dev.
mountin /dev --rbind /dev
mount --make-rslave "$root/dev"
mountin /tmp -t tmpfs tmpfs
mountin /run -t tmpfs tmpfs

echo "== ./test in the fresh root (output in $log)" >&2
status=0
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true TERM=dumb \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  bash -c 'cd /src/tqc && ./test' </dev/null >>"$log" 2>&1 || status=$?
tail -n 25 "$log"
echo "== ./test exit status: $status (commit $commit)"

cleanup
mounted=()
if [ "$status" -eq 0 ] && [ "$keep" -eq 0 ]; then rm -rf --one-file-system "$root"; fi
exit "$status"
