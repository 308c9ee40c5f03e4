#!/usr/bin/perl
# Lists the identifiers of a header's code that appear nowhere in its unit: neither
# translated nor in a comment or an error line. Such a word is a piece of a statement that
# the converter dropped without a word. Comments, strings and character literals of the
# header are not looked at; a word counts as present when the unit holds it in any letter
# case, with a "_" in front (reserved names, the IUnknown methods), or as its pointer type
# or pointee (a parameter or field may be written either way).
#
# Intended exceptions, the words the translation consumes by design:
#  - the words of the definition tables that the tokenizer replaces or drops ([skip],
#    [predefined], [result], [cast],
#    [define], [TYPE] and [CONST TYPE] names, calling-convention words), integer constants
#    ([CONST], and names defined as numbers: folded into the values that use them), macros
#    that build an HRESULT (learned and folded the same way), and the macro names of the
#    replacement records;
#  - macros that the header set defines as nothing but decorations (import and inline
#    words, attributes, namespace brackets): the prototype rule passes over the words in
#    front of a return type;
#    identity macros, which the #define rule adds to [skip];
#  - the C and C++ keywords and preprocessor words that the rules turn into Pascal;
#  - the tag of a struct, union or enum named at its closing brace, which names the type
#    instead, and the tag of a forward declaration «struct X;»;
#  - the member names of aggregates nested in a record, which Pascal's record and variant
#    part flatten, and the tags of unions nested in one;
#  - the bounds of array parameters, passed as pointers;
#  - the attributes in brackets of IDL files, which the IDL pre-conversion drops.
#  - the L in front of a wide string or character literal (Pascal literals carry no prefix).
#
# Prints one line per missing word and the count at the end.
# Usage: coverage.pl DATA_DIR UNIT_DIR HEADER... (units are UNIT_DIR/NAME.pas, or beside their
# headers when UNIT_DIR is empty; headers whose name occurs twice in the list are passed over)
use strict;
use warnings;

my ($data, $units, @headers) = @ARGV;

sub slurp {
  my ($file) = @_;
  open(my $fh, '<:raw', $file) or return undef;
  local $/;
  return scalar <$fh>;
}

my %except;
sub except_words { $except{lc $_} = 1 for grep { defined && $_ ne '' } @_ }

# The lines of a definition file, comments and blank lines left out: [section, line] pairs.
sub table_lines {
  my ($file) = @_;
  open(my $fh, '<', $file) or die "$file: $!\n";
  my ($section, @lines) = ('');
  while (my $line = <$fh>) {
    $line =~ s/\r?\n$//;
    next if $line =~ /^\s*(;|$)/;
    if ($line =~ /^\[(.*)\]\s*$/) { $section = lc $1; next }
    push @lines, [$section, $line];
  }
  return @lines;
}

# Pointer types and their pointees: [POINTER] of tqc.typ, the pointer pairs of the
# replacement records and the pointer typedefs of every header of the run (their include
# caches carry them to the later units).
my %pointers;
sub pair {
  my ($t, $p) = @_;
  $pointers{lc $t}{lc $p} = 1;
  $pointers{lc $p}{lc $t} = 1;
}

my %from_dat = map { $_ => 1 } qw(stdcall cdecl pascal register export skip define predefined result cast);
for (table_lines("$data/tqc.dat")) {
  my ($section, $line) = @$_;
  except_words((split /,/, $line)[0]) if $from_dat{$section};
}
for (table_lines("$data/tqc.typ")) {
  my ($section, $line) = @$_;
  my ($first, $second) = split /,/, $line;
  if ($section eq 'type' || $section eq 'const type' || $section eq 'const') {
    except_words($first);
  } elsif ($section eq 'pointer' && defined $second) {
    pair($first, $second);
  }
}

# Replacement records: four lines each; the second holds the argument count and the
# pointer pairs, the third names the macro.
my @records;
{
  my @lines = map { $_->[1] } table_lines("$data/tqc.def");
  for (my $i = 0; $i + 3 < @lines; $i += 4) {
    my ($count, @pairs) = split /,/, $lines[$i + 1];
    except_words($lines[$i + 2]);
    push @records, [$lines[$i + 2], [@pairs]];
  }
}

except_words(qw(
  define undef if ifdef ifndef elif elseif else endif include pragma defined pack push pop option
  typedef struct union enum const extern static void unsigned signed short long int char
  class public private protected virtual interface throw
  DECLARE_INTERFACE_ MIDL_INTERFACE DECLSPEC_UUID STDMETHOD STDMETHOD_ STDMETHODIMP STDMETHODIMP_
  THIS THIS_ PURE BEGIN_INTERFACE END_INTERFACE DEFINE_GUID EXTERN_GUID EXTERN_C CALLBACK
  MAKE_HRESULT MAKE_SCODE MAKEFOURCC mmioFOURCC __declspec dllexport
  import cpp_quote
));

