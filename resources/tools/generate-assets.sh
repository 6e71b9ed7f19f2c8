#!/bin/sh
# Regenerates the pictures and animations of the resource library from AssetPainter.cpp.
# Needs Qt 6 (Gui), CMake and ImageMagick's convert; the product build needs none of this,
# because the generated files are committed in resources/.
set -eu

tools=$(cd "$(dirname "$0")" && pwd)
resources=$(dirname "$tools")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Prefer the real ImageMagick binary over wrappers earlier on PATH.
if [ -x /usr/bin/convert ]; then convert=/usr/bin/convert; else convert=convert; fi

cmake -S "$tools" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" >/dev/null
QT_QPA_PLATFORM=offscreen "$work/build/asset_painter" "$resources" "$work/frames"

# gif: delay in 1/100 s; every frame is complete and replaces the previous one, looping forever.
gif() {
    delay=$1 name=$2 out=$3
    "$convert" -delay "$delay" -dispose Background -loop 0 "$work/frames/$name"/*.png \
        +dither -strip "$resources/$out"
}
gif 5 aniProgress aniProgress.gif
gif 0 aniProgressStop aniProgressStop.gif
gif 5 101 anim101.gif

# Strip ancillary chunks so the committed PNGs depend only on their pixels.
for png in "$resources"/AAA-*.png "$resources"/IC_QUESTION-*.png; do
    "$convert" "$png" -strip -define png:exclude-chunks=date,time "PNG32:$png"
done
echo "assets written to $resources"
