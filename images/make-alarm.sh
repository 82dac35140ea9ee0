#!/bin/sh
# Makes Alarm.wav, the console's alarm: a two-tone siren of about one second
# (four 0.25 s tones, 960 Hz and 640 Hz), 16-bit mono 22050 Hz, that loops
# without a click. Needs sox. Run from any folder; writes beside this script.
set -e
cd "$(dirname "$0")"
sox -n -r 22050 -b 16 -c 1 Alarm.wav \
    synth 0.25 sine 960 fade q 0.01 0.25 0.01 : \
    synth 0.25 sine 640 fade q 0.01 0.25 0.01 : \
    synth 0.25 sine 960 fade q 0.01 0.25 0.01 : \
    synth 0.25 sine 640 fade q 0.01 0.25 0.01 \
    gain -3
