#!/usr/bin/env bash
# Makes common/FontEnglish28.cpp, the overlay's built-in font, from DejaVu
# Sans (Debian package fonts-dejavu-core) at 21 points: digits 13 pixels wide
# in 28 rows.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
font=${1:-/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
g++ -std=c++17 -O1 -o "$work/fontgen" "$here/FontGen.cpp" $(pkg-config --cflags --libs SDL_ttf sdl)
"$work/fontgen" "$font" 21 > "$work/FontEnglish28.cpp"
mv "$work/FontEnglish28.cpp" "$here/../FontEnglish28.cpp"
