#!/usr/bin/env bash
# Makes novo-pedido.wav, the new-order alert: a rising three-note chime (G5, C6, E6, each with its
# octave) of 0.75 s, 16-bit mono at 22050 Hz. Each note fades in over 12 ms and out to silence, so
# the sound neither starts nor ends with a click. Dither is off and sox's random numbers are fixed,
# so the same sox makes the same bytes. Needs sox (Debian: sox); the build uses the committed file.
set -euo pipefail
cd "$(dirname "$0")"

rate=22050
# A note of 0.45 s starting `delay` seconds in, as a sox pipe input.
note() {
  local frequency=$1 delay=$2
  local octave
  octave=$(awk -v f="$frequency" 'BEGIN { print f * 2 }')
  echo "|sox -D -R -n -r $rate -c 1 -p synth 0.45 sine $frequency sine mix $octave fade h 0.012 0.45 0.40 pad $delay"
}

sox -D -R -m "$(note 784 0)" "$(note 1046.5 0.15)" "$(note 1318.5 0.30)" \
  -b 16 -e signed-integer novo-pedido.wav norm -3
