#!/usr/bin/env bash
# Runs the built program under xvfb-run and saves screenshots of the main window (both pages, with an example file
# open) and of the About window into docs/. The example's name has an accented letter, and its game title is longer
# than its box: the title bar shows the name as spelled, and the box shows the title from its start.
#
#   scripts/screenshots.sh [BUILD-FOLDER]      (default: build)
set -euo pipefail
[[ -n "${SCREENSHOTS_TRACE:-}" ]] && set -x

root=$(cd "$(dirname "$0")/.." && pwd)

if [[ "${1:-}" != "--inside" ]]; then
  build=$(cd "${1:-$root/build}" && pwd)
  [[ -x "$build/bin/quenlet" ]] || { echo "no program at $build/bin/quenlet: build it first" >&2; exit 1; }
  missing=()
  command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v import >/dev/null || missing+=(imagemagick)
  # A window manager draws the title bars, with each window's title and icon.
  command -v openbox >/dev/null || missing+=(openbox)
  if ((${#missing[@]})); then
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$build"
fi

build=$2
docs=$root/docs
mkdir -p "$docs"
work=$(mktemp -d)
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$pid" "$wm" 2>/dev/null || true; rm -rf "$work"' EXIT

# An example file: the text header and an extended chunk, built byte by byte.
example="$work/Café Example.spc"
python3 - "$example" <<'PY'
import struct, sys
d = bytearray(0x10200)
d[0:33] = b"SNES-SPC700 Sound File Data v0.30"
d[0x21:0x25] = b"\x1a\x1a\x1a\x1e"
def field(offset, text, width):
    d[offset:offset + width] = text.encode("latin-1").ljust(width, b"\0")[:width]
field(0x2E, "Opening Theme", 32)
field(0x4E, "Example Quest", 32)
field(0x6E, "A. Dumper", 16)
field(0x7E, "Loops twice, then fades.", 32)
field(0x9E, "03/07/2004", 11)
field(0xA9, "150", 3)
field(0xAC, "10000", 5)
field(0xB1, "The Composer", 32)
d[0xD1] = 0x81
d[0xD2] = ord("1")
items = b""
def string(i, text):
    t = text.encode("latin-1") + b"\0"
    t += b"\0" * ((4 - len(t) % 4) % 4)
    return struct.pack("<BBH", i, 1, len(text) + 1) + t
items += string(0x02, "Example Quest II: The Long Road to the Last Castle")
items += string(0x10, "Example Quest Original Soundtrack")
items += string(0x13, "Example Records")
items += struct.pack("<BBH", 0x11, 0, 1)
items += struct.pack("<BBH", 0x12, 0, 12 * 256 + ord("a"))
items += struct.pack("<BBH", 0x14, 0, 1995)
items += struct.pack("<BBHI", 0x30, 4, 4, 5 * 64000)
items += struct.pack("<BBHI", 0x31, 4, 4, 120 * 64000)
items += struct.pack("<BBHI", 0x32, 4, 4, 10 * 64000)
items += struct.pack("<BBH", 0x35, 0, 2)
items += struct.pack("<BBHI", 0x36, 4, 4, 98304)
d += b"xid6" + struct.pack("<I", len(items)) + items
open(sys.argv[1], "wb").write(d)
PY

"$build/bin/quenlet" &
pid=$!
main=$(xdotool search --sync --onlyvisible --name '^Quenlet$' | head -1)
sleep 1

# File > Open... through its shortcut, then the file's path in Qt's open dialog; tried again, should a key go astray
# while the dialog comes up.
opened=
for _ in 1 2 3; do
  xdotool windowfocus --sync "$main"
  xdotool key --window "$main" ctrl+o
  # The dialog is up once another window has the focus.
  for _ in $(seq 50); do [[ "$(xdotool getactivewindow)" != "$main" ]] && break; sleep 0.2; done
  sleep 2
  # xdotool's type may drop a character that the keyboard map lacks; "é" goes as its own key.
  xdotool type --delay 20 "$work/Caf"
  sleep 0.3
  xdotool key eacute
  sleep 0.3
  xdotool type --delay 20 " Example.spc"
  xdotool key Return
  # Searched again while windows come and go (a search fails on a window that vanished under it).
  for _ in $(seq 25); do
    xdotool search --onlyvisible --name 'Example\.spc$' >/dev/null 2>&1 && opened=1 && break
    sleep 0.2
  done
  [[ -n "$opened" ]] && break
  xdotool key Escape
  sleep 1
done
[[ -n "$opened" ]] || { echo "the example did not open" >&2; exit 1; }
sleep 1
import -frame -window "$main" "$docs/main-window.png"

# The "Extended Data" page, through Ctrl+Tab.
xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+Tab
sleep 1
import -frame -window "$main" "$docs/extended-page.png"

# Help > About Quenlet...: the Help menu through its key, then its one item.
xdotool windowfocus --sync "$main"
xdotool key --window "$main" alt+h
sleep 1
xdotool key Return
about=
for _ in $(seq 100); do
  about=$(xdotool search --onlyvisible --name '^About Quenlet$' 2>/dev/null | head -1) && [[ -n "$about" ]] && break
  sleep 0.2
done
sleep 1
import -frame -window "$about" "$docs/about-window.png"

kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshots in $docs"
