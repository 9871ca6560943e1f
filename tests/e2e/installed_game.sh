#!/usr/bin/env bash
# The game as a player installs it: the Debian package of the build that holds GAME (made with
# cpack), unpacked into a temporary root with its data made read-only, started from an unrelated
# working directory with a temporary home (XDG folders inside it): menu, START, the level map,
# the first level, Escape, exit status 0. Afterwards the player's files are in the temporary home (settings with
# the quality chosen for this machine, the physics cache), nothing else was written, and the data
# is unchanged. The package itself: its name, section, dependencies, no cooked physics cache, a
# valid desktop entry, and no lintian error.
#
#   tests/e2e/installed_game.sh BUILD_FOLDER/hollowmere
#
# INSTALLED_GAME_SHOT=FILE.png keeps a screenshot of the level. Scenes are recognised by their log
# lines, not by pixels; only the START sign and the map's first level are clicked by position (see
# tests/e2e/lib/game_window.sh).
set -uo pipefail
game=$(realpath "$1")
build=$(dirname "$game")

source "$(dirname "$0")/lib/game_window.sh"
on_own_display "$@"
game_window_setup installed_game

# --- The package ------------------------------------------------------------------------------

start=$SECONDS
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
debs=("$work"/package/hollowmere_*_"$arch".deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "no single hollowmere_VERSION_$arch.deb: $(ls "$work/package")"
deb=${debs[0]}
echo "package $(basename "$deb") made in $(elapsed $start) s, $(du -h "$deb" | cut -f1)"

info=$(dpkg-deb --field "$deb" Package Version Section Depends)
echo "$info"
grep -qx "Section: games" <<<"$info" || fail "the package is not in section games"
grep -q "^Depends: .*libc6" <<<"$info" || fail "no dependencies computed from the shared libraries"
version=$(dpkg-deb --field "$deb" Version)
[[ $(basename "$deb") == "hollowmere_${version}_${arch}.deb" ]] || fail "unexpected file name $(basename "$deb")"

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for file in ./usr/bin/hollowmere ./usr/bin/hollowmere-sim ./usr/bin/hollowmere-view \
  ./usr/share/hollowmere/GAME_DATA/settings.ini ./usr/share/applications/hollowmere.desktop \
  ./usr/share/icons/hicolor/64x64/apps/hollowmere.png ./usr/share/icons/hicolor/128x128/apps/hollowmere.png \
  ./usr/share/icons/hicolor/256x256/apps/hollowmere.png ./usr/share/doc/hollowmere/copyright \
  ./usr/share/doc/hollowmere/changelog.Debian.gz; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done
if grep -E '\.dat$|physx_buffer' <<<"$contents"; then fail "the package ships a physics cache"; fi

root=$work/root
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
desktop-file-validate "$root/usr/share/applications/hollowmere.desktop" || fail "invalid desktop entry"

if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1
  lintian_status=$?
  sed 's/^/lintian: /' "$work/lintian.log"
  ((lintian_status == 0)) || fail "lintian reports errors"
else
  echo "lintian is not installed; the package is not checked by it (tools/setup.sh installs it)"
fi

# --- A player's first start --------------------------------------------------------------------

data=$root/usr/share/hollowmere/GAME_DATA
chmod -R a-w "$root"
# The data and the whole unpacked tree, before: every file with its checksum.
checksums() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 sha256sum && find . | sort); }
checksums "$root" >"$work/root_before.txt"

home=$work/home
elsewhere=$work/elsewhere
mkdir -p "$home" "$elsewhere"
cd "$elsewhere" || fail "no working directory"
start_game env -u HOLLOWMERE_DATA HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
  XDG_DATA_HOME="$home/data" "$root/usr/bin/hollowmere"
grep -qF "Game data: $data (installed beside the program)." "$log" || fail "the log does not name the installed data"

reach_first_level
sleep 5
take_shot
[[ -n "${INSTALLED_GAME_SHOT:-}" ]] && cp "$shot" "$INSTALLED_GAME_SHOT"
quit_with_key Escape
if grep -E "\[(error|critical)\]" "$log"; then fail "error lines in the log"; fi
grep -E "Game data|Player's files|First start|graphics quality|Graphics quality" "$log"

# --- Where the files went ----------------------------------------------------------------------

checksums "$root" >"$work/root_after.txt"
diff "$work/root_before.txt" "$work/root_after.txt" || fail "the installed files changed"
[[ -z $(ls -A "$elsewhere") ]] || fail "files appeared in the working directory: $(ls -A "$elsewhere")"
unexpected=$(cd "$work" && find . -mindepth 1 -maxdepth 1 ! -name home ! -name root ! -name elsewhere \
  ! -name package ! -name game.log ! -name shot.png ! -name cpack.log ! -name lintian.log \
  ! -name root_before.txt ! -name root_after.txt)
[[ -z $unexpected ]] || fail "unexpected files beside the home: $unexpected"

settings=$home/config/hollowmere/settings.ini
[[ -f $settings ]] || fail "no settings file in the player's config folder"
grep -qx "quality = low" "$settings" || fail "the player's settings do not hold quality = low"
cached=$(find "$home/cache/hollowmere" -name '*.dat' | wc -l)
((cached > 0)) || fail "no physics cache in the player's cache folder"
# The OpenGL driver keeps its own shader cache in the user's cache folder too.
outside=$(cd "$home" && find . -type f ! -path './config/hollowmere/*' ! -path './cache/hollowmere/*' \
  ! -path './data/hollowmere/*' ! -path './cache/mesa_shader_cache/*')
[[ -z $outside ]] || fail "files outside the game's folders of the home: $outside"
echo "player's files: $(cd "$home" && find . -type f | sort | head -n 5 | tr '\n' ' ')... ($cached cached shapes)"
echo "installed_game: ok"
