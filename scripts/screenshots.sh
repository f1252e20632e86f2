#!/usr/bin/env bash
# Runs the built program under xvfb-run and saves screenshots of the main window (both pages, with an example file
# open) and of the About window into docs/.
#
#   scripts/screenshots.sh [BUILD-FOLDER]      (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

if [[ "${1:-}" != "--inside" ]]; then
  build=$(cd "${1:-$root/build}" && pwd)
  [[ -x "$build/bin/quenlet" ]] || { echo "no program at $build/bin/quenlet: build it first" >&2; exit 1; }
  missing=()
  command -v xvfb-run >/dev/null || missing+=(xvfb xauth)
  command -v xdotool >/dev/null || missing+=(xdotool)
  command -v import >/dev/null || missing+=(imagemagick)
  if ((${#missing[@]})); then
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$build"
fi

build=$2
docs=$root/docs
mkdir -p "$docs"
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# An example file: the text header and an extended chunk, built byte by byte.
python3 - "$work/Example.spc" <<'PY'
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

# File > Open... through its shortcut, then the file's path in Qt's open dialog.
xdotool windowfocus --sync "$main"
xdotool key --window "$main" ctrl+o
sleep 1
xdotool type --delay 20 "$work/Example.spc"
xdotool key Return
sleep 1
import -window "$main" "$docs/main-window.png"

# The "Extended Data" tab: it lies to the right of the first tab, in the panel's top left corner.
read -r wx wy < <(xdotool getwindowgeometry "$main" | awk '/Position/ {split($2, p, ","); print p[1], p[2]}')
bar=$(($(xdotool getwindowgeometry "$main" | awk '/Geometry/ {split($2, g, "x"); print g[2]}') - 299))
xdotool mousemove $((wx + 200)) $((wy + bar + 28)) click 1
sleep 1
import -window "$main" "$docs/extended-page.png"

# Mode > About Quenlet...: the third menu, its last item.
xdotool mousemove $((wx + 95)) $((wy + bar / 2)) click 1
sleep 1
xdotool key Up Return
about=$(xdotool search --sync --onlyvisible --name '^About Quenlet$' | head -1)
sleep 1
import -window "$about" "$docs/about-window.png"

kill "$pid"
wait "$pid" 2>/dev/null || true
echo "screenshots in $docs"
