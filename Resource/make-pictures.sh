#!/usr/bin/env bash
# Renders every picture in Resource/ from the SVG sources in Resource/src, checks
# the results, and writes previews that imitate the running program. The main
# pictures and the button skins come in one set per display scale: 100 % in
# Resource/ itself, the others in Resource/<percent>/ under the same names.
#
#   Resource/make-pictures.sh [--check-only] [--scales "100 200"] [--preview-dir DIR]
#
# The rendered files are committed; building the program needs none of this.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
src=$here/src
preview=$here/../build/preview
render=1
# The scales Windows offers; the program picks the set for its monitor's DPI.
scales="100 125 150 175 200 250 300"
while [ $# -gt 0 ]; do
  case $1 in
    --check-only) render=0 ;;
    --scales) scales=$2; shift ;;
    --preview-dir) preview=$2; shift ;;
    -h|--help) sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "unknown argument: $1 (try --help)" >&2; exit 2 ;;
  esac
  shift
done

missing=()
for tool in rsvg-convert:librsvg2-bin convert:imagemagick identify:imagemagick compare:imagemagick; do
  package=${tool#*:}
  if ! command -v "${tool%%:*}" >/dev/null 2>&1 && [[ " ${missing[*]} " != *" $package "* ]]; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "make-pictures: missing tools; install them with:" >&2
  echo "  sudo apt-get install --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The set being made: its scale in percent and its folder.
pct=100
dir=$here
use_scale() {
  pct=$1
  dir=$here
  [ "$pct" = 100 ] || dir=$here/$pct
}
# A 96-ppi length at the current scale, rounded half up as the program's MulDiv does
# (pct / 100 is exactly dpi / 96 for every scale offered).
sc() { echo $((($1 * pct + 50) / 100)); }

# Areas the dialog covers on the main picture, at 100 %: name x y width height.
areas="prev:70:177:30:30 next:282:177:30:30 ok:101:261:50:30 cancel:205:261:50:30
name:90:100:225:24 question:94:150:210:36"
geometry() { # name -> WxH+X+Y at the current scale
  local a
  for a in $areas; do
    IFS=: read -r n x y w h <<<"$a"
    if [ "$n" = "$1" ]; then echo "$(sc "$w")x$(sc "$h")+$(sc "$x")+$(sc "$y")"; return; fi
  done
  echo "no area $1" >&2; exit 1
}

frames=(cpu_bg004 cpu_bg004_1 cpu_bg004_2 cpu_bg004_3)
question=cpu_bg005
arrows="left_n left_o left_d left_un right_n right_o right_d right_un"
pills="yes_n yes_o yes_d"

# Deterministic PNG: no time stamps or other metadata, always 8-bit RGBA.
save() { convert "${@:1:$#-1}" -strip -define png:exclude-chunks=date,time "${!#}"; }

# svg file, root class, output, [width height at 100 %]: rendered at the current scale
render_svg() {
  local size=()
  [ $# -lt 5 ] || size=(-w "$(sc "$4")" -h "$(sc "$5")")
  sed "0,/class=\"[^\"]*\"/s//class=\"$2\"/" "$1" |
    rsvg-convert --format=png "${size[@]}" -o "$3"
}

# The program blends a skin over the main picture with its colour multiplied by
# alpha twice, which darkens every partly transparent pixel. So each partly
# transparent pixel is flattened here over the panel it will sit on and made
# opaque; fully transparent pixels stay transparent.
flatten_skin() { # raw skin, area, output
  convert "$dir/cpu_bg004.png" -crop "$(geometry "$2")" +repage "$tmp/under.png"
  convert "$tmp/under.png" "$1" -compose over -composite -alpha off "$tmp/flat.png"
  convert "$1" -alpha extract -threshold 0 "$tmp/mask.png"
  save "$tmp/flat.png" "$tmp/mask.png" -compose copy_opacity -composite "PNG32:$3"
}

# The notification icon for dark taskbars: the same drawing as a light chip with a white outline, its
# colours swapped from the sources' (old:new, one pair each).
dark_icon_colours="2f5596:f4f7fb 172e58:c3d2e8 e8eef6:ffffff cdd6e2:eef2f7 0f1f3a:000000 7f9fd6:3a64b0"

render_icon() { # "old:new ..." colour swaps (none: the sources' own), output file in Resource/
  local icons="" n pair swaps=()
  for pair in $1; do swaps+=(-e "s/#${pair%%:*}/#${pair#*:}/gI"); done
  for n in 16 20 24 32 48; do
    if [ ${#swaps[@]} -gt 0 ]; then sed "${swaps[@]}" "$src/icon-$n.svg"; else cat "$src/icon-$n.svg"; fi |
      rsvg-convert --format=png -o "$tmp/icon$n.png"
    save "$tmp/icon$n.png" "PNG32:$tmp/icon$n-rgba.png"
    icons="$icons $tmp/icon$n-rgba.png"
  done
  # shellcheck disable=SC2086
  convert $icons "ICO:$here/$2"
}

# The main pictures and the skins of one set, at the current scale.
render_set() {
  local i=0 f s area
  mkdir -p "$dir"
  for f in "${frames[@]}"; do
    render_svg "$src/background.svg" "f$i" "$tmp/$f.png" 345 348
    save "$tmp/$f.png" "PNG32:$dir/$f.png"
    i=$((i + 1))
  done
  render_svg "$src/background.svg" q "$tmp/$question.png" 345 348
  save "$tmp/$question.png" "PNG32:$dir/$question.png"

  for s in $arrows; do
    render_svg "$src/arrow-button.svg" "${s%%_*} ${s#*_}" "$tmp/$s.png" 30 30
    case $s in left_*) area=prev ;; *) area=next ;; esac
    flatten_skin "$tmp/$s.png" $area "$dir/$s.png"
  done
  for s in $pills; do
    render_svg "$src/pill-button.svg" "${s#*_}" "$tmp/$s.png" 50 30
    flatten_skin "$tmp/$s.png" ok "$dir/$s.png"
  done
}

if [ "$render" = 1 ]; then
  for p in $scales; do
    use_scale "$p"
    render_set
  done
  use_scale 100

  render_icon "" vantor16.ico
  render_icon "$dark_icon_colours" vantor16_dark.ico
fi

# ---- checks ---------------------------------------------------------------
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
value() { convert "$@" info: 2>/dev/null; } # prints one -format result

check_png() { # file width height (at 100 %)
  local f=$dir/$1.png got name=$1.png
  [ "$pct" = 100 ] || name=$pct/$1.png
  [ -f "$f" ] || { fail "$name is missing"; return; }
  got=$(identify -format '%w %h %[png:IHDR.color_type] %[png:IHDR.bit_depth]' "$f")
  [ "$got" = "$(sc "$2") $(sc "$3") 6 (RGBA) 8" ] || fail "$name is '$got', wanted '$(sc "$2") $(sc "$3") 6 (RGBA) 8'"
  [ "$(value "$f" -fx 'u.a>0 && r>0.75 && g<0.3 && b>0.75' -format '%[fx:maxima]')" = 0 ] ||
    fail "$name has magenta pixels"
}

same_area() { # file-a file-b area
  [ "$(compare -metric AE "$dir/$1.png[$(geometry "$3")]" "$dir/$2.png[$(geometry "$3")]" null: 2>&1)" = 0 ] ||
    fail "$3 area differs between $1.png and $2.png at $pct %"
}

# The checks of one set, at the current scale.
check_set() {
  local f a s i j first width height top edge
  width=$(sc 345)
  height=$(sc 348)
  for f in "${frames[@]}" $question; do
    check_png "$f" 345 348
    for a in prev next ok cancel name question; do
      [ "$(value "$dir/$f.png" -crop "$(geometry $a)" -alpha extract -format '%[fx:minima]')" = 1 ] ||
        fail "$f.png at $pct % is not opaque under the $a area"
    done
    # The shadow must have faded out completely at the picture's edge.
    edge=$(value "$dir/$f.png" -alpha extract -fill black -draw "rectangle 1,1 $((width - 2)),$((height - 2))" \
      -format '%[fx:maxima]')
    [ "$edge" = 0 ] || fail "$f.png at $pct % is not fully transparent along its edge"
    [ "$(value "$dir/$f.png" -crop "$(geometry name)" -colorspace gray -format '%[fx:minima>=0.9]')" = 1 ] ||
      fail "$f.png at $pct %: the name box is not light enough for the blue text"
  done
  [ "$(value "$dir/$question.png" -crop "$(geometry question)" -colorspace gray -format '%[fx:minima>=0.9]')" = 1 ] ||
    fail "$question.png at $pct %: the question box is not light enough for the red text"

  # Stepping changes only the dial: everything from the name box down stays put.
  # OK and Cancel share one flattened face, so the panel under both must match,
  # in the question picture as well.
  first=${frames[0]}
  top=$(sc 96)
  for ((i = 0; i < ${#frames[@]}; i++)); do
    f=${frames[i]}
    [ "$(compare -metric AE "$dir/$first.png[${width}x$((height - top))+0+$top]" \
      "$dir/$f.png[${width}x$((height - top))+0+$top]" null: 2>&1)" = 0 ] ||
      fail "$f.png at $pct % differs from $first.png below the dial"
    for ((j = i + 1; j < ${#frames[@]}; j++)); do
      [ "$(compare -metric AE "$dir/$f.png" "$dir/${frames[j]}.png" null: 2>&1)" != 0 ] ||
        fail "$f.png and ${frames[j]}.png at $pct % are the same picture"
    done
  done
  for a in ok cancel name; do same_area "$first" "$question" $a; done
  [ "$(compare -metric AE "$dir/$first.png[$(geometry ok)]" "$dir/$first.png[$(geometry cancel)]" null: 2>&1)" = 0 ] ||
    fail "the panel under OK and under Cancel differs at $pct %, but they share one face"

  for s in $arrows; do check_png "$s" 30 30; done
  for s in $pills; do check_png "$s" 50 30; done
  for s in $arrows $pills; do
    [ "$(value "$dir/$s.png" -alpha extract -fx 'u>0 && u<1' -format '%[fx:maxima]')" = 0 ] ||
      fail "$s.png at $pct % has partly transparent pixels"
  done
}

# Every set present is checked, not only those just rendered: a stale set fails too.
for p in 100 $(cd "$here" && ls -d [0-9]* 2>/dev/null | sort -n); do
  use_scale "$p"
  check_set
done
for p in $scales; do
  [ -d "$here/$p" ] || [ "$p" = 100 ] || fail "the $p % set is missing"
done
use_scale 100

for name in vantor16.ico vantor16_dark.ico; do
  ico=$here/$name
  if [ -f "$ico" ]; then
    sizes=$(identify -format '%w:%h ' "$ico")
    [ "$sizes" = "16:16 20:20 24:24 32:32 48:48 " ] || fail "$name holds '$sizes'"
    # Directory entries: bit count is the 16-bit word at 6 + 16 * i + 6.
    for i in 0 1 2 3 4; do
      bits=$(od -An -tu2 -j$((12 + 16 * i)) -N2 "$ico" | tr -d ' ')
      [ "$bits" = 32 ] || fail "$name image $i has $bits bits per pixel"
    done
  else
    fail "$name is missing"
  fi
done

if [ "$failures" -gt 0 ]; then
  echo "make-pictures: $failures check(s) failed" >&2
  exit 1
fi
echo "make-pictures: all checks passed"

# ---- previews ---------------------------------------------------------------
mkdir -p "$preview"
blue='rgb(70,133,226)'
label_font=DejaVu-Sans-Bold
text_font=DejaVu-Sans
narrow_font=DejaVu-Sans-Condensed

# What the dialog's button shows: the skin as the program composes it over the
# main picture (premultiply with truncation, then bg*(1-a) + c*a, truncated).
compose_skin() { # main picture, skin, area, output
  convert "$1" -crop "$(geometry "$3")" +repage "$2" -channel RGB \
    -fx 'floor(floor(round(u.a*255)*round(u*255)/255)*(1-round(v.a*255)/255) + floor(round(v.a*255)*round(v*255)/255)*round(v.a*255)/255)/255' \
    +channel -alpha off "$4"
}

# Text as the dialog draws it on its keyed face: solid, not antialiased.
text_layer() { # width height pointsize font colour text [underline] -> stdout PNG
  local deco=none
  [ "${7:-}" = underline ] && deco=underline
  convert -size "$1x$2" xc:none +antialias -font "$4" -pointsize "$3" -fill "$5" -gravity center \
    -draw "decorate $deco text 0,0 '$6'" png:-
}

# main picture, button skins (prev next ok cancel, empty for hidden), captions, output
dialog() {
  local main=$1 prev=$2 next=$3 okskin=$4 cancelskin=$5 okcap=$6 cancelcap=$7 out=$8 args=() a g
  convert "$main" "$tmp/dlg.png"
  for a in prev next ok cancel; do
    case $a in prev) s=$prev ;; next) s=$next ;; ok) s=$okskin ;; cancel) s=$cancelskin ;; esac
    [ -n "$s" ] || continue
    compose_skin "$main" "$here/$s.png" $a "$tmp/c-$a.png"
    g=$(geometry $a)
    args+=("$tmp/c-$a.png" -geometry "+${g#*+}" -composite)
  done
  text_layer 50 30 11 "$text_font" "$blue" "$okcap" >"$tmp/t-ok.png"
  text_layer 50 30 11 "$text_font" "$blue" "$cancelcap" >"$tmp/t-cancel.png"
  text_layer 225 24 17 "$label_font" "$blue" Balanced underline >"$tmp/t-name.png"
  args+=("$tmp/t-ok.png" -geometry +101+261 -composite "$tmp/t-cancel.png" -geometry +205+261 -composite
    "$tmp/t-name.png" -geometry +90+100 -composite)
  convert "$tmp/dlg.png" "${args[@]}" "$out"
}

on_desktop() { # picture, colour, output
  convert -size 345x348 "xc:$2" "$1" -compose over -composite "$3"
}

shots=()
for f in "${frames[@]}"; do
  dialog "$here/$f.png" left_n right_n yes_n yes_n OK Cancel "$tmp/$f-dlg.png"
  shots+=("$tmp/$f-dlg.png")
done
dialog "$here/$question.png" "" "" yes_n yes_n Yes No "$tmp/$question-dlg.png"
text_layer 210 36 13 "$narrow_font" red "The setting needs a system restart,
Do you want to apply it?" | convert "$tmp/$question-dlg.png" - -geometry +94+150 -composite "$tmp/$question-dlg.png"
shots+=("$tmp/$question-dlg.png")

for desk in grey:'#7f7f7f' dark:'#1b2430'; do
  row=()
  for s in "${shots[@]}"; do
    name=$(basename "$s" -dlg.png)
    on_desktop "$s" "${desk#*:}" "$preview/$name-${desk%%:*}.png"
    row+=("$preview/$name-${desk%%:*}.png")
  done
  convert "${row[@]}" +append "$preview/all-${desk%%:*}.png"
done

# Every look of every button, composed where it sits, and the icon on light and
# dark taskbars; 4x so that edges can be judged.
sheet=()
for s in $arrows; do
  case $s in left_*) a=prev ;; *) a=next ;; esac
  compose_skin "$here/cpu_bg004.png" "$here/$s.png" $a "$tmp/sheet-$s.png"
  convert "$tmp/sheet-$s.png" -bordercolor '#f4f6f9' -border 4 "$tmp/sheet-$s.png"
  sheet+=("$tmp/sheet-$s.png")
done
pillrow=()
for s in $pills; do
  compose_skin "$here/cpu_bg004.png" "$here/$s.png" ok "$tmp/sheet-$s.png"
  shift=0; [ "$s" = yes_d ] && shift=1
  text_layer 50 30 11 "$text_font" "$blue" OK | convert "$tmp/sheet-$s.png" - -geometry "+$shift+$shift" \
    -composite -bordercolor '#f4f6f9' -border 4 "$tmp/sheet-$s.png"
  pillrow+=("$tmp/sheet-$s.png")
done
convert \( "${sheet[@]}" +append \) \( "${pillrow[@]}" +append \) -background '#f4f6f9' -gravity west \
  -append -scale 400% "$preview/buttons-x4.png"
# Each icon on both taskbars: the program shows vantor16.ico on light ones, vantor16_dark.ico on dark ones.
for ico in vantor16 vantor16_dark; do
  for bg in '#f0f0f0' '#202020'; do
    convert -size 170x56 "xc:$bg" \
      "$here/$ico.ico[0]" -geometry +4+20 -composite "$here/$ico.ico[1]" -geometry +24+18 -composite \
      "$here/$ico.ico[2]" -geometry +48+16 -composite "$here/$ico.ico[3]" -geometry +76+12 -composite \
      "$here/$ico.ico[4]" -geometry +112+4 -composite "$tmp/$ico-${bg#\#}.png"
  done
done
convert \( "$tmp/vantor16-f0f0f0.png" "$tmp/vantor16_dark-f0f0f0.png" +append \) \
  \( "$tmp/vantor16-202020.png" "$tmp/vantor16_dark-202020.png" +append \) -append -scale 400% "$preview/icon-x4.png"
echo "make-pictures: previews in $(cd "$preview" && pwd)"
