@echo off
rem run-tests.cmd - runs every suite of the CellAttr test kit on this console,
rem as README.txt tells: stand-in-host\cellattr-kit.exe does all of it.
rem Extensions on (this file's own folder needs them) and "!" a plain
rem character in a path, whatever the registry sets for cmd.exe.
setlocal EnableExtensions DisableDelayedExpansion
if exist "%~dp0stand-in-host\cellattr-kit.exe" goto :run
echo run-tests: there is no stand-in-host folder beside run-tests.cmd, so nothing can run: unpack the whole zip into a folder first, then run run-tests.cmd there.
rem Double-clicked in Explorer's view of the zip, this file is taken out
rem alone, into a window that closes at its end: a minute to read it.
rem Windows' own timeout, not another that PATH may name first (Git's).
"%SystemRoot%\System32\timeout.exe" /t 60 >nul 2>&1
exit /b 1
:run
"%~dp0stand-in-host\cellattr-kit.exe" run-tests %*
