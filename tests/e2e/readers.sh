#!/usr/bin/env bash
# Reads every .x file the end-to-end tests wrote (collected with a manifest line each:
# "NAME rest|- bends|- wine|-|none ORIGIN"; none: for no engine's reader) with a real reader that engines use, and fails on any file
# the reader refuses, crashes on, warns about or loads in part, a bone a skinned mesh does not find,
# a vertex that moves at a rest pose, a character that does not bend, or a seam that tears.
#   readers.sh irrlicht IRRCHECK DIR
#   readers.sh wine XSKIN.EXE DIR PREFIX     (D3DX under Wine and Xvfb; PREFIX made when missing)
set -uo pipefail
reader=$1 program=$2 dir=$3
cd "$dir" 2>/dev/null && [ -s manifest ] || { echo "no outputs collected"; exit 0; }
# Files beyond Wine's limits are not given to Wine.
if [ "$reader" = wine ]; then
  mapfile -t files < <(awk '$4 == "wine" { print $1 }' manifest | sort -u)
else
  mapfile -t files < <(awk '$4 != "none" { print $1 }' manifest | sort -u)
fi
start=$(date +%s%N)
if [ "$reader" = irrlicht ]; then
  "$program" "${files[@]}" >"report-$reader" 2>&1
else
  export WINEPREFIX=$4 WINEDEBUG=-all
  # The first start of a prefix can lose its X connection: make it once, on its own.
  [ -f "$WINEPREFIX/system.reg" ] || xvfb-run -a wineboot -i >/dev/null 2>&1
  xvfb-run -a wine "$program" "${files[@]}" 2>/dev/null | tr -d '\r' >"report-$reader"
fi
elapsed=$((($(date +%s%N) - start) / 1000000))
echo "$reader read ${#files[@]} files in $((elapsed / 1000)).$((elapsed % 1000 / 100)) s"
awk -v reader="$reader" '
  FNR == NR && reader == "wine" && $4 != "wine" { next }
  FNR == NR && $4 == "none" { next }
  FNR == NR {
    if (index(origin[$1] " ", " " $5 " ") == 0) origin[$1] = origin[$1] " " $5
    if ($2 == "rest") rest[$1] = 1
    if ($3 == "bends") bends[$1] = 1
    next
  }
  { file = $1; sub(/:$/, "", file) }
  $1 == "warning" { file = $2; sub(/:$/, "", file) }
  reader == "irrlicht" && $2 == "loaded" && $3 == 1 {
    seen[file] = 1
    if ($17 > 1e-4) why[file] = why[file] "\n    seam torn by " $17
    if (rest[file] && $15 > 1e-4) why[file] = why[file] "\n    moved at rest by " $15
    if (bends[file] && $13 < 0.1) why[file] = why[file] "\n    does not bend: moved " $13
    next
  }
  reader == "wine" && $2 == "skin" {
    if ($5 != $7) why[file] = why[file] "\n    " $3 ": " $5 - $7 " of " $5 " bones not found"
    if (rest[file] && $13 > 1e-4) why[file] = why[file] "\n    " $3 " moved at rest by " $13
    next
  }
  reader == "wine" && $2 == "frames" {
    seen[file] = 1
    if ($5 != $7) why[file] = why[file] "\n    " $7 - $5 " of " $7 " meshes lost"
    next
  }
  { seen[file] = 1; why[file] = why[file] "\n    " $0 }
  END {
    for (file in origin) {
      if (!seen[file] && why[file] == "") why[file] = "\n    no report"
      if (why[file] == "") continue
      print file " (" substr(origin[file], 2) "):" why[file]
      failed++
    }
    print reader ": " failed + 0 " of " length(origin) " files refused or wrong"
    exit failed > 0
  }' manifest "report-$reader"
