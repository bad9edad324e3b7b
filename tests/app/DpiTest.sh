#!/usr/bin/env bash
# The program at 96, 144 and 192 dpi, read back from screenshots: the windows' size and place, the pictures
# of the set for that DPI pixel for pixel (at 96 dpi the committed 100 % pictures, so that run looks as it
# always did), the level name in exact key-safe blue inside its box, and the OK caption centred on its
# button at a height that grew with the scale. Runs in a Wine prefix, server and display of its own, whose
# LogPixels setting (HKCU\Control Panel\Desktop, read by each Wine process as it starts) is the DPI.
#   DpiTest.sh <source folder> <bin folder> <state folder> [dpi ...]
set -uo pipefail
root=${1:?source folder}
bin=$(cd "${2:?bin folder}" && pwd)
state=${3:?state folder}

if [ "${KO_DPI_INNER:-}" != 1 ]; then
  KO_DPI_INNER=1 KO_WINE_STATE=$state WINEDEBUG=-all exec "$root/scripts/with-wine.sh" bash "$0" "$@"
fi
shift 3
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 144 192)

wine=/usr/lib/wine/wine64
work=$(mktemp -d)
program_pid=
cleanup() {
  [ -z "$program_pid" ] || kill "$program_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/checks.sh
. "$root/scripts/checks.sh"

pct=100
sc() { echo $((($1 * pct + 50) / 100)); } # a 96-ppi length at the scale, rounded as MulDiv rounds
box() { echo "$(sc "$3")x$(sc "$4")+$(sc "$1")+$(sc "$2")"; } # left top width height -> geometry
blue='rgb(70,133,226)'
# Pixels of the exact colour $2 in picture $1.
count_colour() {
  convert "$1" -alpha off -fill black +opaque "$2" -fill white -opaque "$2" -format '%[fx:round(mean*w*h)]' info:
}
# Bounding box (WxH+X+Y) of the pixels where two pictures differ.
diff_box() {
  convert "$1" "$2" -alpha off -compose difference -composite -threshold 0 -format '%@' info:
}
same_pixels() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = 0 ]; }
within() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }

export KOACPI_STORE="Z:$(echo "$work/store.json" | tr / '\\')"
name_height100=

