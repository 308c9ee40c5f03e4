# Reads the routines a Pascal unit declares, the way the judge checks need them: comments
# (//, { } with the compiler directives, (* *)) are skipped, so are methods of interfaces,
# classes and objects and procedural types. Conditional directives are not evaluated: a
# routine in either branch counts.
package pascal_routines;
use strict;
use warnings;

# The unit's tokens: words (lower-cased in ->{lc}), strings (with their quotes), symbols.
sub tokens {
  my ($text) = @_;
  # Comments out first (a string may hold their openers), then one match per token.
  $text =~ s~('(?:[^'\n]|'')*')|//[^\n]*|\{[^}]*\}?|\(\*.*?(?:\*\)|\z)~defined $1 ? $1 : ' '~gse;
  return $text =~ /((?:'(?:[^'\n]|'')*'|\#\$?[0-9A-Fa-f]+)+|&?[A-Za-z_]\w*|\$[0-9A-Fa-f]+|\d+|:=|<>|<=|>=|\.\.|\S)/g;
}

# The value of a Pascal string literal ('it''s', #$41, 'a'#0).
sub string_value {
  my ($s) = @_;
  my $v = '';
  while ($s =~ /\G(?:'((?:[^']|'')*)'|#(\$[0-9A-Fa-f]+|\d+))/gc) {
    if (defined $1) { (my $p = $1) =~ s/''/'/g; $v .= $p }
    else { my $n = $2; $v .= chr($n =~ /^\$/ ? hex(substr $n, 1) : $n) }
  }
  return $v;
}

my %directive = map { $_ => 1 } qw(cdecl stdcall pascal register safecall varargs overload inline
  external name index delayed deprecated platform experimental library assembler far near
  export winapi mwpascal cppdecl vectorcall ms_abi_default sysv_abi_default);

# Returns (routines, string constants) of the unit text. A routine is a hash: name, params
# (count), variadic (array of const or varargs), bound (the name in "name '...'", else the
# routine's name), dll (the external's string or constant name; undef when none).
sub read_unit {
  my ($text) = @_;
  my @t = tokens($text);
  my (@routines, %strings);
  my $depth = 0;
  my %interesting = map { $_ => 1 } qw(record dispinterface interface class object end function
    procedure);
  for (my $i = 0; $i < @t; $i++) {
    my $w = lc $t[$i];
    next unless $interesting{$w} || ($i + 1 < @t && $t[$i + 1] eq '=');
    my $prev = $i > 0 ? lc $t[$i - 1] : '';
    my $next = $i + 1 < @t ? lc $t[$i + 1] : '';
    if ($w eq 'record' || $w eq 'dispinterface'
      || (($w eq 'interface' || $w eq 'class' || $w eq 'object') && $prev eq '='
        && $next ne ';' && $next ne 'of')) {
      $depth++;
      next;
    }
    if ($w eq 'end') {
      $depth-- if $depth > 0;
      next;
    }
    # NAME = 'text'; outside types: a string constant (a DLL name among them).
    if ($depth == 0 && $next eq '=' && $t[$i] =~ /^&?[A-Za-z_]\w*$/ && $i + 3 < @t
      && $t[$i + 2] =~ /^['#]/ && $t[$i + 3] eq ';') {
      (my $n = lc $t[$i]) =~ s/^&//;
      $strings{$n} = string_value($t[$i + 2]);
      next;
    }
    next unless $depth == 0 && ($w eq 'function' || $w eq 'procedure');
    next if $prev eq 'class' || $prev eq '=';
    my $name = $t[$i + 1] // '';
    next unless $name =~ /^&?[A-Za-z_]\w*$/;
    $name =~ s/^&//;
    my $j = $i + 2;
    my ($params, $variadic) = (0, 0);
    if (($t[$j] // '') eq '(') {
      # Groups "[const|var|out|constref] a, b: Type [= default]" separated by ";".
      my ($d, @group) = (0);
      my $count_group = sub {
        my @g = @group;
        @group = ();
        return unless @g;
        shift @g if $g[0] =~ /^(?:const|var|out|constref)$/i && @g > 1 && $g[1] =~ /^&?[A-Za-z_]/;
        my $n = 1;
        for my $k (0 .. $#g) {
          last if $g[$k] eq ':';
          $n++ if $g[$k] eq ',';
        }
        $params += $n;
        $variadic = 1 if join(' ', map { lc } @g) =~ /: array of const\b/;
      };
      for ($j++; $j < @t; $j++) {
        my $x = $t[$j];
        $d++ if $x eq '(' || $x eq '[';
        if ($x eq ')' || $x eq ']') { last if $d == 0; $d-- }
        if ($x eq ';' && $d == 0) { $count_group->(); next }
        push @group, $x;
      }
      $count_group->();
      $j++;
    }
    # Result type, then the directives up to the first word that is none.
    $j++ while $j < @t && $t[$j] ne ';';
    my ($bound, $dll) = ($name, undef);
    while ($j + 1 < @t && $directive{lc $t[$j + 1]}) {
      $j++;
      my $d = lc $t[$j];
      $variadic = 1 if $d eq 'varargs';
      if ($d eq 'external') {
        $dll = '';
        $dll = $t[++$j] if $j + 1 < @t && $t[$j + 1] ne ';' && lc $t[$j + 1] ne 'name';
      }
      $bound = string_value($t[++$j]) if $d eq 'name' && ($t[$j + 1] // '') =~ /^['#]/;
      $j++ while $j < @t && $t[$j] ne ';';
    }
    push @routines, { name => $name, params => $params, variadic => $variadic, bound => $bound,
      dll => $dll };
    $i = $j;
  }
  return (\@routines, \%strings);
}

# The DLL file an external names: a literal, or a string constant found first in the hashes
# of STRINGS (the unit's, then those of the other units: lower-cased name to value). Lower case, ".dll" added
# when the name has no extension, as the Windows loader does. Empty when none is named.
sub dll_file {
  my ($dll, @strings) = @_;
  return '' unless defined $dll && $dll ne '';
  my $v;
  if ($dll =~ /^['#]/) {
    $v = string_value($dll);
  } else {
    ($v) = grep { defined } map { $_->{lc $dll} } @strings;
  }
  return '' unless defined $v && $v ne '';
  $v = lc $v;
  $v =~ s{.*[\\/]}{};
  $v .= '.dll' unless $v =~ /\.\w+$/;
  return $v;
}

1;
