#!/usr/bin/env bash
# Writes the definition file that tells, for each function the Windows import libraries of
# mingw-w64 know, the DLL that exports it (data/tqc.exp): read from the import libraries of
# Debian's mingw-w64-x86-64-dev with the cross binutils. In an import library made by dlltool,
# each function is a member with the symbols __imp_NAME and NAME that refers to the library's
# head member (_head_...); the head names the tail member (..._iname), whose .idata$7 section
# holds the DLL's file name.
#
# A function that several DLLs export gets the one that holds its code: a DLL whose own import
# library (libuser32.a for user32.dll) lists it beats the same name in an umbrella library
# (mincore, windowsapp, onecore, ucrt: collections of other DLLs and of api-ms-win-* / ext-ms-*
# API-set forwarders), a real DLL beats an API-set name, a user-mode DLL beats a kernel-mode
# image (ntoskrnl.exe, *.sys), and among the rest the DLL that the most libraries name for it
# wins (msvcrt.dll over one C runtime version), then the DLL that exports the most functions
# (advapi32.dll over cryptsp.dll, the latest d3dx9_NN.dll), then the first in alphabetical order.
# Two documented DLLs are named outright over the library behind them: winspool.drv (not the
# spooler's spoolss.dll) and bcrypt.dll (not ncrypt.dll). Only C identifiers are listed.
#
# Usage: tools/gen-dll-exports.sh [--all] [LIBDIR] >FILE
#   LIBDIR  the import libraries (default /usr/x86_64-w64-mingw32/lib)
#   --all   instead of the definition file, every "FUNCTION DLL LIBRARY" triple found (the
#           judge checks use it: a binding is right when any DLL exporting the name is named)
set -euo pipefail
all=0
if [ "${1:-}" = --all ]; then
  all=1
  shift