for dpi in "${dpis[@]}"; do
  pct=$((dpi * 100 / 96))
  set_dir=$root/Resource
  [ "$pct" = 100 ] || set_dir=$root/Resource/$pct
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
    { echo "FAIL: cannot set LogPixels"; exit 1; }
  rm -f "$work/store.json"
  "$wine" "$bin/CpuVantor.exe" >"$work/program.log" 2>&1 &
  program_pid=$!
  window=
  find_window() { window=$(xdotool search --onlyvisible --name '^CPU Vantor\+$' 2>/dev/null | head -n 1) && [ -n "$window" ]; }
  wait_for 300 find_window || { echo "FAIL: the program's window did not appear at $dpi dpi"; exit 1; }
  dialog=$(xdotool search --onlyvisible --name '^cpuvantorControlForm$' 2>/dev/null | head -n 1)
  xdotool mousemove 5 1000
  # The first activation reads the BIOS level again and paints the label: done once the label is there.
  shot=$work/shot-$dpi.png
  label_drawn() {
    import -window root -crop "$(sc 345)x$(sc 348)+$X+$Y" +repage "$shot" 2>/dev/null &&
      [ "$(count_colour "$shot[$(box 90 100 225 24)]" "$blue")" -gt 0 ]
  }
  eval "$(xdotool getwindowgeometry --shell "$window")"
  wait_for 100 label_drawn
  sleep 0.5
  import -window root -crop "$(sc 345)x$(sc 348)+$X+$Y" +repage "$shot"

  check "$dpi dpi: the main window is $(sc 345)x$(sc 348) (was ${WIDTH}x$HEIGHT)" \
    test "${WIDTH}x$HEIGHT" = "$(sc 345)x$(sc 348)"
  check "$dpi dpi: the main window is centred across the screen" test "$X" -eq $((1280 / 2 - $(sc 345) / 2))
  main_x=$X main_y=$Y
  eval "$(xdotool getwindowgeometry --shell "${dialog:-0}" 2>/dev/null)"
  check "$dpi dpi: the dialog lies exactly over the main window" \
    test "$X,$Y,${WIDTH}x$HEIGHT" = "$main_x,$main_y,$(sc 345)x$(sc 348)"

  # The pictures of the set, pixel for pixel: the dial (the panel is opaque there) and the arrow buttons
  # (skins with opaque or fully transparent pixels, over the panel).
  frame=$set_dir/cpu_bg004.png
  dial=$(box 20 20 305 75)
  check "$dpi dpi: the dial is the set's picture" same_pixels "$shot[$dial]" "$frame[$dial]"
  for button in prev:left_n:70 next:right_n:282; do
    IFS=: read -r name skin left <<<"$button"
    area=$(box "$left" 177 30 30)
    convert "$frame" -crop "$area" +repage "$set_dir/$skin.png" -compose over -composite -alpha off "$work/want.png"
    check "$dpi dpi: the $name button is the set's $skin.png at ($(sc "$left"), $(sc 177))" \
      same_pixels "$shot[$area]" "$work/want.png"
  done

  # The level name: solid blue text (no blend with the key colour), whole inside its box.
  name=$(box 90 100 225 24)
  convert "$shot" -crop "$name" +repage "$work/name.png"
  convert "$frame" -crop "$name" +repage -alpha off "$work/name-panel.png"
  changed=$(compare -metric AE "$work/name.png" "$work/name-panel.png" null: 2>&1)
  text=$(($(count_colour "$work/name.png" "$blue") - $(count_colour "$work/name-panel.png" "$blue")))
  check "$dpi dpi: the level name is drawn" test "${changed:-0}" -gt 0
  check "$dpi dpi: every pixel of the level name is the label's blue ($text of $changed)" test "$text" = "$changed"
  IFS='x+' read -r w h x y <<<"$(diff_box "$work/name.png" "$work/name-panel.png")"
  check "$dpi dpi: the level name lies inside its box (${w}x$h+$x+$y)" \
    test "$x" -ge 1 -a "$y" -ge 1 -a $((x + w)) -lt "$(sc 225)" -a $((y + h)) -lt "$(sc 24)"
  [ "$pct" = 100 ] && name_height100=$h
  [ -z "$name_height100" ] || [ "$pct" = 100 ] ||
    check "$dpi dpi: the level name grew with the scale ($name_height100 px at 100 %, $h px)" \
      within "$h" $((name_height100 * pct / 100 - 3)) $((name_height100 * pct / 100 + 3))

  # The captions over their face: centred, clear of the rim, and grown with the scale (their outline font
  # may be made smaller to fit the face, never much).
  for button in OK:101 Cancel:205; do
    IFS=: read -r caption left <<<"$button"
    area=$(box "$left" 261 50 30)
    convert "$frame" -crop "$area" +repage "$set_dir/yes_n.png" -compose over -composite -alpha off "$work/face.png"
    IFS='x+' read -r w h x y <<<"$(diff_box "$shot[$area]" "$work/face.png")"
    check "$dpi dpi: the $caption caption is centred on its button (${w}x$h+$x+$y)" \
      within $((2 * x + w - $(sc 50))) -2 2
    check "$dpi dpi: the $caption caption is centred vertically (${w}x$h+$x+$y)" within $((2 * y + h - $(sc 30))) -3 3
    check "$dpi dpi: the $caption caption is clear of the rim (${w}x$h+$x+$y)" \
      test "$x" -ge "$(sc 6)" -a $((x + w)) -le "$(sc 44)"
    [ "$pct" = 100 ] && eval "caption_height100_$caption=$h"
    eval "height100=\${caption_height100_$caption:-}"
    [ -z "$height100" ] || [ "$pct" = 100 ] ||
      check "$dpi dpi: the $caption caption grew with the scale ($height100 px at 100 %, $h px)" \
        within "$h" $((height100 * pct * 3 / 400)) $((height100 * pct / 100 + 2))
  done
  check "$dpi dpi: no key colour shows" test "$(convert "$shot" -alpha off -fuzz 10% -fill black +opaque magenta \
    -fill white -opaque magenta -format '%[fx:maxima]' info:)" = 0

  [ -z "${KO_DPI_SHOTS:-}" ] || cp "$shot" "$KO_DPI_SHOTS/"
  "$wine" "$bin/vantorctl.exe" exit >/dev/null 2>&1
  wait_for 100 ended "$program_pid" || echo "FAIL: the program did not end at $dpi dpi"
  program_pid=
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
