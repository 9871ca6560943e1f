#!/usr/bin/env bash
# Damaged game data: runs the real game once per damaged file and prints a table of outcomes.
#
#   tools/damaged_data.sh [GAME_BINARY] [FILTER]
#
# Each case copies GAME_DATA into a scratch folder, damages one file - cut to half its size, overwritten with random
# bytes of the same size, or removed - and plays the game there under Xvfb: the menu, START, the
# level map, the first level's sign, a second and a half of the level (everything it reads is read
# while it loads), then SIGTERM. The player's saved progress is part of the sweep: every case has a
# data folder of its own (XDG_DATA_HOME) holding a good progress file, data/hollowmere/progress.ini,
# which is damaged like the rest in its own cases.
# The physics cache files are made by one clean run first and damaged like the rest. Frame
# sequences are represented by one frame each; dotfiles and notes (*.md, *.txt) are not read by
# the game and are left out. FILTER (a regular expression) limits the sweep to matching paths.
# HM_KEEP_LOGS=DIR keeps the log of every case that is not ok or fatal.
#
# Two kinds of rows follow the data files. The replays folder: the game plays with a file where its
# replays folder should be (ok: it runs to the end and warns, naming the folder). A replay file:
# a recorded play (tests/game/golden/replays) damaged the same three ways and played with
# hollowmere-sim --replay from the game binary's folder (ok: refused with exit status 1 and a
# message naming the file; a damage the reader cannot see must still end with "replay:").
#
# The game runs in a 400x400 window at medium quality (see make_data); a damaged settings file
# is the shipped one, damaged. Most of a case is the menu's camera flight before START can be
# clicked; start the sweep with nice -n 19 so that it takes only an idle core.
#
# Outcome per case:
#   ok        the game ran to the end (exit 0) and a log line names the damaged file
#   fatal     exit status 1 after a critical (or, for fonts, error) line naming the file: the
#             described fatal exits
#   SILENT    the game ran or ended without any log line naming the file
#   CRASH     killed by a signal or any other exit status
#   HANG      did not end within 15 s of SIGTERM, or no window within 60 s
# The script exits non-zero when any case is SILENT, CRASH or HANG.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
game=$(realpath "${1:-build/release/hollowmere}")
filter=${2:-.}
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
sim=$(dirname "$game")/hollowmere-sim

scratch=$(mktemp -d /tmp/hm_damaged.XXXXXX)
xvfb_pid=
game_pid=
cleanup() {
  [[ -n "$game_pid" ]] && kill -9 "$game_pid" 2>/dev/null
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
trap "exit 143" TERM INT HUP
# The game records every level it plays: keep its replays in the scratch folder.
export XDG_DATA_HOME=$scratch/userdata

if [[ -z "${DISPLAY:-}" ]]; then
  for n in $(seq 90 140); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$n"
    sleep 2
    kill -0 "$xvfb_pid" 2>/dev/null && break
    xvfb_pid=
  done
  [[ -n "$xvfb_pid" ]] || { echo "no Xvfb display could be started" >&2; exit 2; }
fi

# A fresh copy of the data (real copies: links would lead folder scans back to the undamaged
# files, and the game's own writes must stay in the scratch folder).
make_data() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -r "$root/GAME_DATA" "$dir/GAME_DATA"
  # A small window at medium quality: the same files are read as at the default size and quality
  # (the same shader files, maps and models), for a quarter of the drawing work, which is what
  # paces the menu's camera flight on a busy machine.
  sed -i -E 's/^(width|height) *=.*/\1 = 400/; s/^;? *quality *=.*/quality = medium/' "$dir/GAME_DATA/settings.ini"
  mkdir -p "$dir/data/hollowmere"
  printf '[progress]\nversion = 1\n[level Vezaz]\nstars = 2\nlives = 6\n[end]\n' >"$dir/data/hollowmere/progress.ini"
  if [[ -d "$scratch/cache" ]]; then
    rm -rf "$dir/GAME_DATA/physx_buffer"
    cp -r "$scratch/cache" "$dir/GAME_DATA/physx_buffer"
  fi
}

