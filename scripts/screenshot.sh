#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Takes docs/screenshot.png: Quillary in a real X window under Xvfb, with a small sample library,
# a category selected and a snippet open. With SHOTS_DIR set (docs/ serves), it also leaves
# clipboard.png and about.png there: the Code Clipboard and the About box over the main window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --test
cmake --preset dev >/dev/null
cmake --build build -j"$(nproc)" --target quillary >/dev/null

demo=$(mktemp -d)
trap 'kill "${app:-0}" "${xvfb:-0}" 2>/dev/null || true; rm -rf "$demo"' EXIT
cp build/quillary build/wordlist.dat "$demo/"
mkdir -p "$demo/Code/Files" "$demo/Code/Graphics/Fonts" "$demo/Code/Strings"
printf 'Function Reverse(s As String) As String\n    Dim i As Integer, r As String\n    For i = Len(s) To 1 Step -1\n        r = r & Mid(s, i, 1) '"'"' one character at a time\n    Next i\n    Reverse = r\nEnd Function\n' > "$demo/Code/Strings/Reverse.code"
printf 'Function Squeeze(s As String) As String\n    '"'"' collapse runs of spaces\n    Do While InStr(s, "  ") > 0\n        s = Replace(s, "  ", " ")\n    Loop\n    Squeeze = Trim(s)\nEnd Function\n' > "$demo/Code/Strings/Squeeze spaces.code"
printf 'Open sPath For Input As #1\n' > "$demo/Code/Files/Read a file.code"

display=:97
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
sleep 1
"$demo/quillary" >/dev/null 2>&1 &
app=$!
window=""
for _ in $(seq 50); do
    window=$(xdotool search --name "^Quillary 1.0$" 2>/dev/null | head -1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "Quillary did not open a window" >&2; exit 1; }
sleep 0.5
xdotool windowfocus --sync "$window" || true
# Select "Strings" (third category) with the keyboard, then click its first snippet.
xdotool key --window "$window" Down Down Down
sleep 0.3
xdotool mousemove --window "$window" 40 276 click 1
sleep 0.8
mkdir -p docs
import -window "$window" docs/screenshot.png
echo "docs/screenshot.png written"

if [ -n "${SHOTS_DIR:-}" ]; then
    mkdir -p "$SHOTS_DIR"
    # Toolbar button 8 (the Code Clipboard): buttons are 23 pixels wide, separators narrow.
    clip_x=138
    xdotool mousemove --window "$window" "$clip_x" 31 click 1
    sleep 0.5
    # Into the Code Clipboard's editor, which sits near the top left of the client area.
    xdotool mousemove --window "$window" 200 160 click 1
    xdotool type --delay 20 "Dim scratch As String" || true
    import -window "$window" "$SHOTS_DIR/clipboard.png"
    xdotool key --window "$window" alt+h
    sleep 0.3
    xdotool key a
    sleep 0.8
    import -window root "$SHOTS_DIR/about.png"
    echo "pictures of the Code Clipboard and the About box written to $SHOTS_DIR"
fi
