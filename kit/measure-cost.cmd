@echo off
rem measure-cost.cmd - what @CELLATTR costs on this console beyond the
rem console calls that reading the same cells needs, as README.txt tells:
rem stand-in-host\cellattr-kit.exe runs console_cost.exe and says how it ended.
rem   measure-cost.cmd [ROUNDS] [/summary FILE]
rem Extensions on (this file's own folder needs them) and "!" a plain
rem character in a path, whatever the registry sets for cmd.exe.
setlocal EnableExtensions DisableDelayedExpansion
if exist "%~dp0stand-in-host\cellattr-kit.exe" goto :run
echo measure-cost: there is no stand-in-host folder beside measure-cost.cmd, so nothing can run: unpack the whole zip into a folder first, then run measure-cost.cmd there.
"%SystemRoot%\System32\timeout.exe" /t 60 >nul 2>&1
exit /b 1
:run
"%~dp0stand-in-host\cellattr-kit.exe" measure-cost %*
