#!/usr/bin/perl
# Reads the -aux-info lists of c_aux.sh and prints, for each top-level mingw-w64 header, the
# functions that the header itself declares (the file of the entry is that header): one line
# "HEADER NAME PARAMETERS" where PARAMETERS is the number of parameters, with a "+" after it
# for a variadic function. Prototypes only: a function the header merely defines (an inline
# body, which no unit of declarations can bind) and old-style declarations without
# parameter types (mostly macro calls the C compiler takes for implicit declarations) are
# left out and counted on standard error.
# Usage: c_functions.pl AUX_FILE...
use strict;
use warnings;

my @files = @ARGV;
my (%kinds, %params, @order);
for my $file (@files) {
  open(my $fh, '<', $file) or die "$file: $!\n";
  while (<$fh>) {
    # /* /usr/share/mingw-w64/include/winuser.h:4021:NC */ extern int MessageBoxW (HWND, ...);
    next unless m{^/\* (.+):\d+:(\w\w) \*/ (.*)$};
    my ($path, $kind, $decl) = ($1, $2, $3);
    # The header set, reached through either spelling of its folder; not the compiler's own.
    next unless $path =~ m{/(?:share/mingw-w64|x86_64-w64-mingw32)/include/([^/]+\.h)$};
    my $header = $1;
    next unless $decl =~ /(\w+) \((.*)\);/;
    my ($name, $list) = ($1, $2);
    my $key = "$header $name";
    push @order, $key unless $kinds{$key};
    $kinds{$key}{$kind} = 1;
    next if $kind ne 'NC' || defined $params{$key};
    $params{$key} = count_params($list);
  }
}
my ($defined, $old) = (0, 0);
for my $key (@order) {
  if (defined $params{$key}) {
    print "$key $params{$key}\n";
  } elsif ($kinds{$key}{NF}) {
    $defined++;
  } else {
    $old++;
  }
}
print STDERR "left out: $defined functions only defined (inline), $old without a prototype\n";

# Parameters of a prototype's list: commas outside parentheses separate them; "(void)" is none.
sub count_params {
  my ($list) = @_;
  return 0 if $list =~ /^\s*(void)?\s*$/;
  my ($depth, $n) = (0, 1);
  for my $c (split //, $list) {
    $depth++ if $c eq '(' || $c eq '[';
    $depth-- if $c eq ')' || $c eq ']';
    $n++ if $c eq ',' && $depth == 0;
  }
  return $list =~ /\.\.\.\s*$/ ? ($n - 1) . '+' : $n;
}
