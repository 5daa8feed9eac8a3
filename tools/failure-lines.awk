# Reads ctest's LastTest.log and prints, for every case that failed, the
# first lines that say why: gtest's failure lines with the two after each,
# wine-run's status line and the crash report; where no gtest failure line
# came (a case that ran out of time or was ended from outside), its last line
# of output first. At most 6 lines a case.
/^[0-9]+\/[0-9]+ Testing: / { name = $3; n = 0; failures = 0; after = 0; last = ""; next }
/^Test Passed\./ { name = ""; next }
/^Test Failed\.|^Test time-out|^Test Timeout/ {
  if (name == "") next
  print "  " name ":"
  if (failures == 0) print "    (no failure line; its last line: " substr(last, 1, 120) ")"
  for (i = 1; i <= n; i++) print "    " kept[i]
  name = ""
  next
}
name == "" { next }
{
  line = $0
  sub(/\r$/, "", line)
  if (line != "" && line !~ /^<end of output>$|^Test time = |^-+$|^wine-run: /) last = line
  if (after > 0) { keep(line); after--; next }
  if (line ~ /: Failure$/ || line ~ /^wine-run: / || line ~ /unhandled exception|abort\(\)/) {
    keep(line)
    if (line ~ /: Failure$/) { after = 2; failures++ }
  }
}
function keep(text) {
  if (n < 6) kept[++n] = substr(text, 1, 160)
}
