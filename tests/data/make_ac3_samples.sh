#!/usr/bin/env bash
# Regenerates the AC-3 test streams in tests/data and the bundled samples/sample.ac3 with
# Debian's ffmpeg. The outputs are committed, so builds and CI never need ffmpeg; run this only
# to change them. The header values the tests expect are the ones set below.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)

encode() {  # encode OUTPUT LAVFI-SOURCE ENCODER-OPTIONS...
  local out=$1 src=$2
  shift 2
  ffmpeg -hide_banner -loglevel error -y -f lavfi -i "$src" \
    -c:a ac3 -fflags +bitexact -flags:a +bitexact "$@" -f ac3 "$out"
}

# 48 kHz 5.1 at 384 kbps, 2 s: acmod 7, lfeon 1, cmixlev 0, surmixlev 1, dialnorm 27,
# audprodie 1 with mixlevel 25 and roomtyp 1, copyrightb 1, origbs 1; 1536-byte frames.
encode "$here/ac3_48k_51.ac3" \
  "aevalsrc=0.3*sin(2*PI*440*t)|0.3*sin(2*PI*554*t)|0.3*sin(2*PI*659*t)|0.3*sin(2*PI*60*t)|0.2*sin(2*PI*880*t)|0.2*sin(2*PI*1108*t):s=48000:c=5.1:d=2" \
  -b:a 384k -center_mixlev 0.707 -surround_mixlev 0.5 -dialnorm -27 \
  -mixing_level 105 -room_type large -copyright 1 -original 1

# 44.1 kHz stereo noise at 128 kbps, 3 s: acmod 2, dsurmod 2; frames alternate between
# 556 and 558 bytes (frmsizecod 16 and 17).
encode "$here/ac3_44k_stereo.ac3" \
  "anoisesrc=color=pink:amplitude=0.2:seed=7:sample_rate=44100:duration=3,aformat=channel_layouts=stereo" \
  -b:a 128k -dsur_mode on -dialnorm -24 -copyright 0 -original 1

# 32 kHz mono sine at 64 kbps, 3 s: acmod 1, lfeon 0, dialnorm 20; 384-byte frames.
encode "$here/ac3_32k_mono.ac3" \
  "sine=frequency=1000:sample_rate=32000:duration=3" \
  -b:a 64k -dialnorm -20 -copyright 0 -original 0

# The bundled sample: 5 s of 48 kHz 5.1 at 384 kbps.
encode "$top/samples/sample.ac3" \
  "aevalsrc=0.3*sin(2*PI*330*t)|0.3*sin(2*PI*392*t)|0.3*sin(2*PI*494*t)|0.3*sin(2*PI*55*t)|0.2*sin(2*PI*660*t)|0.2*sin(2*PI*784*t):s=48000:c=5.1:d=5" \
  -b:a 384k -dialnorm -27

ls -l "$here"/*.ac3 "$top/samples/sample.ac3"