fi
libdir=${1:-/usr/x86_64-w64-mingw32/lib}
nm=x86_64-w64-mingw32-nm
objdump=x86_64-w64-mingw32-objdump
command -v "$nm" >/dev/null && command -v "$objdump" >/dev/null || {
  echo "gen-dll-exports.sh: the mingw-w64 binutils (binutils-mingw-w64-x86-64) are missing" >&2
  exit 1
}
mapfile -t libs < <(find "$libdir" -maxdepth 1 -name 'lib*.a' | LC_ALL=C sort)
[ ${#libs[@]} -gt 0 ] || {
  echo "gen-dll-exports.sh: no import libraries in $libdir" >&2
  exit 1
}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Symbols of every member (nm -A: "LIB:MEMBER:VALUE TYPE NAME"), and the .idata$7 bytes of
# every member (the tails' hold the DLL names).
"$nm" -A "${libs[@]}" >"$tmp/symbols" 2>/dev/null || true
"$objdump" -s -j '.idata$7' "${libs[@]}" >"$tmp/idata7" 2>/dev/null || true
version=$(dpkg-query -W -f='${Package} ${Version}' mingw-w64-x86-64-dev 2>/dev/null || echo "$libdir")

ALL=$all VERSION=$version perl -e '
use strict;
use warnings;
my ($symfile, $idatafile) = @ARGV;

# DLL file names of the tail members: "LIB MEMBER" -> DLL.
my (%tail_dll, $archive, $member, $hex);
open(my $id, "<", $idatafile) or die "$idatafile: $!\n";
my $flush = sub {
  return unless defined $member && defined $hex;
  my $text = pack("H*", $hex);
  $text =~ s/\0.*//s;
  $tail_dll{"$archive $member"} = $text if $text =~ /^[\w.+-]+\.\w+$/;
  undef $hex;
};
while (<$id>) {
  if (/^In archive (.*):$/) { $flush->(); $archive = $1; $archive =~ s{.*/}{}; next }
  if (/^(\S+):\s+file format/) { $flush->(); $member = $1; next }
  if (/^ [0-9a-f]{4,} ((?:[0-9a-f]{2,8} ){1,4})/) { my $h = $1; $h =~ s/ //g; $hex .= $h }
}
$flush->();

# Members: which head each function member refers to, which tail name each head uses, which
# member defines each tail name.
my (%head_of, %iname_of_head, %tail_member, %imp, %thunk);
open(my $sy, "<", $symfile) or die "$symfile: $!\n";
while (<$sy>) {
  next unless /^(.*?\.a):(.*?):\s*(?:[0-9a-f]+)?\s+(\w) (\S+)$/;
  my ($lib, $mem, $type, $sym) = ($1, $2, $3, $4);
  $lib =~ s{.*/}{};
  my $key = "$lib $mem";
  if ($type eq "U" && $sym =~ /^_head_/) { $head_of{$key} = "$lib $sym" }
  elsif ($type eq "I" && $sym =~ /^_head_/) { $iname_of_head{"$lib $sym"} = $key }
  elsif ($type eq "U" && $sym =~ /_iname$/) { $iname_of_head{"head $key"} = "$lib $sym" }
  elsif ($type eq "I" && $sym =~ /_iname$/) { $tail_member{"$lib $sym"} = $key }
  elsif ($type eq "I" && $sym =~ /^__imp_(.+)$/) { $imp{$key} = $1 }
  elsif ($type eq "T") { $thunk{$key}{$sym} = 1 }
}

# Functions (a member with both __imp_NAME and the NAME thunk; data exports have no thunk).
my (%dlls, %libs_of);
for my $key (sort keys %imp) {
  my $name = $imp{$key};
  # C identifiers only: C++ decorated names cannot come from a C declaration.
  next unless $name =~ /^[A-Za-z_]\w*$/ && $thunk{$key}{$name} && $head_of{$key};
  my $head_member = $iname_of_head{$head_of{$key}} or next;
  my $iname = $iname_of_head{"head $head_member"} or next;
  my $tail = $tail_member{$iname} or next;
  my $dll = $tail_dll{$tail} or next;
  $dll = lc $dll;
  my ($lib) = split / /, $key;
  $dlls{$name}{$dll}{$lib} = 1;
}

if ($ENV{ALL}) {
  for my $name (sort keys %dlls) {
    for my $dll (sort keys %{$dlls{$name}}) {
      print "$name $dll $_\n" for sort keys %{$dlls{$name}{$dll}};
    }
  }
  exit 0;
}

sub own_library { my ($dll, $lib) = @_; (my $base = $dll) =~ s/\.\w+$//; lc($lib) eq "lib$base.a" }
sub api_set { $_[0] =~ /^(?:api|ext)-ms-/ ? 1 : 0 }
# Kernel-mode images (ntoskrnl.exe, *.sys) export names that user programs cannot import.
sub kernel_mode { $_[0] =~ /\.(?:exe|sys)$/ ? 1 : 0 }
# The documented DLL where the generic order would pick the library behind it.
my %documented = ("winspool.drv" => 1, "bcrypt.dll" => 1);
my %size;
for my $name (keys %dlls) { $size{$_}++ for keys %{$dlls{$name}} }
my %by_dll;
for my $name (keys %dlls) {
  my $d = $dlls{$name};
  my %own = map { my $dll = $_; ($dll => scalar grep { own_library($dll, $_) } keys %{$d->{$dll}}) } keys %$d;
  my @ranked = sort {
    ($own{$b} <=> $own{$a}) || (api_set($a) <=> api_set($b)) || (kernel_mode($a) <=> kernel_mode($b))
      || (($documented{$b} // 0) <=> ($documented{$a} // 0))
      || (keys %{$d->{$b}} <=> keys %{$d->{$a}}) || ($size{$b} <=> $size{$a}) || ($a cmp $b)
  } keys %$d;
  push @{$by_dll{$ranked[0]}}, $name;
}
my $names = keys %dlls;
my $count = keys %by_dll;
print <<"HEAD";
; tqc.exp - the DLL that exports each Windows API function: $names functions of $count DLLs.
;
; Generated by tools/gen-dll-exports.sh from the import libraries of $ENV{VERSION}; do not
; edit by hand, run the script again. Where several DLLs export a function, the one that holds
; its code is named (its own import library lists it), not an umbrella library or an API-set
; forwarder.
;
; [DLL]: the DLL named in the brackets exports the functions listed below it, one a line
; (exact spelling). A name appears once in the file.
HEAD
for my $dll (sort keys %by_dll) {
  print "\n[$dll]\n";
  print "$_\n" for sort @{$by_dll{$dll}};
}
' "$tmp/symbols" "$tmp/idata7"
