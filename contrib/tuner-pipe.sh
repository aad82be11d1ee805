#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# Checks a tuner server's stream as it arrives: curl fetches URL for
# SECONDS (default 60) and tsvigil reads it from standard input ("-"),
# writing its JSON Lines to OUT (default: standard output).
#
#   tuner-pipe.sh http://localhost:40772/api/channels/GR/27/stream 30 gr27.json
#
# CURL and TSVIGIL name the programs when they are not curl and tsvigil on PATH.
set -u
[ $# -ge 1 ] || { echo "usage: tuner-pipe.sh URL [SECONDS [OUT]]" >&2; exit 2; }
url=$1
seconds=${2:-60}
if [ $# -ge 3 ]; then
    "${CURL:-curl}" -sS --max-time "$seconds" -- "$url" | "${TSVIGIL:-tsvigil}" -q --json -o "$3" -
else
    "${CURL:-curl}" -sS --max-time "$seconds" -- "$url" | "${TSVIGIL:-tsvigil}" -q --json -
fi
