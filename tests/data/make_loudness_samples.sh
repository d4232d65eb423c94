#!/usr/bin/env bash
# Regenerates the loudness test streams in tests/data/loudness with Debian's ffmpeg: 1 kHz sines
# of known amplitude, so that their BS.1770 loudness and true peak follow from the amplitudes
# alone. The outputs are committed, so builds and tests never need ffmpeg; run this only to
# change them. What the tests expect is written beside each stream below.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/loudness
mkdir -p "$here"

encode() {  # encode OUTPUT CODEC LAVFI-SOURCE ENCODER-OPTIONS...
  local out=$1 codec=$2 src=$3
  shift 3
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$src" \
    -c:a "$codec" -fflags +bitexact -flags:a +bitexact "$@" -f "$codec" "$out"
}
sine() { echo "$1*sin(2*PI*1000*t)"; }

# A 1 kHz sine of peak 0.1 (-20 dBFS) on each channel of a stereo stream reads -20.0 LKFS, as
# BS.1770 calibrates it; true peak -20.0 dBTP; dialnorm 20 matches it.
encode "$here/sine_2_0.ac3" ac3 "aevalsrc=$(sine 0.1)|$(sine 0.1):s=48000:c=stereo:d=3" -b:a 96k -dialnorm -20

# 1/0, peak 0.1: -23.0 LKFS (one channel of weight 1); dialnorm 27 is 4 dB off.
encode "$here/sine_1_0.ac3" ac3 "aevalsrc=$(sine 0.1):s=48000:c=mono:d=3" -b:a 64k -dialnorm -27

# 3/2 without LFE, a peak per channel: L 0.10, R 0.05, C 0.08, Ls 0.04, Rs 0.06. The surrounds
# weigh 1.41: 10 log10((0.01 + 0.0025 + 0.0064 + 1.41 * (0.0016 + 0.0036)) / 2) = -18.82 LKFS.
encode "$here/sine_3_2.ac3" ac3 \
  "aevalsrc=$(sine 0.10)|$(sine 0.05)|$(sine 0.08)|$(sine 0.04)|$(sine 0.06):s=48000:c=5.0:d=3" -b:a 192k -dialnorm -19

# The same with an LFE channel of a 60 Hz sine of peak 0.5, which the measurement leaves out
# (-18.82 LKFS still) and the true peak does not (-6.0 dBTP on LFE).
encode "$here/sine_3_2_lfe.ac3" ac3 \
  "aevalsrc=$(sine 0.10)|$(sine 0.05)|$(sine 0.08)|0.5*sin(2*PI*60*t)|$(sine 0.04)|$(sine 0.06):s=48000:c=5.1:d=3" \
  -b:a 192k -dialnorm -19

# E-AC-3 stereo, peak 0.1 on both channels: -20.0 LKFS as the AC-3 one.
encode "$here/sine_2_0.eac3" eac3 "aevalsrc=$(sine 0.1)|$(sine 0.1):s=48000:c=stereo:d=3" -b:a 96k -dialnorm -20

# Silence: every block below the absolute gate, so the measurement gives no loudness and no
# verdict (dialnorm --match-loudness refuses to set one).
encode "$here/silence_2_0.ac3" ac3 "aevalsrc=0|0:s=48000:c=stereo:d=1" -b:a 64k -dialnorm -24

ls -l "$here"
