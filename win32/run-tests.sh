#!/bin/sh
# Builds the Win32 DLLs with mingw-w64, checks their export and import
# tables, and runs the Win32 test host under Wine, headless, then the
# conformance tests and the product suite built for Win32
# (conformance_tests_win32.exe, product_tests_win32.exe) in the same Wine
# session, each counted as "N passed, F failed, S skipped", every skip with
# its reason. Last, the host build's scenario_tests set what the item
# painted under Wine (the test host's pixels\ folder) beside the stand-in's
# rendering of the same views; a view that differs leaves both pictures and
# their differences in <output folder>/pixel-conformance.
#
#   win32/run-tests.sh <host build folder> <output folder>
#
# The host build folder provides the generated icons (<host build>/icons);
# CRESTUNE_ICON_DIR overrides that. The output folder receives the Win32
# build (build-win32) and a fresh Wine prefix (wineprefix).
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 <host build folder> <output folder>" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
icon_dir=${CRESTUNE_ICON_DIR:-$1/icons}
host_build=$(cd "$1" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
build=$out/build-win32
prefix=$out/wineprefix
objdump=i686-w64-mingw32-objdump
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

if [ ! -f "$icon_dir/icon_101.ico" ]; then
  echo "no icons in $icon_dir (build the host build first, or set CRESTUNE_ICON_DIR)" >&2
  exit 2
fi
icon_dir=$(cd "$icon_dir" && pwd)

echo "== Win32 build"
cmake -S "$source_dir" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$source_dir/win32/toolchain-i686-mingw.cmake" \
  -DCRESTUNE_ICON_DIR="$icon_dir" >"$out/configure.log" || { cat "$out/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)"
bin=$build/bin

echo "== Export and import tables"
# The names in a module's export table, one a line, sorted.
export_names() {
  $objdump -p "$bin/$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
    sed -nE 's/^[[:space:]]+\[ *[0-9]+\] +//p' | sort
}

# Fails for every DLL that a module imports other than the system DLLs and
# the extra ones given.
check_imports() {
  imports_of=$1
  shift
  allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll comdlg32.dll msvcrt.dll $* "
  for dll in $($objdump -p "$bin/$imports_of" | sed -n 's/^[[:space:]]*DLL Name: //p'); do
    case $allowed in
      *" $(echo "$dll" | tr 'A-Z' 'a-z') "*) ;;
      *) fail "$imports_of imports $dll" ;;
    esac
  done
}

# Exports of crestitem.dll: ordinals 240 and 241, and no names.
exports=$($objdump -p "$bin/crestitem.dll" | sed -n '/^Export Address Table --/,/^$/p' |
  sed -n 's/.*+base\[ *\([0-9]*\)\].*/\1/p' | tr '\n' ' ')
[ "$exports" = "240 241 " ] || fail "crestitem.dll exports ordinals '$exports', not '240 241'"
names=$(export_names crestitem.dll | wc -l)
[ "$names" -eq 0 ] || fail "crestitem.dll exports $names names"

# aygshell.dll exports the two shell calls by their bare names.
ayg=$(export_names aygshell.dll | tr '\n' ' ')
[ "$ayg" = "SHInitDialog SHRecognizeGesture " ] || fail "aygshell.dll exports '$ayg'"

# setup.dll: the installer's four hooks by their bare names, and nothing else.
setup_exports=$(export_names setup.dll | tr '\n' ' ')
[ "$setup_exports" = "Install_Exit Install_Init Uninstall_Exit Uninstall_Init " ] ||
  fail "setup.dll exports '$setup_exports'"
setup_count=$($objdump -p "$bin/setup.dll" | sed -n '/^Export Address Table --/,/^$/p' | grep -c '+base\[' || true)
[ "$setup_count" -eq 4 ] || fail "setup.dll exports $setup_count entries, not 4"
# ... and imports system DLLs only: the installer loads it where no
# aygshell.dll of ours is to be had.
check_imports setup.dll

# Imports: system DLLs and our aygshell.dll only (no libgcc, libstdc++).
for module in crestitem.dll aygshell.dll crestune_wine_tests.exe conformance_tests_win32.exe; do
  check_imports $module aygshell.dll
done
$objdump -p "$bin/crestitem.dll" | grep -q 'DLL Name: aygshell.dll' || fail "crestitem.dll does not import aygshell.dll"
[ $failures -eq 0 ] && echo "tables ok"

