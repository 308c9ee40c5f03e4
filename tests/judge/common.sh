# Shared by the judge scripts (sourced): where the headers are, how many jobs, the modes and
# recorded minimums, and the wall-time log of the steps.
headers=/usr/share/mingw-w64/include
jobs=$(nproc 2>/dev/null || echo 2)

# The modes of MINIMUMS ("CHECK MODE PERCENT" lines), in the order they first appear.
judge_modes() {
  awk '!/^#/ && NF >= 3 && !seen[$2]++ { print $2 }' "$1"
}

# The recorded minimum of CHECK in MODE (empty when none is recorded).
judge_minimum() {
  awk -v c="$2" -v m="$3" '!/^#/ && $1 == c && $2 == m { print $3; exit }' "$1"
}

# "below MIN PERCENT": 0 when PERCENT (one decimal) is under the recorded MIN.
judge_below() {
  awk -v a="$2" -v m="$1" 'BEGIN { exit !(m != "" && a + 0 < m - 0.00001) }'
}

# Sets step_cpu to the processor seconds used so far by the finished children of this shell
# (not in a subshell: it would count its own children).
children_cpu() {
  times >"$work/.times"
  step_cpu=$(awk 'NR == 2 { split($1 " " $2, t, /[ms ]+/); print t[1] * 60 + t[2] + t[3] * 60 + t[4] }' \
    "$work/.times")
}
step_start() {
  step_t0=$(date +%s.%N)
  children_cpu
  step_c0=$step_cpu
}
# Appends "WALL s (CPU s processor)  STEP" to WORK/times.txt.
step_end() {
  children_cpu
  awk -v a="$step_t0" -v b="$(date +%s.%N)" -v c="$step_c0" -v d="$step_cpu" -v s="$1" \
    'BEGIN { printf "%7.1f s wall %7.1f s processor  %s\n", b - a, d - c, s }' >>"$work/times.txt"
}
