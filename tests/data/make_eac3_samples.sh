#!/usr/bin/env bash
# Makes the small E-AC-3 (and one AC-3) elementary streams the analysis tests read.
# The files are committed, so neither the tests nor CI need ffmpeg; run this again only to
# remake them (Debian's ffmpeg package, lavfi sources, bit-exact output).
#
#   eac3_stereo_48k.eac3   2/0, 48 kHz, no metadata (mixmdate 0, infomdate 0)
#   eac3_51_48k_meta.eac3  3/2 + LFE, 48 kHz, downmix levels (mixmdate 1) and production
#                          information (infomdate 1)
#   eac3_stereo_44k.eac3   2/0, 44.1 kHz, surround and headphone modes (infomdate 1)
#   eac3_mono_32k.eac3     1/0, 32 kHz, mixing level and room type (infomdate 1)
#   eac3_crosscheck.ac3    AC-3 2/0, 48 kHz: the E-AC-3 detection must turn it down
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

encode() {
  local out=$1 rate=$2 layout=$3 codec=$4
  shift 4
  ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "aevalsrc=exprs='0.3*sin(2*PI*440*t)':sample_rate=${rate}:duration=1.5:channel_layout=${layout}" \
    -fflags +bitexact -flags:a +bitexact -c:a "$codec" "$@" -f "${codec}" "$out"
}

encode eac3_stereo_48k.eac3 48000 stereo eac3 -b:a 96k
encode eac3_51_48k_meta.eac3 48000 5.1 eac3 -b:a 256k -dialnorm -27 \
  -dmix_mode loro -ltrt_cmixlev 0.707 -ltrt_surmixlev 0.5 -loro_cmixlev 0.595 -loro_surmixlev 0.5 \
  -mixing_level 105 -room_type small -dsurex_mode on -copyright 1 -original 0 -ad_conv_type hdcd
encode eac3_stereo_44k.eac3 44100 stereo eac3 -b:a 96k -dsur_mode on -dheadphone_mode off
encode eac3_mono_32k.eac3 32000 mono eac3 -b:a 48k -mixing_level 90 -room_type large
encode eac3_crosscheck.ac3 48000 stereo ac3 -b:a 96k

ls -l eac3_*
