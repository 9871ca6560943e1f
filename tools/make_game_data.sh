#!/bin/sh
# Regenerates every model and model texture of GAME_DATA, the cursors, the 2D art (HUD, cards, lens
# flare, smoke), the program's icons (packaging/icons) and the importer's test fixtures.
#
#   tools/make_game_data.sh [--previews DIR]
#
# Run from anywhere; it works in the repository root. Installs Blender, ImageMagick, Python's imaging
# and array libraries and SoX with apt-get when they are missing (needs root for that). All randomness
# comes from fixed seeds, so a rerun reproduces the committed files. With --previews, Blender also
# renders review pictures of every model into DIR (Cycles on the CPU, a few minutes).
set -eu
cd "$(dirname "$0")/.."

previews=""
if [ "${1:-}" = "--previews" ]; then
    previews="--previews ${2:?--previews needs a folder}"
fi

need=""
command -v blender >/dev/null 2>&1 || need="$need blender"
[ -x /usr/bin/convert ] || need="$need imagemagick"
command -v sox >/dev/null 2>&1 || need="$need sox"
/usr/bin/python3 -c "import PIL" 2>/dev/null || need="$need python3-pil"
/usr/bin/python3 -c "import numpy" 2>/dev/null || need="$need python3-numpy"
[ -f /usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf ] || need="$need fonts-dejavu-core"
if [ -n "$need" ]; then
    echo "installing:$need"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q $need
fi

textures=GAME_DATA/textures
models=GAME_DATA/models
rm -rf "$textures/palette" "$textures/stone" "$textures/terrain" "$textures/terrain_fen" "$textures/terrain_ash" \
       "$textures/skybox" "$textures/tv" \
       "$textures/hud/cursor" "$models"/*.fbx tests/fixtures/*.fbx
mkdir -p "$models" tests/fixtures GAME_DATA/physx_buffer/convex_hulls GAME_DATA/physx_buffer/mesh_hulls

# Images first: the models' materials point at them.
/usr/bin/python3 tools/data/make_textures.py "$textures"

# The exporter derives object ids from Python string hashes: a fixed hash seed keeps them stable. One
# thread keeps Blender's parallel sums (smooth normals) in the same order on every run.
# One Blender run builds the "tv" frames, every model and the fixtures. Models are exported straight into
# GAME_DATA/models, because texture references inside the FBX files are relative to where they are written.
PYTHONHASHSEED=0 HOLLOW_TEXTURES="$textures" HOLLOW_MODELS="$models" HOLLOW_FIXTURES=tests/fixtures \
    blender -b --factory-startup -noaudio -t 1 -P tools/data/blender/build.py -- "$models" $previews

/usr/bin/python3 tools/data/strip_png_metadata.py "$textures/tv"

# 2D art. The building cards are turntable renders of the towers (Blender, into a scratch folder)
# composited onto card frames; everything else is drawn by the Python script. The two cursors above
# live in hud/cursor and are left alone here.
renders=$(mktemp -d)
trap 'rm -rf "$renders"' EXIT
PYTHONHASHSEED=0 HOLLOW_TEXTURES="$textures" \
    blender -b --factory-startup -noaudio -t 1 -P tools/data/blender/cards.py -- "$renders" >/dev/null
rm -rf "$textures/hud/overlay" "$textures/hud/towercards" "$textures/hud"/*.png "$textures/lensflare" "$textures/particles"
/usr/bin/python3 tools/data/make_hud.py "$textures" --cards "$renders" --icons packaging/icons

# Sound effects (SoX) and the font (a free TrueType font from Debian, under the game's font name).
bash tools/data/make_sounds.sh
if ! dpkg-query -W -f='${Status}' fonts-dejavu-core 2>/dev/null | grep -q "install ok installed"; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q fonts-dejavu-core
fi
mkdir -p GAME_DATA/fonts
cp /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf GAME_DATA/fonts/Oetztype.ttf
cp /usr/share/doc/fonts-dejavu-core/copyright GAME_DATA/fonts/Oetztype.LICENSE.txt

echo "done:"
du -sh "$models" "$textures" GAME_DATA/sounds tests/fixtures