# What the headers of the run define.
my %objects;  # object-like macros: name => value
my %text;     # the headers' texts, read once
for my $header (@headers) {
  my $code = $text{$header} = slurp($header) // next;
  $code =~ s/\\\r?\n/ /g;  # continued lines
  pair($1, $2)
    while $code =~ /\btypedef\s+(?:const\s+)?(?:struct\s+|union\s+|enum\s+)?(\w+)\s*\*\s*(\w+)/g;
  while ($code =~ /\}\s*(\w+)\s*((?:,\s*\*?\s*\w+\s*)+);/g) {
    my $name = $1;
    pair($name, $_) for $2 =~ /\*\s*(\w+)/g;
  }
  for my $record (@records) {
    my ($macro, $pairs) = @$record;
    while ($code =~ /\b\Q$macro\E\s*\(([^()]*)\)/g) {
      my @args = map { s/^\s+|\s+$//gr } split /,/, $1;
      for (my $p = 0; $p + 1 < @$pairs; $p += 2) {
        my ($t, $q) = map { s/\$(\d+)/$args[$1 - 1] \/\/ ''/ger } @$pairs[$p, $p + 1];
        pair($t, $q);
      }
    }
  }
  except_words($1) while $code =~ /^\s*#\s*define\s+(\w+)\s*\(\s*(\w+)\s*\)\s*\2\s*$/mg;
  # A macro that builds an HRESULT is learned and folded into the values that use it.
  except_words($1) while $code =~ /^\s*#\s*define\s+(\w+)\s*\([^)]*\)\s*MAKE_HRESULT\b/mg;
  except_words($1)
    while $code =~ /^\s*#\s*define\s+(\w+)\s+\(?\s*-?(?:0x[0-9a-fA-F]+|[0-9]+)[uUlL]*\s*\)?\s*$/mg;
  while ($code =~ /^\s*#\s*define\s+(\w+)(?:[ \t]+([^\n]*))?$/mg) {
    $objects{$1} //= $2 // '';
  }
}

# Decoration macros: their values hold nothing but consumed words, keywords of
# declarations, attributes and other decoration macros.
{
  my %keywords = map { $_ => 1 } qw(extern static inline __inline __inline__ __forceinline
    volatile __cdecl __stdcall);
  my %decoration;
  my $changed = 1;
  while ($changed) {
    $changed = 0;
    for my $name (keys %objects) {
      next if $decoration{$name};
      (my $value = $objects{$name}) =~ s{/\*.*?\*/|//.*}{}g;
      $value =~ s/\b__(?:declspec|attribute__)\s*(\((?:[^()]++|(?1))*\))//g;
      $value =~ s/[{}]|"[^"]*"//g;  # C++ namespace and linkage brackets
      next if $value =~ /[^\w\s]/;
      next if grep { !$except{lc $_} && !$keywords{$_} && !$decoration{$_} } $value =~ /\w+/g;
      $decoration{$name} = $changed = 1;
    }
  }
  except_words(keys %decoration);
}

# Takes out the names after a brace that closes an aggregate nested in another one.
sub drop_nested_member_names {
  my ($code) = @_;
  my ($out, $depth) = ('', 0);
  while ($code =~ /\G([^{}]*)([{}]?)/gc) {
    $out .= $1;
    last if $2 eq '';
    if ($2 eq '{') {
      $depth++;
      $out .= '{';
    } else {
      $depth-- if $depth > 0;
      $out .= '}';
      $code =~ /\G\s*\w+/gc if $depth > 0;
    }
  }
  return $out;
}

my %seen;
$seen{lc(($_ =~ m{([^/]+)\.[^./]+$})[0] // '')}++ for @headers;

my $missing = 0;
for my $header (@headers) {
  my ($stem) = $header =~ m{([^/]+)\.[^./]+$};
  next unless defined $stem && $seen{lc $stem} == 1;
  my $code = $text{$header};
  my $pas = slurp($units eq '' ? $header =~ s{\.[^./]+$}{.pas}r : "$units/$stem.pas");
  next unless defined $code && defined $pas;
  my %present = map { lc($_) => 1 } $pas =~ /[A-Za-z_][A-Za-z0-9_]*/g;
  $code =~ s/(?<!\w)L(?=["'])//g;
  # Alignment attributes have no Pascal form (a record keeps its as a comment after "{").
  $code =~ s/\b(?:DECLSPEC_ALIGN\s*\([^()]*\)|__declspec\s*\(\s*align\s*\([^()]*\)\s*\))//g;
  # Comments, strings and character literals, in the order C reads them.
  $code =~ s{/\*.*?\*/|//[^\n]*|"(?:\\.|[^"\\\n])*"|'(?:\\.|[^'\\\n])*'}{ }gs;
  $code =~ s{\[[^\]]*\]}{ }g if $header =~ /\.idl$/i;
  # Outer tags first: each pass takes the tags that the one before uncovered.
  1 while $code =~ s~\b(struct|union|enum)\s+\w+(\s*(\{(?:[^{}]++|(?3))*\})\s*\w)~$1$2~g;
  $code =~ s~\b(struct|union)\s+\w+\s*;~;~g;
  $code = drop_nested_member_names($code);
  $code =~ s{\[[^\]\n]*\](?=\s*[,)])}{ }g;
  my %reported;
  for my $word ($code =~ /[A-Za-z0-9_]+/g) {
    next if $word =~ /^[0-9]/;
    my $key = lc $word;
    next if $present{$key} || $except{$key} || $present{"_$key"};
    next if $present{"p_$key"} || $present{"p_p_$key"};
    next if grep { $present{$_} || $present{"p_$_"} } keys %{$pointers{$key} // {}};
    next if $reported{$key}++;
    print "$header: $word\n";
    $missing++;
  }
}
print "words missing from their units: $missing\n";
