# SPDX-License-Identifier: BSD-2-Clause
# tsvigil after each recording, in PowerShell: the same as PostRecEnd.bat.
# Writes FILE.tsvigil.json and FILE.tsvigil.html beside the recording in one
# pass, and appends the verdict line to tsvigil.log in its folder.
#   powershell -NoProfile -ExecutionPolicy Bypass -File PostRecEnd.ps1 "$FilePath$"
# Without an argument the path is taken from the FilePath environment
# variable. $env:TSVIGIL names the program when it is not tsvigil.exe on
# PATH or beside this file.
param([string]$Recording = $env:FilePath)
if (-not $Recording) {
    [Console]::Error.WriteLine('PostRecEnd.ps1: no recording given (argument or FilePath)')
    exit 2
}
$tsvigil = $env:TSVIGIL
if (-not $tsvigil) {
    $beside = Join-Path $PSScriptRoot 'tsvigil.exe'
    $tsvigil = if (Test-Path -LiteralPath $beside) { $beside } else { 'tsvigil.exe' }
}
$log = Join-Path ([System.IO.Path]::GetDirectoryName($Recording)) 'tsvigil.log'
# --utf8: the verdict line in UTF-8, as PowerShell reads it with
# [Console]::OutputEncoding set so.
[Console]::OutputEncoding = [System.Text.Encoding]::UTF8
$line = & $tsvigil -q --utf8 --json -o "$Recording.tsvigil.json" --html "$Recording.tsvigil.html" --verdict -- $Recording
$status = $LASTEXITCODE
# One line, appended in UTF-8 (PowerShell 5's Add-Content would write the
# ANSI code page otherwise).
[System.IO.File]::AppendAllText($log, (($line -join "`r`n") + "`r`n"), [System.Text.UTF8Encoding]::new($false))
# 0 ok, 3 not ok (damaged, scrambled, gap, unreadable...), 2 a wrong command
# line, 1 a report that could not be written.
exit $status
