#!/bin/sh
# Synthesises every sound effect of GAME_DATA/sounds with SoX.
#
#   tools/data/make_sounds.sh
#
# Run from anywhere; it works in the repository root. Installs SoX with apt-get when it is missing
# (needs root for that). SoX runs in repeatable mode (-R: fixed noise seed) without dither (-D), so a
# rerun reproduces the committed files byte for byte.
#
# The game finds a sound by the part of its file name before the first underscore: construction_01.wav
# is the sound "construction". Every effect is mono, 22.05 kHz, 16-bit WAV, a second or two at most.
set -eu
cd "$(dirname "$0")/../.."

if ! command -v sox >/dev/null 2>&1; then
    echo "installing: sox"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q sox
fi

out=GAME_DATA/sounds
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
rm -f "$out"/*.wav "$out"/*.ogg
mkdir -p "$out"

fmt="-r 22050 -c 1 -b 16"
sx() { sox -R -D -V1 "$@"; }

# Stone grinding over stone while a tower rises: a low rumble that swells and fades, rough grit on
# top and a few heavy knocks as blocks settle.
sx -n $fmt "$tmp/rumble.wav" synth 1.8 brownnoise lowpass 180 tremolo 7 60 gain -3
sx -n $fmt "$tmp/grit.wav" synth 1.8 pinknoise band 900 600 tremolo 13 90 gain -16
sx -n $fmt "$tmp/knock.wav" synth 0.12 sine 70 fade q 0.002 0.12 0.1 pad 0.35 1.33
sx -m "$tmp/rumble.wav" "$tmp/grit.wav" "$tmp/knock.wav" $fmt "$tmp/c.wav"
sx "$tmp/c.wav" $fmt "$out/construction_01.wav" fade h 0.25 1.8 0.6 norm -4

# Drawing a bow: the string creaks as its pitch rises under tension.
sx -n $fmt "$tmp/draw.wav" synth 0.45 sawtooth 90:160 tremolo 31 40 lowpass 1400 highpass 80
sx -n $fmt "$tmp/creak.wav" synth 0.45 pinknoise band 2200 500 tremolo 23 80 gain -12
sx -m "$tmp/draw.wav" "$tmp/creak.wav" $fmt "$out/TowerArrowCharge_01.wav" fade h 0.08 0.45 0.1 norm -6

# Loosing an arrow: a plucked twang and the rush of air behind it.
sx -n $fmt "$tmp/twang.wav" synth 0.4 pluck 196 pluck 294 fade q 0.002 0.4 0.35 gain -2
sx -n $fmt "$tmp/whoosh.wav" synth 0.4 pinknoise band 2400 1600 fade h 0.05 0.4 0.25 gain -8
sx -m "$tmp/twang.wav" "$tmp/whoosh.wav" $fmt "$out/ProjectileArrowShoot_01.wav" norm -4

# An arrow striking stone: a short dull thud with a woody click.
sx -n $fmt "$tmp/thud.wav" synth 0.22 sine 140:60 fade q 0.001 0.22 0.2
sx -n $fmt "$tmp/tick.wav" synth 0.03 brownnoise highpass 1500 fade q 0.001 0.03 0.025 pad 0 0.19
sx -m "$tmp/thud.wav" "$tmp/tick.wav" $fmt "$out/ProjectileArrowHit_01.wav" norm -5

# A cannon readied: the fuse sizzles and a low tone builds.
sx -n $fmt "$tmp/fuse.wav" synth 0.7 whitenoise highpass 3000 tremolo 45 70 gain -10
sx -n $fmt "$tmp/build.wav" synth 0.7 sine 55:110 fade h 0.6 0.7 0.05 gain -6
sx -m "$tmp/fuse.wav" "$tmp/build.wav" $fmt "$out/TowerCannonCharge_01.wav" fade h 0.1 0.7 0.08 norm -7

# The cannon fires: a sharp crack into a deep boom.
sx -n $fmt "$tmp/boom.wav" synth 0.9 brownnoise lowpass 300 fade q 0.003 0.9 0.85
sx -n $fmt "$tmp/low.wav" synth 0.9 sine 75:38 fade q 0.003 0.9 0.8
sx -n $fmt "$tmp/crack.wav" synth 0.06 whitenoise fade q 0.001 0.06 0.05 pad 0 0.84 gain -6
sx -m "$tmp/boom.wav" "$tmp/low.wav" "$tmp/crack.wav" $fmt "$out/ProjectileCannonballShoot_01.wav" norm -2

# A cannonball bursts: a broad blast that rolls away, with debris rattling down.
sx -n $fmt "$tmp/blast.wav" synth 1.3 brownnoise lowpass 900 fade q 0.005 1.3 1.2
sx -n $fmt "$tmp/debris.wav" synth 1.3 pinknoise band 2500 1500 tremolo 17 80 fade h 0.15 1.3 1.0 gain -14
sx -m "$tmp/blast.wav" "$tmp/debris.wav" $fmt "$tmp/x.wav"
sx "$tmp/x.wav" $fmt "$out/ProjectileCannonballHit_01.wav" reverb 40 50 60 norm -2 trim 0 1.3 fade q 0 1.3 0.3

# A soft interface click.
sx -n $fmt "$out/UiClick_01.wav" synth 0.05 sine 1800:900 fade q 0.001 0.05 0.045 norm -8

echo "done:"
ls -l "$out"
