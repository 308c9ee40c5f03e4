#!/usr/bin/perl
# The abi check: for every unit that compiles for Win64 (prepare.sh), each record's size and
# the offset of each of its fields, as Free Pascal laid them out (ppudump of the unit), against
# sizeof/offsetof of the same name from the mingw-w64 C compiler for the unit's header; and
# each integer constant (constants and enumeration members) against the C value of the macro
# or enumerator of that name. Nothing runs: the C side is a generated file of
# `long long jN = sizeof(...);` lines compiled with -S and read from its assembly; lines the C
# compiler rejects (a name C does not know under that spelling) are dropped and counted as
# skipped. Free Pascal's own Windows and ActiveX units are measured the same way against
# <windows.h> and the OLE headers, and printed beside ours.
#
# Prints the agreement of each mode and the disagreements by cause, writes every record's
# and constant's verdict to WORK/abi/, and fails below the "records" and "constants" figures
# recorded in MINIMUMS. The C results are kept in WORK/c/abi/ by the text of the generated
# file, so a later run compiles only what changed.
# Usage: abi.pl WORK MINIMUMS
use strict;
use warnings;
use FindBin;
use lib $FindBin::Bin;
use Digest::MD5 qw(md5_hex);
use ppu_layout;
use judge_common;

my ($work, $minimums) = @ARGV;
exit_if_skipped($work);
if (system('command -v ppudump >/dev/null') != 0) {
  print "SKIPPED: ppudump (fp-utils-3.2.2) is not installed\n";
  exit 0;
}
my $jobs = `nproc 2>/dev/null` || 2;
chomp $jobs;
my $cdir = "$work/c";
my $headers = '/usr/share/mingw-w64/include';
my $fpcsrc = '/usr/share/fpcsrc/' . `ppcx64 -iV`;
chomp $fpcsrc;

my ($minimum_ref, $modes_ref) = read_minimums($minimums);
my %minimum = %$minimum_ref;
my @modes = @$modes_ref;

# ---- The Pascal side: the compiled units of each set -----------------------------------------

