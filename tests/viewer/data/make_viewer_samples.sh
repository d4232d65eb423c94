#!/usr/bin/env bash
# Regenerates the viewer's own test stream with Debian's ffmpeg. The output is committed, so
# builds, tests and benchmarks never need ffmpeg; run this only to change it.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# 48 kHz 5.1 at 448 kbps, 1 s: 32 frames of 1792 bytes (frmsizecod 30). The benchmarks repeat
# its frames into large files.
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*523*t)|0.3*sin(2*PI*659*t)|0.3*sin(2*PI*50*t)|0.2*sin(2*PI*880*t)|0.2*sin(2*PI*1046*t):s=48000:c=5.1:d=1" \
  -c:a ac3 -fflags +bitexact -flags:a +bitexact -b:a 448k -f ac3 "$here/ac3_48k_51_448k.ac3"

# E-AC-3 at 44.1 kHz stereo, 192 kbps, 1 s: 29 frames of 834 or 836 bytes (the encoder
# alternates to keep the bit rate), numblkscod 3.
ffmpeg -hide_banner -loglevel error -y -f lavfi \
  -i "anoisesrc=color=pink:amplitude=0.2:seed=11:sample_rate=44100:duration=1,aformat=channel_layouts=stereo" \
  -c:a eac3 -fflags +bitexact -flags:a +bitexact -b:a 192k -f eac3 "$here/eac3_44k_stereo.eac3"

ls -l "$here"/*.ac3 "$here"/*.eac3
