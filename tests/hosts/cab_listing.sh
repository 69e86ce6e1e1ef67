#!/usr/bin/env bash
# Reads a CAB of the build with a reader nobody here wrote (cabextract or
# gcab): it lists the install script first and the numbered members after
# it, highest first, and extracts the build's libraries byte for byte.
#
#   cab_listing.sh cabextract|gcab CAB ITEM_LIBRARY SETUP_LIBRARY
set -euo pipefail
tool=$1 cab=$(realpath "$2") item=$3 setup=$4
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
  *) echo "usage: $0 cabextract|gcab CAB ITEM_LIBRARY SETUP_LIBRARY" >&2; exit 2 ;;
esac
echo "$listing"
expected=$'CRESTUNE.000\n000SETUP.999\nCRESTI~1.001'
if [ "$names" != "$expected" ]; then
  echo "$tool lists the members as:"$'\n'"$names"$'\n'"expected:"$'\n'"$expected" >&2
  exit 1
fi
cmp "$work/CRESTI~1.001" "$item"
cmp "$work/000SETUP.999" "$setup"
head -c 4 "$work/CRESTUNE.000" | grep -q MSCE
echo "$tool: 3 members, the libraries unchanged"