# A set: the units of one mode, or Free Pascal's own. Each unit: its ppudump, its source lines
# (for the causes) and the C header(s) it is compared with.
my %sets;
for my $mode (@modes) {
  my $dir = "$work/$mode";
  my @units;
  # A unit is not always named like its header (math.h gives math_h): the run says which.
  my %header_of = map { /^(\S+) -> (\S+)\.pas: / ? ($2 => $1) : () } lines("$dir/convert.txt");
  for my $unit (lines("$dir/compiled.txt")) {
    my $ppu = -f "$dir/own/$unit/" . lc($unit) . '.ppu' ? "$dir/own/$unit/" . lc($unit) . '.ppu'
      : "$dir/ppu/" . lc($unit) . '.ppu';
    push @units, { unit => $unit, ppu => $ppu, sources => ["$dir/out"],
      headers => [$header_of{$unit} // "$unit.h"] };
  }
  $sets{$mode} = \@units;
}
my @fpc_sources = map { "$fpcsrc/$_" } qw(rtl/win64 rtl/win/wininc rtl/win packages/winunits-base/src);
$sets{'Free Pascal'} = [
  { unit => 'windows', ppu => "$work/fpcwin64/rtl/windows.ppu", sources => \@fpc_sources,
    headers => ['windows.h'] },
  { unit => 'activex', ppu => "$work/fpcwin64/activex.ppu", sources => \@fpc_sources,
    headers => [qw(windows.h ole2.h oaidl.h ocidl.h olectl.h propidl.h)] },
];
my @set_names = (@modes, 'Free Pascal');

# ppudump of every unit, side by side.
my %layout;    # set => unit name => unit
{
  my @all = map { @{$sets{$_}} } @set_names;
  my @pids;
  my $per = int(@all / $jobs) + 1;
  for my $k (0 .. $jobs - 1) {
    my @part = @all[$k * $per .. ($k + 1) * $per - 1];
    @part = grep { defined } @part;
    my $pid = fork // die "fork: $!\n";
    if (!$pid) {
      for my $u (@part) {
        my $out = "$u->{ppu}.txt";
        system("ppudump '$u->{ppu}' >'$out' 2>&1");
      }
      exit 0;
    }
    push @pids, $pid;
  }
  waitpid $_, 0 for @pids;
  for my $set (@set_names) {
    for my $u (@{$sets{$set}}) {
      $u->{layout} = ppu_layout::read_ppudump(slurp("$u->{ppu}.txt"));
      $layout{$set}{$u->{layout}{name}} = $u;
    }
  }
}

# The records and constants of each unit, and what to ask C for them.
my %request;    # header list key => {expression => 1}
for my $set (@set_names) {
  for my $u (@{$sets{$set}}) {
    my $l = $u->{layout};
    my %names;
    for my $t (@{$l->{types}}) {
      next if $t->{unit} ne '';
      my $def = $l->{defs}{$t->{id}} or next;
      next unless ($def->{kind} // '') eq 'Record';
      push @{$names{$t->{id}}}, $t;
    }
    my @records;
    for my $id (sort { $a <=> $b } keys %names) {
      my $def = $l->{defs}{$id};
      # Names the compiler makes up ($vmtdef$... of interfaces) are none of the header's.
      my @n = grep { $_->{name} =~ /^[A-Za-z_]\w*$/ } @{$names{$id}};
      next unless @n;
      # The record's own name first, then its other names in their order.
      @n = sort { ($b->{name} eq ($def->{name} // '')) <=> ($a->{name} eq ($def->{name} // '')) } @n;
      push @records, { def => $def, names => [map { $_->{name} } @n], pos => $n[0] };
    }
    $u->{records} = \@records;
    my $key = join ' ', @{$u->{headers}};
    for my $r (@records) {
      for my $form (forms($r)) {
        $request{$key}{"sizeof($form)"} = 1;
        $request{$key}{"_Alignof($form)"} = 1;
        $request{$key}{"__builtin_offsetof($form, $_->{name})"} = 1 for @{$r->{def}{fields}};
      }
    }
    $request{$key}{"const $_->{name}"} = 1 for @{$l->{consts}};
  }
}

# The C spellings a record's names may have: a typedef name, a struct tag, a union tag.
sub forms {
  my ($r) = @_;
  return map { ($_, "struct $_", "union $_") } grep { /^[A-Za-z_]\w*$/ } @{$r->{names}};
}

# ---- The C side ------------------------------------------------------------------------------

# How each header compiles (c_aux.sh): after the precompiled <windows.h>, alone, or not at all.
sub how {
  my ($h) = @_;
  (my $b = $h) =~ s/\.h$//;
  return -f "$cdir/aux/$b.how" ? (lines("$cdir/aux/$b.how"))[0] : 'none';
}

my $cache = "$cdir/abi";
mkdir $cache;

# The headers that compile after the precompiled <windows.h> share C files, a bucket each (by
# a hash of the header's name, so that a bucket keeps its headers from run to run and its
# results stay in the cache while its units do not change): one compilation answers for many
# headers. The others, and the header lists of Free Pascal's units, have a file of their own.
my $buckets = 48;
my %jobs;
for my $key (sort keys %request) {
  my @hs = split ' ', $key;
  my $how = how($hs[-1]);
  next if $how eq 'none';
  my $id = @hs == 1 && $how eq 'pch' ? 'bucket ' . hex(substr(md5_hex($key), 0, 6)) % $buckets : $key;
  my $job = $jobs{$id} //= { how => $how, keys => [] };
  push @{$job->{keys}}, $key;
}
my @c_jobs = map { $jobs{$_} } sort keys %jobs;
for my $job (@c_jobs) {
  # The text names the headers and the questions; the folder is emptied when the headers or
  # the compiler change. The first line changes with the way the file is compiled.
  $job->{sum} = md5_hex("abi 3 $job->{how}\n"
    . join("\n", map { $_, sort keys %{$request{$_}} } @{$job->{keys}}));
}

# The C file for a list of headers and expressions; the values come back by line, "judge_qN" (no name a header declares: j1 is a function of math.h).
sub c_text {
  my ($hs, $exprs) = @_;
  my $text = join('', map { "#include <$_>\n" } @$hs);
  my $n = 0;
  for my $e (@$exprs) {
    $n++;
    if ($e =~ /^const (\w+)$/) {
      # Integer constants only: a string, a float, a pointer or a type name is an error.
      $text .= "long long judge_q$n = (long long)($1) + 0 * sizeof(char[__builtin_classify_type($1) <= 4 ? 1 : -1]);\n";
    } else {
      $text .= "long long judge_q$n = $e;\n";
    }
  }
  return $text;
}

# The names that occur in preprocessed C text by themselves, and the "struct X" / "union X"
# tags (a name seen only after struct, union or enum is no type name).
sub names_of {
  my ($text) = @_;
  my (%seen, %tag);
  while ($text =~ /\b(?:(struct|union|enum)\s+)?([A-Za-z_]\w*)/g) {
    if (defined $1) { $tag{"$1 $2"} = 1 } else { $seen{$2} = 1 }
  }
  return (\%seen, \%tag);
}
my @pch_flags = ("-I$cdir/pch", '-include', 'judge-pch.h');
my @pch_names = names_of(scalar `x86_64-w64-mingw32-gcc -E -dD '$cdir/pch/judge-pch.h' 2>/dev/null`);

# Compiles the C file of the headers HS (each header once) asking EXPRS, dropping the lines the
# compiler rejects until it compiles. Returns {expression => value}, or undef when the headers
# themselves do not compile together.
sub c_values {
  my ($how, $hs, $exprs, $base) = @_;
  my @hs = do { my %s; grep { !$s{$_}++ } @$hs };
  my @exprs = @$exprs;
  my @flags = ('-S', '-w', '-fno-common', '-o', "$base.s");
  push @flags, @pch_flags if $how eq 'pch';
  my $first = @hs + 1;    # the line of the first expression
  # Each rejected line costs the compiler a search for a name to suggest among all the
  # headers' names: ask only for names that occur in the preprocessed headers at all (a tag
  # after its keyword), so that few lines are rejected. With the precompiled header, only the
  # text after <windows.h> is preprocessed again; its own names were read once.
  open(my $fh, '>', "$base.c") or die "$base.c: $!\n";
  print $fh c_text(\@hs, []);
  close $fh;
  my @pre = $how eq 'pch' ? (@pch_flags, '-fpch-preprocess') : ();
  my ($seen, $tag) = names_of(scalar `x86_64-w64-mingw32-gcc -E -dD @pre '$base.c' 2>/dev/null`);
  my ($pseen, $ptag) = $how eq 'pch' ? @pch_names : ({}, {});
  @exprs = grep {
    my $ok = 1;
    if (/^const (\w+)$/) {
      $ok = $seen->{$1} || $pseen->{$1};
    } elsif (/^\w+\(((?:struct |union )?)(\w+)(?:, (\w+))?\)$/) {
      my ($kw, $n, $f) = ($1, $2, $3);
      $ok = ($kw ? $tag->{"$kw$n"} || $ptag->{"$kw$n"} : $seen->{$n} || $pseen->{$n})
        && (!defined $f || $seen->{$f} || $pseen->{$f});
    }
    $ok;
  } @exprs;
  for my $round (1 .. 6) {
    open($fh, '>', "$base.c") or die "$base.c: $!\n";
    print $fh c_text(\@hs, \@exprs);
    close $fh;
    my $t0 = time;
    my $err = `x86_64-w64-mingw32-gcc @flags '$base.c' 2>&1`;
    my $rc = $?;
    if ($ENV{ABI_KEEP_ERRORS}) { open(my $e, ">>", "$base.errors"); print $e $err }
    if (open(my $log, '>>', "$base.log")) {
      printf $log "%d headers, %d lines: %s, %d s\n", scalar @hs, scalar @exprs,
        $rc ? 'rejected' : 'compiled', time - $t0;
    }
    if ($rc == 0) {
      my (%v, $label);
      for (split /\n/, slurp("$base.s")) {
        if (/^judge_q(\d+):/) { $label = $1; next }
        next unless defined $label;
        if (/^\s*\.quad\s+(-?\d+)/) { $v{$exprs[$label - 1]} = $1; undef $label }
        elsif (/^\s*\.space\s+8/) { $v{$exprs[$label - 1]} = 0; undef $label }
      }
      unlink "$base.s";
      return \%v;
    }
    my %bad;
    while ($err =~ /\Q$base.c\E:(\d+):\d+: /g) { $bad{$1 - $first} = 1 if $1 >= $first }
    return undef unless %bad;
    @exprs = map { $exprs[$_] } grep { !$bad{$_} } 0 .. $#exprs;
  }
  return undef;
}

# Answers a job's questions and writes CACHE/SUM.txt, "KEY<TAB>EXPRESSION<TAB>VALUE" lines.
# Headers that do not compile together are split in halves until each compiles or is alone;
# a header that does not compile even alone answers nothing.
sub run_c_job {
  my ($job) = @_;
  my $base = "$cache/$job->{sum}";
  my @parts = ($job->{keys});
  my @out;
  while (my $keys = shift @parts) {
    my @hs = map { split ' ' } @$keys;
    my %e = map { %{$request{$_}} } @$keys;
    my $v = c_values($job->{how}, \@hs, [sort keys %e], $base);
    if ($v) {
      for my $key (@$keys) {
        push @out, map { "$key\t$_\t$v->{$_}\n" } grep { defined $v->{$_} } sort keys %{$request{$key}};
      }
    } elsif (@$keys > 1) {
      my $half = int(@$keys / 2);
      push @parts, [@$keys[0 .. $half - 1]], [@$keys[$half .. $#$keys]];
    }
  }
  open(my $fh, '>', "$base.tmp") or die "$base.tmp: $!\n";
  print $fh @out;
  close $fh;
  rename "$base.tmp", "$base.txt" or die "$base.txt: $!\n";
}

my %cvalue;    # header key => {expression => value}
my %c_stats = (files => scalar @c_jobs);
{
  my @todo = grep { !-f "$cache/$_->{sum}.txt" } @c_jobs;
  $c_stats{compiled} = @todo;
  my %running;
  while (@todo || %running) {
    while (@todo && keys %running < $jobs) {
      my $job = shift @todo;
      my $pid = fork // die "fork: $!\n";
      if (!$pid) { run_c_job($job); exit 0 }
      $running{$pid} = 1;
    }
    my $pid = wait;
    delete $running{$pid};
  }
  for my $job (@c_jobs) {
    for (lines("$cache/$job->{sum}.txt")) {
      my ($key, $e, $v) = split /\t/;
      $cvalue{$key}{$e} = $v;
    }
  }
}

# ---- Comparison ------------------------------------------------------------------------------

# Signed 64-bit value of a decimal (Free Pascal writes QWord constants unsigned).
sub s64 {
  my ($v) = @_;
  use integer;
  return $v + 0 if $v =~ /^-/ || length($v) < 19 || $v le '9223372036854775807' && length($v) == 19;
  no integer;
  my $u = $v + 0;    # an unsigned value above 2^63: wrap
  use integer;
  return $u + 0;
}

# Source lines of a unit file, for the causes.
my %source_cache;
sub source_lines {
  my ($u, $file) = @_;
  my $name = $u->{layout}{files}{$file} // return [];
  for my $d (@{$u->{sources}}) {
    my $p = "$d/$name";
    next unless -f $p;
    $source_cache{$p} //= [split /\r?\n/, slurp($p)];
    return $source_cache{$p};
  }
  return [];
}

# The text of a record's declaration: from its type line to the "end;" that closes it.
sub record_text {
  my ($u, $r) = @_;
  my $src = source_lines($u, $r->{pos}{file} // 0);
  my $i = ($r->{pos}{line} // 1) - 1;
  my @text;
  my $depth = 0;
  for (; $i < @$src; $i++) {
    my $l = $src->[$i];
    push @text, $l;
    (my $code = $l) =~ s{//.*}{};
    $depth++ while $code =~ /\b(?:record|packed\s+record)\b/gi;
    $depth-- while $code =~ /\bend\b/gi;
    last if $depth <= 0 && @text > 1 || @text > 2000;
  }
  return join "\n", @text;
}

my (%verdict, %results);    # "set unit defid" => verdict hash
sub record_verdict {
  my ($set, $u, $r) = @_;
  my $vkey = "$set $u->{unit} $r->{def}{id}";
  return $verdict{$vkey} if $verdict{$vkey};
  my $cv = $cvalue{join ' ', @{$u->{headers}}} // {};
  my $v = { names => $r->{names}, psize => $r->{def}{size} };
  $verdict{$vkey} = $v;
  my ($form) = grep { defined $cv->{"sizeof($_)"} } forms($r);
  if (!defined $form) {
    $v->{status} = how($u->{headers}[-1]) eq 'none' ? 'skipped (header)' : 'skipped';
    return $v;
  }
  $v->{form} = $form;
  $v->{csize} = $cv->{"sizeof($form)"};
  $v->{calign} = $cv->{"_Alignof($form)"};
  my (@unknown, @wrong);
  for my $f (@{$r->{def}{fields}}) {
    my $c = $cv->{"__builtin_offsetof($form, $f->{name})"};
    if (!defined $c) { push @unknown, $f }
    elsif ($c != ($f->{offset} // -1)) { push @wrong, [$f, $c] }
  }
  $v->{unknown} = [map { $_->{name} } @unknown];
  $v->{wrong} = [map { "$_->[0]{name}:$_->[0]{offset}/$_->[1]" } @wrong];
  # A field C does not know under that spelling is skipped, like a record: the record agrees
  # when its size and the offsets C can check agree.
  $v->{status} = $v->{csize} == $v->{psize} && !@wrong ? 'agrees' : 'differs';
  $v->{cause} = cause($set, $u, $r, $v, \@unknown, \@wrong) if $v->{status} eq 'differs';
  return $v;
}

# The definition a type reference of unit U denotes, in U or another unit of the set, and the
# unit that holds it.
sub def_of {
  my ($set, $u, $type) = @_;
  my ($unit, $id) = @{$type // return};
  my $owner = $unit eq '' ? $u : $layout{$set}{$unit};
  return $owner ? ($owner, $owner->{layout}{defs}{$id}) : ();
}

# The record a field holds (itself or as the elements of an array), if any, with its unit.
sub field_record {
  my ($set, $u, $f) = @_;
  my ($owner, $def) = def_of($set, $u, $f->{type});
  for (1 .. 4) {
    last unless $def && ($def->{kind} // '') eq 'Array';
    ($owner, $def) = def_of($set, $owner, $def->{element});
  }
  return unless $def && ($def->{kind} // '') eq 'Record';
  my ($rec) = grep { $_->{def} == $def } @{$owner->{records}};
  return $rec ? ($owner, $rec) : ();
}

# Why a record differs: the first cause that applies, in this order.
sub cause {
  my ($set, $u, $r, $v, $unknown, $wrong) = @_;
  my $text = record_text($u, $r);
  my @fields = @{$r->{def}{fields}};
  return 'an empty ...Vtbl record (its methods became error lines)'
    if $r->{names}[0] =~ /Vtbl$/ && !@fields;
  if ($text =~ m{^\s*// Error}m) {
    my @lines = $text =~ m{^\s*// Error :(.*)$}mg;
    my $all = join "\n", @lines;
    return 'a field turned into an error line: a pointer to a function'
      if $all =~ /\*\s*\w+\s*\)?\s*\(/;
    return 'a field turned into an error line: a nested struct or union'
      if $all =~ /\b(?:struct|union)\s*\w*\s*\{|^\s*\}/m;
    return 'a field turned into an error line: a bit-field' if $all =~ /:\s*\d+\s*;/;
    return 'a field turned into an error line: a translated field'
      if $all =~ /^\s*\w+\s*:\s*[^;]+;\s*$/m;
    return 'a field turned into an error line: another';
  }
  return 'a field turned into a comment' if $text =~ m{^\s*//[^\n]*;\s*$}m;
  return "packing ignored (C packs to $v->{calign} bytes, Free Pascal aligns to $r->{def}{align})"
    if defined $v->{calign} && defined $r->{def}{align} && $v->{calign} < $r->{def}{align};
  for my $f (@fields) {
    my (undef, $d) = def_of($set, $u, $f->{type});
    return "an enumeration of $d->{esize} bytes (C's are 4)"
      if $d && defined $d->{esize} && $d->{esize} != 4;
  }
  for my $f (@fields) {
    my ($owner, $rec) = field_record($set, $u, $f);
    next unless $rec;
    return 'contains a wrong record' if (record_verdict($set, $owner, $rec)->{status} // '') eq 'differs';
  }
  return 'a conditional branch inside the record' if $text =~ /\{\$IF/i;
  return 'a C union as a variant part (it takes in the fields after it)'
    if $text =~ /^\s*case\b/mi && @$wrong;
  return 'long double as Extended (8 bytes on Win64, 16 in C)' if $text =~ /\bExtended\b/i;
  if (@fields) {
    my $cv = $cvalue{join ' ', @{$u->{headers}}} // {};
    my $last = $cv->{"__builtin_offsetof($v->{form}, $fields[-1]{name})"};
    return 'a flexible array member (C\'s takes no room)'
      if defined $last && $v->{csize} < $v->{psize} && $v->{csize} - $last < 8;
  }
  return 'fields C does not know under that name' if @$unknown;
  return "alignment (C aligns to $v->{calign} bytes, Free Pascal to $r->{def}{align})"
    if defined $v->{calign} && defined $r->{def}{align} && $v->{calign} != $r->{def}{align};
  return 'size only' unless @$wrong;
  return 'other';
}

my %const_results;
sub compare_set {
  my ($set) = @_;
  my (%n, %causes, %ccauses);
  mkdir "$work/abi";
  (my $file = $set) =~ s/ /-/g;
  open(my $rout, '>', "$work/abi/$file-records.txt") or die "$!\n";
  open(my $cout, '>', "$work/abi/$file-constants.txt") or die "$!\n";
  for my $u (@{$sets{$set}}) {
    for my $r (@{$u->{records}}) {
      my $v = record_verdict($set, $u, $r);
      $n{"records $v->{status}"}++;
      if (@{$v->{unknown} // []}) {
        $n{"records with unknown fields"}++;
        $n{"unknown fields"} += @{$v->{unknown}};
      }
      $causes{$v->{cause}}++ if $v->{cause};
      printf $rout "%s %s %s pascal %s c %s%s%s%s\n", $u->{unit}, $r->{names}[0], $v->{status},
        $v->{psize}, $v->{csize} // '-', $v->{cause} ? " [$v->{cause}]" : '',
        @{$v->{wrong} // []} ? " offsets(pascal/c): @{$v->{wrong}}" : '',
        @{$v->{unknown} // []} ? " unknown to C: @{$v->{unknown}}" : '';
    }
    my $cv = $cvalue{join ' ', @{$u->{headers}}} // {};
    for my $c (@{$u->{layout}{consts}}) {
      my $cval = $cv->{"const $c->{name}"};
      my ($status, $cause) = (how($u->{headers}[-1]) eq 'none' ? 'skipped (header)' : 'skipped', '');
      if (defined $cval) {
        my ($p, $q) = (s64($c->{value}), s64($cval));
        if ($p == $q) {
          $status = 'agrees';
        } else {
          $status = 'differs';
          $cause = const_cause($p, $q, $c->{enum});
          $ccauses{$cause}++;
        }
      }
      $n{"constants $status"}++;
      printf $cout "%s %s %s pascal %s c %s%s\n", $u->{unit}, $c->{name}, $status, $c->{value},
        $cval // '-', $cause ? " [$cause]" : '';
    }
  }
  close $rout;
  close $cout;
  return { n => \%n, causes => \%causes, ccauses => \%ccauses };
}

sub const_cause {
  my ($p, $q, $enum) = @_;
  use integer;
  my $low = (($p ^ $q) & 0xFFFFFFFF) == 0;
  no integer;
  my $what = $enum ? 'enumeration member: ' : '';
  return "${what}negative in C, positive here (same 32 bits: HRESULT-like)" if $low && $q < 0 && $p > 0;
  return "${what}positive in C, negative here (same 32 bits)" if $low && $q > 0 && $p < 0;
  return "${what}same low 32 bits, other high bits" if $low;
  return "${what}C's value needs 64 bits (a _WIN64 branch not taken?)"
    if ($q > 4294967295 || $q < -2147483648) && $p <= 4294967295 && $p >= -2147483648;
  return "${what}another value";
}

my $status = 0;
my %summary;
for my $set (@set_names) {
  my $s = compare_set($set);
  $summary{$set} = $s;
}
printf "C side: %d generated C files (%d compiled now, the others from the cache)\n",
  $c_stats{files}, $c_stats{compiled};
for my $set (@set_names) {
  my $s = $summary{$set};
  my $n = $s->{n};
  my $units = $set eq 'Free Pascal' ? "its Windows and ActiveX units" : scalar(@{$sets{$set}}) . " compiling units";
  for my $what ('records', 'constants') {
    my $agree = $n->{"$what agrees"} // 0;
    my $compared = $agree + ($n->{"$what differs"} // 0);
    my $rate = sprintf '%.1f', $compared ? 100 * $agree / $compared : 0;
    my $min = $set eq 'Free Pascal' ? undef : $minimum{"$what $set"};
    printf "%s (%s): %s: %d of %d agree with C (%s%%); skipped: %d without a C name of that "
      . "spelling, %d of headers C cannot compile%s\n",
      $set, $units, $what, $agree, $compared, $rate, $n->{"$what skipped"} // 0,
      $n->{"$what skipped (header)"} // 0,
      $set eq 'Free Pascal' ? '' : defined $min ? "; recorded minimum $min%" : '; recorded minimum none';
    printf "    (%d fields C does not know under that spelling skipped, in %d records)\n",
      $n->{"unknown fields"} // 0, $n->{"records with unknown fields"} // 0 if $what eq 'records';
    my $c = $what eq 'records' ? $s->{causes} : $s->{ccauses};
    for my $k (sort { $c->{$b} <=> $c->{$a} || $a cmp $b } keys %$c) {
      printf "    %6d  %s\n", $c->{$k}, $k;
    }
    if (defined $min && $rate < $min - 1e-9) {
      print "FAILED: $set: $what agreeing with C fell below the recorded $min%\n";
      $status = 1;
    }
  }
}
print "Every record's and constant's verdict: $work/abi/SET-records.txt, SET-constants.txt\n";
exit $status;
