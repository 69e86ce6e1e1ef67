#!/usr/bin/env bash
# Reads the host build's CAB with a reader nobody here wrote (cabextract or
# gcab): it lists the install script first and the numbered members after
# it, highest first, and extracts the build's libraries byte for byte.
#
#   cab_listing.sh cabextract|gcab CAB LIBDIR
set -euo pipefail
tool=$1 cab=$(realpath "$2") libs=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
case $tool in
  cabextract)
    listing=$(cabextract -l "$cab")
    names=$(echo "$listing" | awk -F'|' 'NF == 3 && $3 ~ /\./ {gsub(/ /, "", $3); print $3}')
    cabextract -q -d "$work" "$cab" ;;
  gcab)
    listing=$(gcab -l "$cab")
    names=$(echo "$listing" | awk '{print $1}')
    (cd "$work" && gcab -x "$cab" >/dev/null) ;;
  *) echo "usage: $0 cabextract|gcab CAB LIBDIR" >&2; exit 2 ;;
esac
echo "$listing"
expected=$'CRESTUNE.000\n000SETUP.999\nCRESTI~1.001'
if [ "$names" != "$expected" ]; then
  echo "$tool lists the members as:"$'\n'"$names"$'\n'"expected:"$'\n'"$expected" >&2
  exit 1
fi
cmp "$work/CRESTI~1.001" "$libs/crestitem.so"
cmp "$work/000SETUP.999" "$libs/setup.so"
head -c 4 "$work/CRESTUNE.000" | grep -q MSCE
echo "$tool: 3 members, the libraries unchanged"
