# What the judge checks share: reading files, the recorded minimums, and the notice of a
# preparation that was skipped.
package judge_common;
use strict;
use warnings;
use Exporter 'import';
our @EXPORT = qw(slurp lines read_minimums exit_if_skipped);

sub slurp {
  my ($file) = @_;
  open(my $fh, '<:raw', $file) or die "$file: $!\n";
  local $/;
  return scalar <$fh>;
}

sub lines { return grep { length } split /\n/, slurp($_[0]) }

# The minimums file: ("CHECK MODE" => percent) and the modes in their order.
sub read_minimums {
  my ($file) = @_;
  my (%minimum, @modes);
  for (lines($file)) {
    next if /^#/;
    my ($check, $mode, $figure) = split;
    next unless defined $figure;
    push @modes, $mode unless grep { $_ eq $mode } @modes;
    $minimum{"$check $mode"} = $figure;
  }
  return (\%minimum, \@modes);
}

# A preparation that could not run left its reason: the check prints it and passes as skipped.
sub exit_if_skipped {
  my ($work) = @_;
  for my $skip ("$work/skipped", "$work/c-skipped") {
    next unless -f $skip;
    print slurp($skip);
    exit 0;
  }
}

1;
