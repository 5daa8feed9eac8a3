#!/usr/bin/env bash
# The manual window's folder tree under Wine on a generated folder of many
# sub-folders with files below them: expanding it to its first paint, and
# selecting a path eight levels deep after a rebuild, each beside two bare
# loops that fill a plain tree-view control with the same folders (the
# shell's enumeration with display names; FindFirstFile). Prints the best
# times and the ratios.
# Usage: bench/foldertree_bench.sh [folders=1000] [files=20000] [rounds=3]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/common.sh"

folders=${1:-1000}
files=${2:-20000}
rounds=${3:-3}

bench_prepare "$@"
bench_start_wine

work="$OV_BUILD/bench-foldertree"
rm -rf "$work"
mkdir -p "$work"
echo "generating $folders folders with $files empty files below them, and a chain eight deep"
python3 - "$work/root" "$folders" "$files" <<'PY'
import os, sys
root, folders, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
for i in range(folders):
    folder = os.path.join(root, "曲フォルダ%05d" % i)
    os.makedirs(folder)
    for j in range(files // folders + (1 if i < files % folders else 0)):
        open(os.path.join(folder, "track%03d.mp3" % j), "wb").close()
os.makedirs(os.path.join(root, "曲フォルダ00000", *["level%d" % n for n in range(2, 9)]))
PY
root="$(winepath_of "$work/root")"
deep="$root\\曲フォルダ00000\\level2\\level3\\level4\\level5\\level6\\level7\\level8"

$WINE64 "$OV_BUILD/x86_64/bench/OvFolderTreeBench.exe" "$root" "$deep" "$rounds" </dev/null |
  tr -d '\r' >"$work/results.txt"

awk -v folders="$folders" '{ v[$1] = $2 }
  END {
    printf "folder tree, best of each (%d of %d folders shown, deep path selected: %s):\n", v["shown"], folders, v["selected"] ? "yes" : "NO"
    printf "  expand to first paint   %9.1f ms  %5.2f x shell loop  %5.2f x FindFirstFile loop\n", v["tree_expand"], v["tree_expand"] / v["shell_expand"], v["tree_expand"] / v["files_expand"]
    printf "    bare shell loop       %9.1f ms\n", v["shell_expand"]
    printf "    bare FindFirstFile    %9.1f ms\n", v["files_expand"]
    printf "  select eight deep       %9.1f ms  %5.2f x shell loop  %5.2f x FindFirstFile loop\n", v["tree_select"], v["tree_select"] / v["shell_select"], v["tree_select"] / v["files_select"]
    printf "    bare shell loop       %9.1f ms\n", v["shell_select"]
    printf "    bare FindFirstFile    %9.1f ms\n", v["files_select"]
  }' "$work/results.txt"

echo "the tree's work step by step over every folder of the root:"
awk '/^step_/ { sub(/^step_/, "", $1); printf "  %-30s %9.1f ms\n", $1, $2 }' "$work/results.txt"

if [ "${OV_BENCH_KEEP:-0}" = 1 ]; then
  echo "kept $work"
else
  size=$(du -sh "$work" | cut -f1)
  rm -rf "$work"
  echo "removed the generated folders ($size)"
fi
