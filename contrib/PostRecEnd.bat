@echo off
rem SPDX-License-Identifier: BSD-2-Clause
rem tsvigil after each recording, for a Windows recorder's post-recording
rem batch file. Writes FILE.tsvigil.json and FILE.tsvigil.html beside the
rem recording in one pass, and appends the verdict line to tsvigil.log in
rem the recording's folder.
rem
rem The recording's path: the first argument (a recorder that expands a
rem macro: PostRecEnd.bat "$FilePath$"), else the FilePath environment
rem variable (a recorder that sets it, as with its environment option).
rem TSVIGIL names the program when it is not tsvigil.exe on PATH or beside
rem this file.
setlocal
set "rec=%~1"
if "%rec%"=="" set "rec=%FilePath%"
if "%rec%"=="" (
  echo PostRecEnd.bat: no recording given ^(argument or FilePath^) 1>&2
  exit /b 2
)
if "%TSVIGIL%"=="" (
  if exist "%~dp0tsvigil.exe" (set "TSVIGIL=%~dp0tsvigil.exe") else set "TSVIGIL=tsvigil.exe"
)
for %%F in ("%rec%") do set "dir=%%~dpF"
"%TSVIGIL%" -q --json -o "%rec%.tsvigil.json" --html "%rec%.tsvigil.html" --verdict -- "%rec%" >>"%dir%tsvigil.log"
rem The exit status, highest first: "if errorlevel N" holds for N and above.
if errorlevel 3 (
  rem 3: the recording is not ok (damaged, scrambled, gap, unreadable...).
  exit /b 3
)
if errorlevel 2 (
  rem 2: a wrong command line.
  exit /b 2
)
if errorlevel 1 (
  rem 1: a report could not be written (a full disk, a folder without write permission).
  exit /b 1
)
exit /b 0
