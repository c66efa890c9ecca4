#!/usr/bin/env bash
# What ReplayGain values cost: results.sh's 64 tagged FLAC files (20 s each, one album) converted
# to MP3 with `lame -V 2` through orvel's engine on two slots, with track and album values off
# and on, alternating in one run. Prints each time and the ratio on / off (target: at most
# 1.03), and the ratio of the processor time spent, which the load of other programs does not
# move.
#
#   bench/replaygain.sh [ROUNDS] [FILES] [SECONDS]   (defaults 2, 64, 20; PRESET=debug to reuse
#                                                     a debug build)
set -euo pipefail
WHAT=replaygain exec bash "$(dirname "${BASH_SOURCE[0]}")/results.sh" "$@"
