#!/usr/bin/env bash
# Takes docs/screenshot.png: the real program under Xvfb, driven with xdotool like a user would -
# a spoken voice loaded, a selection dragged, AutoKey applied, both palettes open.
# Usage: scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/docs/screenshot.png}"
"$root/scripts/deps.sh" build shots

build="$root/build/screenshot"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVOKRA_TESTS=OFF >/dev/null
cmake --build "$build" --target vokra

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A voice: espeak-ng speaks, sox makes it mono 16-bit at 22050 Hz as the loader wants it.
espeak-ng -s 140 -w "$work/raw.wav" "Hello there. Lip sync is all about the vowels and the pauses."
sox "$work/raw.wav" -c 1 -b 16 -r 22050 "$work/voice.wav"

cat > "$work/drive.sh" <<'DRIVE'
#!/usr/bin/env bash
set -euo pipefail
work="$1"; program="$2"; out="$3"
export VOKRA_INI="$work/vokra.INI"   # leave the user's own settings alone
export SDL_AUDIODRIVER=dummy
"$program" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT

main=$(xdotool search --sync --onlyvisible --name "Untitled - Vokra" | head -1)
xdotool windowmove "$main" 0 0 windowsize "$main" 900 640
sleep 1
xdotool windowfocus --sync "$main"

# File > Load Sound File ..., then type the path into the file dialog.
xdotool key alt+f
sleep 0.3
xdotool key l
dialog=$(xdotool search --sync --onlyvisible --name "^Open$" | head -1)
xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool type --delay 5 "$work/voice.wav"
xdotool key Return
sleep 1.5

# Drag a selection across the middle of the envelope pane.
eval "$(xdotool getwindowgeometry --shell "$main")"
y=$((HEIGHT * 2 / 3))
xdotool mousemove $((WIDTH * 30 / 100)) $y mousedown 1
for x in 35 45 55 62; do xdotool mousemove $((WIDTH * x / 100)) $y; sleep 0.05; done
xdotool mouseup 1
sleep 0.5

# View > AutoKey Palette, beside the window; Enter presses its default button, Apply.
xdotool windowfocus --sync "$main"
xdotool key alt+v
sleep 0.3
xdotool key a
autokey=$(xdotool search --sync --onlyvisible --name "^AutoKey Palette$" | head -1)
xdotool windowmove "$autokey" 910 0
sleep 0.5
xdotool windowfocus --sync "$autokey"
xdotool key Return
sleep 0.5

# Save it (Ctrl+S asks for a name the first time), so the title names the document.
xdotool windowfocus --sync "$main"
xdotool key ctrl+s
saveas=$(xdotool search --sync --onlyvisible --name "^Save As$" | head -1)
xdotool windowfocus --sync "$saveas"
sleep 0.5
xdotool type --delay 5 "$work/hello.vok"
xdotool key Return
sleep 1

# View > Playback Palette, below the AutoKey palette.
xdotool windowfocus --sync "$main"
xdotool key alt+v
sleep 0.3
xdotool key p
playback=$(xdotool search --sync --onlyvisible --name "^Playback Palette$" | head -1)
eval "$(xdotool getwindowgeometry --shell "$autokey")"
xdotool windowmove "$playback" 910 $((HEIGHT + 12))
sleep 1

# Play the selection with Space and catch it halfway: the marker in both panes, the lips open.
xdotool windowfocus --sync "$main"
xdotool key space
sleep 0.9
import -window root "$work/screen.png"

# No window manager runs here, so no desktop and no window frames: lay the three windows out on a
# plain background, each under a caption bar with its real title.
crop() {  # window-id image: the window's part of the one screen capture
    eval "$(xdotool getwindowgeometry --shell "$1")"
    convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
crop "$main" "$work/main.png"
crop "$autokey" "$work/autokey.png"
crop "$playback" "$work/playback.png"
caption=26
margin=14
args=()
place() {  # window-id image x y
    local id="$1" image="$2" x="$3" y="$4" title
    title="$(xdotool getwindowname "$id")"
    eval "$(xdotool getwindowgeometry --shell "$id")"
    args+=(-fill '#263248' -draw "rectangle $x,$y $((x + WIDTH - 1)),$((y + caption - 1))"
           -fill white -pointsize 13 -annotate "+$((x + 10))+$((y + 18))" "$title"
           "$image" -geometry "+$x+$((y + caption))" -composite)
    right=$((x + WIDTH)); bottom=$((y + caption + HEIGHT))
}
place "$main" "$work/main.png" $margin $margin
width=$((right + margin)); height=$((bottom + margin))
px=$((right + margin))
place "$autokey" "$work/autokey.png" $px $margin
width=$((right + margin > width ? right + margin : width))
place "$playback" "$work/playback.png" $px $((bottom + margin))
width=$((right + margin > width ? right + margin : width))
height=$((bottom + margin > height ? bottom + margin : height))
convert -size "${width}x${height}" xc:'#d5dae3' -font DejaVu-Sans "${args[@]}" -strip "$out"
DRIVE
chmod +x "$work/drive.sh"

# A window that never appears would leave xdotool waiting: give the whole run two minutes.
timeout 120 xvfb-run -a -s "-screen 0 1280x900x24" "$work/drive.sh" "$work" "$build/app/vokra" "$out"
echo "Saved $out"
