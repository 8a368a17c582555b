@echo off
rem run-demo.cmd - draws the CellAttr demo on this console and keeps its
rem picture, as README.txt tells: stand-in-host\cellattr-kit.exe runs the
rem demo in the stand-in command processor.
rem   run-demo.cmd [PICTURE.svg]     screen.svg in the kit's folder unless given
rem Extensions on (this file's own folder needs them) and "!" a plain
rem character in a path, whatever the registry sets for cmd.exe.
setlocal EnableExtensions DisableDelayedExpansion
if exist "%~dp0stand-in-host\cellattr-kit.exe" goto :run
echo run-demo: there is no stand-in-host folder beside run-demo.cmd, so nothing can run: unpack the whole zip into a folder first, then run run-demo.cmd there.
"%SystemRoot%\System32\timeout.exe" /t 60 >nul 2>&1
exit /b 1
:run
"%~dp0stand-in-host\cellattr-kit.exe" run-demo %*
