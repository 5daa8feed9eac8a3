# Turns OvCoreWatch's lines (message names and raw words) into words a
# reader can follow: the kind, the map charge's phase, the percent and the
# result. A line it does not know passes through unchanged. tools/run reads
# OvCoreWatch's output through it; the last lines sum up each kind's result.
#
#   OvCoreWatch.exe ... | tr -d '\r' | awk -f words.awk

# "0x..." to a number (mawk has no strtonum).
function hex(s,   i, n) {
  s = toupper(s)
  sub(/^0X/, "", s)
  n = 0
  for (i = 1; i <= length(s); ++i) n = n * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1
  return n
}

function kind_name(k) {
  if (k == 1) return "probe upload (prb)"
  if (k == 2) return "map (map)"
  if (k == 4) return "probe traffic (sm)"
  if (k == 8) return "weather (wl)"
  if (k == 16) return "music (msc)"
  return sprintf("kind 0x%X", k)
}

function phase_name(p) {
  if (p == 1) return "download"
  if (p == 2) return "transfer to the card"
  if (p == 3) return "card check"
  return sprintf("phase %d", p)
}

# The result word's code (below the kind byte), with its detail; mawk reads
# no hex constants: 65280 is 0xFF00, 268435456 the HTTP status mark 0x10000000.
function result_words(kind, code, detail) {
  if (code == 0) return "done (success)"
  if (code == 65280) return "aborted"
  if (code == 65281) return "skipped (turned off in the settings)"
  if (code == 65282) return "nothing to do"
  if (code == 65286) return "no card in the drive"
  # The music charge's own codes.
  if (kind == 16 && code == 17) return "no music chosen (no PC music folder set, or nothing in it)"
  if (kind == 16 && code == 16) return sprintf("copying or deleting failed (platform error %d)", detail)
  if (detail >= 268435456 && detail < 268439552)
    return sprintf("failed: code 0x%06X, HTTP status %d", code, detail - 268435456)
  if (detail != 0) return sprintf("failed: code 0x%06X, detail 0x%08X (%d)", code, detail, detail)
  return sprintf("failed: code 0x%06X", code)
}

function mb(bytes) { return sprintf("%.1f MB", bytes / 1048576) }

function say(text) { print "  core: " text; fflush() }

# "NAME w=0x... l=0x..."
$2 ~ /^w=0x/ && $3 ~ /^l=0x/ {
  name = $1
  w = hex(substr($2, 3))
  l = hex(substr($3, 3))
  if (name == "OVEVNotifyProgress") {
    # Every percent would flood the screen: each tenth, and the last.
    step = int(w / 10)
    if (!(l in last_step) || step != last_step[l] || w == 100) {
      if (!((l SUBSEP w) in said)) say(sprintf("%s %d%%", kind_name(l), w))
      said[l, w] = 1
      last_step[l] = step
    }
  } else if (name == "OVEVNotifyError") {
    k = int(w / 16777216)
    code = w % 16777216
    text = result_words(k, code, l)
    say(sprintf("%s: %s", kind_name(k), text))
    if (!(k in result)) order[++kinds] = k
    result[k] = text
  } else if (name == "OVEVMapProgressStart") {
    # A phase begins twice: its preparation (line speed, download list,
    # room on the card), then its files, with the figures from zero.
    if (begun[w]) say(sprintf("map: %s: the files begin", phase_name(w)))
    else say(sprintf("map: %s phase begins", phase_name(w)))
    begun[w] = 1
    for (q = 0; q <= 4; ++q) delete quarter_said[w, q]
    last_done[w] = 0
    shown_done[w] = 0
  } else if (name == "OVEVMapProgressEnd") {
    if (last_done[w] > 0) say(sprintf("map: %s phase ends, %s in all", phase_name(w), mb(last_done[w])))
    else say(sprintf("map: %s phase ends", phase_name(w)))
    begun[w] = 0
  } else if (name == "OVEVMapProgress") {
    block_phase = w
  } else if (name == "OVEVMapLicense" && w == 3) {
    say(sprintf("map: asks whether to download now (about %d s)", l))
  } else if (name == "OVEVMapLicense" && w == 239) {
    say("map: asks whether the card's old data may be cleared to make room")
  } else if (name == "OVEVMapLicense") {
    say(sprintf("map: shows notice %d (%d)", w, l))
  } else if (name == "OVEVNoSendProbe") {
    say("map: asks whether probe data not yet uploaded may be dropped")
  } else {
    say(sprintf("%s %s %s", name, $2, $3))
  }
  next
}

# "  block P: speed S B/s, last B, done D of T": a line per quarter of the
# total; without a total (the transfer gives none), each time the bytes
# done have doubled.
/^  block [0-9]+: speed/ {
  total = $(NF)
  done = $(NF - 2)
  speed = $4
  last_done[block_phase] = done
  if (total > 0) {
    quarter = int(4 * done / total)
    if ((block_phase SUBSEP quarter) in quarter_said) next
    quarter_said[block_phase, quarter] = 1
    say(sprintf("map: %s %s of %s, %.1f MB/s", phase_name(block_phase), mb(done), mb(total),
                speed / 1048576))
  } else if (done >= 2 * shown_done[block_phase]) {
    shown_done[block_phase] = done
    say(sprintf("map: %s %s so far, %.1f MB/s", phase_name(block_phase), mb(done), speed / 1048576))
  }
  next
}

/^  answering yes on / {
  event = $4
  failed = $5 == "(failed)"
  say(sprintf("answered yes (%s)%s", event, failed ? ", but the event could not be set" : ""))
  next
}

/^starting / {
  print "  the core starts: " substr($0, 10)
  fflush()
  next
}

/^nothing reserved: asking the core to end/ {
  print "  nothing left to do: the core is asked to end"
  fflush()
  next
}

/^the core ended with / {
  print "  the core ended (exit code " $NF ")"
  fflush()
  next
}

{ print; fflush() }

END {
  if (kinds == 0) {
    print "results: the core reported none"
  } else {
    print "results:"
    for (i = 1; i <= kinds; ++i) printf "  %-20s %s\n", kind_name(order[i]), result[order[i]]
  }
}
