#!/bin/sh
# SPDX-License-Identifier: BSD-2-Clause
# tsvigil after each EDCB recording, as a post-recording script of its
# UNIX port. Writes FILE.tsvigil.json and FILE.tsvigil.html beside the
# recording, or in the folder given as the second argument, and appends the
# verdict line to tsvigil.log in that folder.
#
# The recording's path: the first argument, else the FilePath environment
# variable. EDCB's batch files on Windows see the recorded file's path as
# FilePath; whether the UNIX port's scripts get the same variable, and
# under which hook name they are run, could not be checked against EDCB's
# documentation here: where FilePath is not set, have the script called
# with the path as its first argument.
#
# TSVIGIL names the program when it is not tsvigil on PATH.
set -u
rec=${1:-${FilePath:-}}
[ -n "$rec" ] || { echo "edcb-postrec.sh: no recording given (argument or FilePath)" >&2; exit 2; }
case $rec in -*) rec=./$rec ;; esac
dir=${2:-$(dirname -- "$rec")}
name=$(basename -- "$rec")
mkdir -p -- "$dir" || exit 1
"${TSVIGIL:-tsvigil}" -q --json -o "$dir/$name.tsvigil.json" --html "$dir/$name.tsvigil.html" --verdict -- "$rec" \
    >>"$dir/tsvigil.log"