echo "== Wine"
rm -rf "$prefix" "$out/conformance-tests.log" "$out/conformance-tests.status" "$out/product-tests.log" "$out/product-tests.status" "$bin/pixels" "$out/pixel-conformance"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# One X display for the prefix's first start and the tests: a desktop that
# Wine starts without a display stays without one for the session.
# Xvfb has no window manager, and Wine waits up to 2 s for one each time it
# maps a managed window again (every modal dialog); the device has no window
# manager either, so Wine manages its windows itself here.
# Debian's Wine does not load the Tahoma of its own fonts-wine, and would
# draw Tahoma text in DejaVu Sans: the prefix's font folder gets the files
# that the stand-in draws with, as a Windows machine has its Tahoma.
cd "$bin"
status=0
timeout 180 xvfb-run -a sh -c '
  wineboot -i >"$1/wineboot.log" 2>&1 || { echo "wineboot -i failed" >&2; exit 3; }
  cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wine reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >>"$1/wineboot.log" 2>&1
  wine crestune_wine_tests.exe; result=$?
  wine conformance_tests_win32.exe --gtest_brief=1 >"$1/conformance-tests.log" 2>&1
  echo $? >"$1/conformance-tests.status"
  wine product_tests_win32.exe >"$1/product-tests.log" 2>&1
  echo $? >"$1/product-tests.status"
  wineserver -k
  exit $result' sh "$out" >"$out/wine-tests.log" 2>"$out/wine-stderr.log" || status=$?
tr -d '\r' <"$out/wine-tests.log" | grep -vE '^(ok: |[0-9]+ passed, )' || true
summary=$(tr -d '\r' <"$out/wine-tests.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' || true)
if [ -z "$summary" ]; then
  fail "the test host did not finish (exit $status; see $out/wine-tests.log, $out/wine-stderr.log)"
elif [ $status -ne 0 ]; then
  failures=$((failures + 1))
fi

echo "${summary:-0 passed, 1 failed}"

# A GoogleTest program's run: its failures and skips, each skip with the
# reason given at the line, then "<what> under Wine: N passed, F failed, S
# skipped".
gtest_summary() {
  what=$1 log=$(tr -d '\r' <"$out/$2.log" 2>/dev/null || true) status=$(cat "$out/$2.status" 2>/dev/null || echo none)
  ran=$(echo "$log" | sed -nE 's/^\[==========\] ([0-9]+) tests? from .* ran\..*/\1/p')
  passed=$(echo "$log" | sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\./\1/p')
  skipped=$(echo "$log" | sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below:/\1/p')
  [ -n "$skipped" ] || skipped=$(echo "$log" | sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?\./\1/p')
  failed=$((${ran:-0} - ${passed:-0} - ${skipped:-0}))
  echo "$log" | awk '
    /^\[ RUN      \] / { test = $4 }
    /^\[  FAILED  \] .*\(/ { print }
    /: Failure$/ { failing = 1 }
    failing && /^\[  FAILED  \]/ { failing = 0 }
    failing { print }
    /: Skipped$/ { where = $1; getline; print "skipped: " (test ? test " at " : "") where " " $0 }'
  if [ -z "$ran" ]; then
    fail "the $what did not finish (exit $status; see $out/$2.log)"
  elif [ "$status" != 0 ] || [ "$failed" -ne 0 ]; then
    failures=$((failures + 1))
  fi
  echo "$what under Wine: ${passed:-0} passed, $failed failed, ${skipped:-0} skipped"
}
gtest_summary "conformance tests" conformance-tests
gtest_summary "product tests" product-tests

echo "== Pixels: the item under Wine beside the stand-in"
CRESTUNE_WINE_PIXELS="$bin/pixels" CRESTUNE_PIXEL_OUT="$out/pixel-conformance" CRESTUNE_LIB_DIR="$host_build/lib" \
  "$host_build/bin/scenario_tests" --gtest_filter='StandinViews.*:PictureAgreement.*' --gtest_brief=1 \
  >"$out/pixel-conformance.log" 2>&1 || fail "the item's pixels differ from Wine's (see $out/pixel-conformance.log)"
grep -E '^(pixels: |.*Failure|Expected|  Actual|Which is)' "$out/pixel-conformance.log" || true
[ $failures -eq 0 ]
