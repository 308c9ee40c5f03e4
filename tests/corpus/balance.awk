# Lists the units whose conditional directives do not pair up: a {$ELSE...}, {$ENDIF} or
# {$IFEND} with no open {$IF...}, or an {$IF...} still open at the end of the unit. No
# Pascal compiler accepts such a unit. Prints one line per unit and a count at the end.
# Usage: awk -f balance.awk UNIT.pas...
function finish() {
  if (unit != "" && (fault != "" || depth != 0)) {
    faulty++
    print unit ": " (fault != "" ? fault : depth " conditional(s) open at the end")
  }
}
FNR == 1 { finish(); unit = FILENAME; depth = 0; fault = "" }
{
  sub(/\r$/, "")
  if ($0 ~ /^[ \t]*\{\$(IFEND|ENDIF)/) {
    if (depth == 0) { if (fault == "") fault = "line " FNR " closes no open conditional" }
    else depth--
  } else if ($0 ~ /^[ \t]*\{\$ELSE/) {
    if (depth == 0 && fault == "") fault = "line " FNR " continues no open conditional"
  } else if ($0 ~ /^[ \t]*\{\$IF/) {
    depth++
  }
}
END { finish(); print "unbalanced units: " faulty + 0 }
