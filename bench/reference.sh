# The reference pipeline of the map data's rebuild and transfer, shared by
# transfer_bench.sh and mapcharge_bench.sh. Sourced, not run.

# reference_transfer PIECES MANIFEST CARD TEMP: each file of the manifest
# ("<mode> <name> <piece> ..." with piece paths below PIECES) joined from its
# pieces (and unpacked for mode gzip), copied into CARD/BENCH and compared
# there.
reference_transfer() {
  local from=$1 manifest=$2 card=$3 temp=$4 mode name pieces target
  mkdir -p "$card/BENCH" "$temp"
  while read -r mode name pieces; do
    target="$temp/$name"
    (cd "$from" && if [ "$mode" = gzip ]; then cat $pieces | gzip -dc; else cat $pieces; fi) >"$target"
    cp "$target" "$card/BENCH/$name"
    cmp -s "$target" "$card/BENCH/$name"
    rm -f "$target"
  done <"$manifest"
}
