#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# tsvigil after each EPGStation recording, as its recordingFinishCommand.
# EPGStation runs the command without a shell, gives the recording's path
# in RECPATH and discards what the command prints, so everything goes to
# files: RECPATH.tsvigil.json and RECPATH.tsvigil.html beside the recording,
# or in the folder given as the first argument, and the verdict line is
# appended to tsvigil.log in that folder. One pass over the recording.
#
#   recordingFinishCommand: '/usr/local/share/tsvigil/contrib/epgstation-finish.sh'
#
# (make install puts the scripts in PREFIX/share/tsvigil/contrib.)
#
# TSVIGIL names the program when it is not tsvigil on PATH.
set -u
rec=${RECPATH:-}
[ -n "$rec" ] || { echo "epgstation-finish.sh: RECPATH is not set" >&2; exit 2; }
case $rec in -*) rec=./$rec ;; esac
dir=${1:-$(dirname -- "$rec")}
name=$(basename -- "$rec")
mkdir -p -- "$dir" || exit 1
"${TSVIGIL:-tsvigil}" -q --json -o "$dir/$name.tsvigil.json" --html "$dir/$name.tsvigil.html" --verdict -- "$rec" \
    >>"$dir/tsvigil.log"