# Plays one run in folder $1, log in $1/log, the player's files in $2 (default $1/data); sets
# status and how.
play() {
  local dir=$1 data_home=${2:-$1/data}
  status= how=
  (cd "$dir" && XDG_DATA_HOME="$data_home" exec "$game" >"$dir/log" 2>&1) &
  game_pid=$!
  local wid=
  for _ in $(seq 1 300); do
    kill -0 "$game_pid" 2>/dev/null || break
    wid=$(xdotool search --onlyvisible --name '^Wardens of Hollowmere$' 2>/dev/null | head -n 1)
    [[ -n "$wid" ]] && break
    sleep 0.2
  done
  if [[ -n "$wid" ]]; then
    # START opens the level map; the first level's sign there starts the level. Click each until
    # it has done so. START sits at (230, 385) of an 800x800 window, the first level's sign at
    # (400, 212); both move with the window's size.
    local width=800 height=800
    eval "$(xdotool getwindowgeometry --shell "$wid" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=[0-9]+$' |
      sed 's/WIDTH/width/; s/HEIGHT/height/')"
    for _ in $(seq 1 240); do
      kill -0 "$game_pid" 2>/dev/null || break
      grep -q "Starting gameloop of scene Vezaz" "$dir/log" && break
      if grep -q "The level map is open" "$dir/log"; then
        xdotool mousemove --window "$wid" $((400 * width / 800)) $((212 * height / 800)) click 1 2>/dev/null
      else
        xdotool mousemove --window "$wid" $((230 * width / 800)) $((385 * height / 800)) click 1 2>/dev/null
      fi
      sleep 0.5
    done
    if kill -0 "$game_pid" 2>/dev/null && grep -q "Starting gameloop of scene Vezaz" "$dir/log"; then
      sleep 1.5
    fi
  fi
  if kill -0 "$game_pid" 2>/dev/null; then
    if [[ -z "$wid" ]]; then how=nowindow; fi
    kill -TERM "$game_pid" 2>/dev/null
    for _ in $(seq 1 75); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.2; done
    if kill -0 "$game_pid" 2>/dev/null; then
      kill -9 "$game_pid" 2>/dev/null
      how=hang
    fi
  fi
  wait "$game_pid" 2>/dev/null
  status=$?
  game_pid=
}

# One clean run makes the physics cache that the cache cases then damage.
make_data "$scratch/clean"
play "$scratch/clean"
if [[ $status -ne 0 ]] || ! grep -q "Starting gameloop of scene Vezaz" "$scratch/clean/log"; then
  echo "the game does not run on undamaged data (status $status):" >&2
  tail -n 20 "$scratch/clean/log" >&2
  exit 2
fi
cp -r "$scratch/clean/GAME_DATA/physx_buffer" "$scratch/cache"

# Log lines without their time stamp and colours, and with the case's folder written as DIR, so
# that a line every run prints (the progress read, say) is the same in every case.
messages() { sed -E "s/\x1b\[[0-9;]*m//g; s/^\[[^]]*\] //; s#$scratch/[a-z]+/#DIR/#g" "$1"; }

# A second clean run, with the cache, gives the lines every run prints: such a line (an optional
# map that this data never had, say) names a file or folder without saying anything about damage.
make_data "$scratch/baseline"
play "$scratch/baseline"
messages "$scratch/baseline/log" | sort -u >"$scratch/baseline.lines"

# Every file the game reads; one frame of each frame sequence.
mapfile -t files < <(
  cd "$scratch/clean" &&
    find GAME_DATA -type f ! -name '.*' ! -name '*.md' ! -name '*.txt' ! -name '*.tmp*' |
    awk -F/ '{ folder = $0; sub(/\/[^\/]*$/, "", folder) }
             /\/(towercards\/[A-Z]+|tv)\/frame_[0-9]+\.png$/ { if (seen[folder]++) next; }
             { print }' | sort
  echo data/hollowmere/progress.ini
)
mapfile -t files < <(printf '%s\n' "${files[@]}" | grep -E -- "$filter")

