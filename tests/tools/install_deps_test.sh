#!/usr/bin/env bash
# tools/install-deps.sh against a package manager of the test's own (fake
# dpkg-query, dpkg, apt-get and id first on PATH): nothing is asked of apt
# when every package is there; a failing index update is retried and the
# install tried anyway; what cannot be installed is named, and only that is
# an error. Each row: what the fakes do, the status expected, what the
# output and apt's log must hold.
set -uo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/tools/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# dpkg-query: installed are the packages listed in $work/installed (all
# when it holds "*").
cat >"$work/bin/dpkg-query" <<'F'
#!/bin/bash
pkg=${!#}
if grep -qx '\*' "$FAKE/installed" || grep -qx "$pkg" "$FAKE/installed"; then echo -n "install ok installed"; exit 0; fi
exit 1
F
# apt-get: logs its call; update fails when $FAKE/update-fails exists;
# install adds its packages unless one is listed in $FAKE/uninstallable.
cat >"$work/bin/apt-get" <<'F'
#!/bin/bash
echo "apt-get $*" >>"$FAKE/apt.log"
for a in "$@"; do
  case $a in
    update) [ -e "$FAKE/update-fails" ] && exit 100; exit 0 ;;
    install) install=1 ;;
    -*) ;;
    *) [ -n "${install:-}" ] && pkgs+=("$a") ;;
  esac
done
for p in "${pkgs[@]}"; do grep -qx "$p" "$FAKE/uninstallable" 2>/dev/null && exit 100; done
printf '%s\n' "${pkgs[@]}" >>"$FAKE/installed"
F
printf '#!/bin/bash\necho "dpkg $*" >>"$FAKE/apt.log"\n[ "$1" = --print-foreign-architectures ] && echo i386\nexit 0\n' >"$work/bin/dpkg"
printf '#!/bin/bash\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin/"*

failures=0
# name | installed | update fails | uninstallable | groups | status | output holds | apt log holds | apt log lacks
rows=(
  "all there, the index broken|*|yes||host win32|0|||apt-get"
  "one missing, the index broken|cmake|yes||host|0|apt-get update failed .attempt 3 of 3.|install -y --no-install-recommends g++|"
  "one that cannot be had|cmake|no|wine32:i386|win32|1|could not install: wine32:i386|install -y --no-install-recommends wine|"
  "the others still installed|cmake|no|wine32:i386|win32|1|could not install: wine32:i386$|apt-get -o DPkg::Lock::Timeout=300 -qq install -y --no-install-recommends wine\$|"
  "a group that is no group|*|no||bogus|2|usage:||apt-get"
)
for row in "${rows[@]}"; do
  IFS='|' read -r name installed broken bad groups want holds logged unlogged <<<"$row"
  export FAKE="$work/fake"
  rm -rf "$FAKE" && mkdir "$FAKE" && : >"$FAKE/apt.log"
  tr ' ' '\n' <<<"$installed" >"$FAKE/installed"
  [ "$broken" = yes ] && touch "$FAKE/update-fails"
  [ -n "$bad" ] && echo "$bad" >"$FAKE/uninstallable"
  # shellcheck disable=SC2086
  out=$(PATH="$work/bin:$PATH" CRESTUNE_APT_RETRY_DELAY=0 bash "$script" $groups 2>&1)
  status=$?
  problem=
  [ "$status" = "$want" ] || problem="status $status, expected $want"
  [ -z "$holds" ] || grep -qE -- "$holds" <<<"$out" || problem="$problem; output lacks '$holds'"
  [ -z "$logged" ] || grep -qE -- "$logged" "$FAKE/apt.log" || problem="$problem; apt was not asked '$logged'"
  [ -z "$unlogged" ] || ! grep -q -- "$unlogged" "$FAKE/apt.log" || problem="$problem; apt was asked: $(head -1 "$FAKE/apt.log")"
  if [ -n "$problem" ]; then
    echo "FAILED: $name: $problem"$'\n'"  output: $out"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
done
exit $((failures > 0))
