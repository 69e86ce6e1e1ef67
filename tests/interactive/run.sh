#!/usr/bin/env bash
# crestune interactive under a virtual X display, driven as a person would:
# start the player with the body's button, tap Play on the Today item, close
# the window with Escape. Checks the player received Play, the last frame
# was written and the program ended with status 0.
#   run.sh CRESTUNE OUTDIR
set -euo pipefail

if [ "${1:-}" != "--inside" ]; then
  crestune=$(realpath "$1")
  out=$2
  mkdir -p "$out"
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --inside "$crestune" "$(realpath "$out")"
fi
crestune=$2
out=$3
# Under the sanitizers: SDL's X11 video keeps a session-bus connection whose
# memory libdbus never gives back. The program's own leaks are checked by the
# headless interactive tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
rm -f "$out/last.png" "$out/transcript.txt" "$out/stdout.txt"

fail() {
  echo "interactive: $*" >&2
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  exit 1
}

rm -rf "$out/shots"
"$crestune" interactive --screenshot-on-exit "$out/last.png" --transcript "$out/transcript.txt" \
  --screenshots "$out/shots" >"$out/stdout.txt" 2>"$out/stderr.txt" &
pid=$!

window=$(timeout 20 xdotool search --sync --name '^Crestune$' | head -n1) || fail "no window appeared"
# The window tells where its screen and buttons are.
for _ in $(seq 50); do grep -q "button PLAYER" "$out/stdout.txt" && break; sleep 0.1; done
read -r sx sy scale < <(sed -n 's/^interactive: window .*, screen at \([0-9]*\),\([0-9]*\) scale \([0-9]*\)$/\1 \2 \3/p' "$out/stdout.txt")
read -r px py < <(sed -n 's/^interactive: button PLAYER at \([0-9]*\),\([0-9]*\)$/\1 \2/p' "$out/stdout.txt")
[ -n "${sx:-}" ] && [ -n "${px:-}" ] || fail "the window did not say where its parts are"

xdotool mousemove --window "$window" "$px" "$py" click 1
# The Today shell looks for the player every two seconds; then the item shows its buttons.
sleep 2.5
# Press Play and hold it while F12 photographs the screen: the pressed face
# shows; then release it, which sends Play.
xdotool mousemove --window "$window" $((sx + 45 * scale)) $((sy + 64 * scale)) mousedown 1
sleep 0.4
xdotool key F12
sleep 0.4
xdotool mouseup 1
sleep 0.5
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Escape

status=0
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "Escape did not close the window"
wait "$pid" || status=$?
[ "$status" = 0 ] || fail "crestune interactive ended with status $status: $(cat "$out/stderr.txt")"
grep -qx "0x80C8" "$out/transcript.txt" || fail "the player did not receive Play: $(cat "$out/transcript.txt")"
grep -q "^state: Playing" "$out/transcript.txt" || fail "the player is not playing: $(cat "$out/transcript.txt")"
[ -s "$out/shots/shot-1.png" ] || fail "F12 wrote no screenshot"
# The pressed Play face is green: green above red and blue at its top.
pixel=$(python3 "$(dirname "$0")/png_pixel.py" "$out/shots/shot-1.png" 45 54)
r=$((16#${pixel:0:2})); g=$((16#${pixel:2:2})); b=$((16#${pixel:4:2}))
[ "$g" -gt "$r" ] && [ "$g" -gt "$b" ] || fail "Play does not look pressed while the pen is down (pixel $pixel)"
[ -s "$out/last.png" ] || fail "no last frame written"
echo "interactive: ok"
