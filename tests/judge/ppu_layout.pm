# Reads what the judge's abi check needs from a compiled unit, as Free Pascal itself laid it out:
# the text of `ppudump UNIT.ppu`. Gives the unit's records (size, alignment, fields with their
# offsets and types, the type names that denote them), its enumerations' sizes and its integer
# constants (constants and enumeration members), so that nothing depends on reading Pascal
# source with its conditional directives.
package ppu_layout;
use strict;
use warnings;

# Returns a hash:
#   name     the unit's name (lower case)
#   deref    [unit names (lower case)]: "Unit N" of a type reference is deref->[N]
#   files    {file number => source file name}
#   defs     {id => {kind, name, size, align, fields => [{name, offset, type => [unit, id]}],
#                    float (the float type), esize (an enumeration's size), element (an
#                    array's element type, [unit, id])}}
#   types    [{name, unit, id, file, line}]: the type names of the interface, in order
#   consts   [{name, value, enum (1 for an enumeration member)}]
sub read_ppudump {
  my ($text) = @_;
  my %u = (deref => [], files => {}, defs => {}, types => [], consts => []);
  my (@open, $def, $field, $sym);
  # A reference "(n) DefId D" or "(n) Unit U, DefId D": [unit name or '' for this unit, D].
  my $ref = sub {
    my ($s) = @_;
    return undef unless $s =~ /DefId (\d+)/;
    my $id = $1;
    return [$s =~ /Unit (\d+)/ ? ($u{deref}[$1] // "?$1") : '', $id];
  };
  for my $line (split /\n/, $text) {
    if ($line =~ /^Module Name: (\S+)/) { $u{name} = lc $1; next }
    if ($line =~ /^DerefMap\[(\d+)\] = (\S+)/) { $u{deref}[$1] = lc $2; next }
    if ($line =~ /^Source file (\d+) : (\S+)/) { $u{files}{$1} = $2; next }
    if ($line =~ /^( *)\*\* Definition Id (\d+) \*\*/) {
      my $indent = length $1;
      $def = { id => $2, indent => $indent, fields => [] };
      $u{defs}{$2} = $def;
      $open[$indent / 4] = $def;
      $#open = $indent / 4;
      undef $sym;
      next;
    }
    if ($line =~ /^( *)\*\* Symbol Id \d+ \*\*/) {
      undef $sym;
      undef $field;
      $sym = { indent => length $1 };
      next;
    }
    if ($sym) {
      if ($line =~ /^( *)(Type|Constant|Enumeration|Field Variable) symbol (\S+)/) {
        $sym->{kind} = $2;
        $sym->{name} = $3;
        if ($2 eq 'Field Variable') {
          my $owner = $open[length($1) / 4 - 1];
          $field = { name => $3 };
          push @{$owner->{fields}}, $field if $owner;
        }
        next;
      }
      next unless $sym->{kind};
      if ($line =~ /^\s*File Pos : (\d+) \((\d+),/) { @$sym{qw(file line)} = ($1, $2); next }
      if ($sym->{kind} eq 'Field Variable') {
        if ($line =~ /^\s*Var Type : (.*)/) { $field->{type} = $ref->($1) }
        elsif ($line =~ /^\s*Address : (\d+)/) { $field->{offset} = $1 }
        next;
      }
      next if $sym->{indent} > 0;
      if ($sym->{kind} eq 'Type' && $line =~ /^\s*Result Type : (.*)/) {
        my $r = $ref->($1);
        push @{$u{types}}, { name => $sym->{name}, unit => $r->[0], id => $r->[1],
          file => $sym->{file}, line => $sym->{line} } if $r;
      } elsif ($line =~ /^\s*(OrdinalType|Definition) : /) {
        $sym->{ordinal} = 1;
      } elsif ($line =~ /^\s*Value : (-?\d+)\s*$/ && $sym->{ordinal}) {
        push @{$u{consts}}, { name => $sym->{name}, value => $1,
          enum => $sym->{kind} eq 'Enumeration' ? 1 : 0 };
      }
      next;
    }
    next unless $def;
    if ($line =~ /^\s*(Record|Enumeration type|Float|Array|Pointer|Object|Procedure|Ordinal|String|Set|Procedure variable|Variant|Class reference|Formal|Undefined|File) definition\s*$/
      && !defined $def->{kind}) {
      $def->{kind} = $1;
    } elsif ($line =~ /^\s*Name of Record : (\S*)/) {
      $def->{name} = $1;
    } elsif ($line =~ /^\s*DataSize : (\d+)/) {
      $def->{size} = $1;
    } elsif ($line =~ /^\s*RecordAlign : (\d+)/) {
      $def->{align} = $1;
    } elsif ($line =~ /^\s*Element type : (.*)/) {
      $def->{element} = $ref->($1);
    } elsif ($line =~ /^\s*Float type : (\S+)/) {
      $def->{float} = $1;
    } elsif ($line =~ /^\s*Size : (\d+)/ && ($def->{kind} // '') eq 'Enumeration type') {
      $def->{esize} = $1;
    }
  }
  return \%u;
}

1;