printf '| file | damage | outcome | exit | first line naming it |\n|---|---|---|---|---|\n'
bad=0
started=$SECONDS
for file in "${files[@]}"; do
  for damage in truncated random missing; do
    dir=$scratch/case
    make_data "$dir"
    target=$dir/$file
    # The shipped file where there is one (the settings, not the sweep's smaller window), else the
    # cache file of the clean run.
    source=$root/$file
    [[ -f "$source" ]] || source=$scratch/clean/$file
    size=$(stat -L -c %s "$source")
    rm -f "$target"
    case $damage in
      truncated) head -c $((size / 2)) "$source" >"$target" ;;
      random) head -c "$size" /dev/urandom >"$target" ;;
      missing) ;;
    esac
    play "$dir"
    # The file is named by its file name, or by what the game calls it: a sound by its short
    # name, a shader by its program name, a frame or a PBR map found by scanning by its folder.
    base=$(basename "$file")
    stem=${base%.*}
    folder=$(dirname "${file#GAME_DATA/}")
    folder=${folder#textures/}
    line=$(messages "$dir/log" | grep -v "Reading shader file" | grep -vxF -f "$scratch/baseline.lines" |
      grep -F -e "$base" -e "GAME_DATA/textures/$folder" -e "video $folder " -e "shader $stem" -e "shader program $stem" \
        -e "name $stem" -e "name ${stem%%_*}" -e "sound ${stem%%_*} " | head -n 1 |
      sed -E 's/\|/\\|/g' | cut -c1-150)
    if [[ "$how" == hang || "$how" == nowindow ]]; then
      outcome=HANG
    elif [[ $status -eq 0 ]]; then
      [[ -n "$line" ]] && outcome=ok || outcome=SILENT
    elif [[ $status -eq 1 ]]; then
      # Fatal: a critical line, or the error line of a font or sound library failure, naming the file.
      if messages "$dir/log" | grep -qE "^\[(critical|error)\]" && [[ -n "$line" ]]; then outcome=fatal; else outcome=SILENT; fi
    else
      outcome=CRASH
    fi
    [[ $outcome == ok || $outcome == fatal ]] || bad=$((bad + 1))
    printf '| %s | %s | %s | %s | %s |\n' "${file#GAME_DATA/}" "$damage" "$outcome" "$status" "$line"
    if [[ $outcome != ok && $outcome != fatal && -n "${HM_KEEP_LOGS:-}" ]]; then
      cp "$dir/log" "$HM_KEEP_LOGS/$(echo "${file#GAME_DATA/}" | tr / _).$damage.log"
    fi
  done
done
cases=$((${#files[@]} * 3))

# The replays folder cannot be made: one warning naming it, and the game plays on.
if [[ replays/ =~ $filter ]]; then
  dir=$scratch/case
  make_data "$dir"
  echo "a file where the folder should be" >"$dir/userdata-blocked"
  play "$dir" "$dir/userdata-blocked"
  # messages() writes the scratch folder as DIR/.
  line=$(messages "$dir/log" | grep -F "DIR/userdata-blocked/hollowmere/replays" | head -n 1 | cut -c1-150)
  if [[ "$how" == hang || "$how" == nowindow ]]; then
    outcome=HANG
  elif [[ $status -eq 0 ]]; then
    [[ -n "$line" ]] && outcome=ok || outcome=SILENT
  else
    outcome=CRASH
  fi
  [[ $outcome == ok ]] || bad=$((bad + 1))
  cases=$((cases + 1))
  printf '| %s | %s | %s | %s | %s |\n' "replays folder" "not writable" "$outcome" "$status" "${line//|/\\|}"
fi

# A replay file, damaged, played by the simulator.
sample=$(ls "$root"/tests/game/golden/replays/*.txt 2>/dev/null | head -n 1)
if [[ replays/ =~ $filter && -x $sim && -n $sample ]]; then
  size=$(stat -c %s "$sample")
  for damage in truncated random missing; do
    target=$scratch/replay.txt
    rm -f "$target"
    case $damage in
      truncated) head -c $((size / 2)) "$sample" >"$target" ;;
      random) head -c "$size" /dev/urandom >"$target" ;;
      missing) ;;
    esac
    (cd "$root" && timeout 120 "$sim" --replay "$target") >"$scratch/replay.log" 2>&1
    status=$?
    line=$(grep -F "$target" "$scratch/replay.log" | head -n 1 | cut -c1-150)
    if [[ $status -eq 124 ]]; then
      outcome=HANG
    elif [[ $status -eq 1 ]]; then
      [[ -n "$line" ]] && outcome=ok || outcome=SILENT
    elif [[ $status -eq 0 || $status -eq 3 ]]; then
      line=$(grep "^replay:" "$scratch/replay.log" | head -n 1)
      [[ -n "$line" ]] && outcome=ok || outcome=SILENT
    else
      outcome=CRASH
    fi
    [[ $outcome == ok ]] || bad=$((bad + 1))
    cases=$((cases + 1))
    printf '| %s | %s | %s | %s | %s |\n' "replays/$(basename "$sample")" "$damage" "$outcome" "$status" \
      "$(sed -E 's/\|/\\|/g' <<<"$line")"
  done
fi

echo
echo "$cases cases, $bad not handled cleanly, $(((SECONDS - started) / 60)) min"
[[ $bad -eq 0 ]]
