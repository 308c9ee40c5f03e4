#!/usr/bin/perl
# The coverage check: of the functions the C compiler sees each mingw-w64 header declare
# (prepare.sh's WORK/c/functions.txt), how many the header's unit declares (a routine of that
# name, or bound to it with "name '...'", outside comments, with as many parameters; a
# variadic function by name only): "covered"; and "usable" when that unit also compiles for
# Win64. Then the bindings: of the routines in compiling units whose bound name an import
# library exports (WORK/c/exports.txt), how many name a DLL that exports it. Prints the
# figures of each mode and the headers losing most, writes the verdict of every function and
# binding to WORK/coverage/, and fails below the "covered", "usable" and "bindings" figures
# recorded in MINIMUMS.
# Usage: coverage.pl WORK MINIMUMS
use strict;
use warnings;
use FindBin;
use lib $FindBin::Bin;
use pascal_routines;
use judge_common;

my ($work, $minimums) = @ARGV;
exit_if_skipped($work);

my ($minimum_ref, $modes_ref) = read_minimums($minimums);
my %minimum = %$minimum_ref;
my @modes = @$modes_ref;

my @functions = map { [split] } lines("$work/c/functions.txt");
my %headers = map { $_->[0] => 1 } @functions;
my $no_c = () = grep { !-f s/\.c$/.aux/r } glob("$work/c/aux/*.c");
my %exporters;
for (lines("$work/c/exports.txt")) {
  my ($name, $dll) = split;
  $exporters{$name}{$dll} = 1;
}
mkdir "$work/coverage";
printf "The C compiler sees %d functions declared in %d mingw-w64 headers (%d headers compile "
  . "neither alone nor after <windows.h>).\n", scalar @functions, scalar keys %headers, $no_c;

my $status = 0;
for my $mode (@modes) {
  my $dir = "$work/$mode";
  my %compiles = map { $_ => 1 } lines("$dir/compiled.txt");
  my (%declared, %strings, %routines);
  # A unit is not always named like its header (math.h gives math_h): the run says which.
  my %unit_of = map { /^(\S+) -> (\S+)\.pas: / ? ($1 => $2) : () } lines("$dir/convert.txt");
  for my $unit (lines("$dir/order.txt")) {
    my ($routines, $strings) = pascal_routines::read_unit(slurp("$dir/out/$unit.pas"));
    $routines{$unit} = $routines;
    $strings{$unit} = $strings;
    for my $r (@$routines) {
      push @{$declared{$unit}{$_}}, $r for $r->{name} eq $r->{bound} ? ($r->{name}) : ($r->{name}, $r->{bound});
    }
  }

  # Functions.
  my (%count, %lost);
  open(my $out, '>', "$work/coverage/$mode-functions.txt") or die "$!\n";
  for my $f (@functions) {
    my ($header, $name, $params) = @$f;
    my $unit = $unit_of{$header} // $header =~ s/\.h$//r;
    my $variadic = $params =~ s/\+$//;
    my @found = @{$declared{$unit}{$name} // []};
    my $verdict;
    if (!@found) {
      $verdict = 'missing';
    } elsif (!$variadic && !grep { $_->{params} == $params } @found) {
      $verdict = 'parameters ' . join(',', map { $_->{params} } @found);
    } elsif (!$compiles{$unit}) {
      $verdict = 'covered';
      $count{covered}++;
    } else {
      $verdict = 'usable';
      $count{covered}++;
      $count{usable}++;
    }
    $lost{$header}{total}++;
    $lost{$header}{$verdict =~ /^param/ ? 'parameters' : $verdict}++;
    print $out "$header $name $params" . ($variadic ? '+' : '') . " $verdict\n";
  }
  close $out;
  my $n = @functions;
  for my $what ('covered', 'usable') {
    my $rate = sprintf '%.1f', $n ? 100 * ($count{$what} // 0) / $n : 0;
    my $min = $minimum{"$what $mode"};
    printf "%s: %s %d of %d functions (%s%%; recorded minimum %s)\n", $mode, $what,
      $count{$what} // 0, $n, $rate, defined $min ? "$min%" : 'none';
    if (defined $min && $rate < $min - 1e-9) {
      print "FAILED: $mode: $what functions fell below the recorded $min%\n";
      $status = 1;
    }
  }
  print "  headers losing most (functions not usable: missing / other parameter count / unit does not compile):\n";
  my @worst = sort {
    ($lost{$b}{total} - ($lost{$b}{usable} // 0)) <=> ($lost{$a}{total} - ($lost{$a}{usable} // 0))
      || $a cmp $b
  } keys %lost;
  for my $h (@worst[0 .. 9]) {
    my $l = $lost{$h};
    printf "    %-28s %5d of %5d not usable: %d / %d / %d\n", $h, $l->{total} - ($l->{usable} // 0),
      $l->{total}, $l->{missing} // 0, $l->{parameters} // 0, $l->{covered} // 0;
  }

  # Bindings of the compiling units. A constant naming the DLL may come from another unit.
  my %all_strings = map { %{$strings{$_}} } sort keys %strings;
  my ($bound, $right, %wrong) = (0, 0);
  open($out, '>', "$work/coverage/$mode-bindings.txt") or die "$!\n";
  for my $unit (grep { $compiles{$_} } lines("$dir/order.txt")) {
    for my $r (@{$routines{$unit}}) {
      my $exp = $exporters{$r->{bound}} or next;
      $bound++;
      my $dll = pascal_routines::dll_file($r->{dll}, $strings{$unit}, \%all_strings);
      my $ok = $dll ne '' && $exp->{$dll};
      $right++ if $ok;
      $wrong{$dll eq '' ? '(no DLL)' : $dll}++ unless $ok;
      printf $out "%s %s %s %s %s\n", $unit, $r->{bound}, $dll eq '' ? '-' : $dll,
        $ok ? 'right' : 'wrong', join(',', sort keys %$exp);
    }
  }
  close $out;
  my $rate = sprintf '%.1f', $bound ? 100 * $right / $bound : 0;
  my $min = $minimum{"bindings $mode"};
  printf "%s: bindings: %d of the %d routines of compiling units that an import library exports "
    . "name a DLL that exports them (%s%%; recorded minimum %s)\n", $mode, $right, $bound, $rate,
    defined $min ? "$min%" : 'none';
  my @w = sort { $wrong{$b} <=> $wrong{$a} || $a cmp $b } keys %wrong;
  print "  most frequent wrong DLLs: ", join(', ', map { "$_ $wrong{$_}" } @w[0 .. ($#w < 4 ? $#w : 4)]), "\n"
    if @w;
  if (defined $min && $rate < $min - 1e-9) {
    print "FAILED: $mode: bindings fell below the recorded $min%\n";
    $status = 1;
  }
}
print "Every function's verdict: $work/coverage/MODE-functions.txt; every binding's: "
  . "$work/coverage/MODE-bindings.txt\n";
exit $status;
