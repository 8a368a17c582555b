@echo off
rem measure-cost.cmd - what @CELLATTR costs on this console beyond the
rem console calls that reading the same cells needs, as README.txt tells:
rem stand-in-host\cellattr-kit.exe runs console_cost.exe and says how it ended.
rem   measure-cost.cmd [ROUNDS] [/summary FILE]
if exist "%~dp0stand-in-host\cellattr-kit.exe" goto :run
echo measure-cost: there is no stand-in-host folder beside measure-cost.cmd, so nothing can run: unpack the whole zip into a folder first, then run measure-cost.cmd there.
timeout /t 60 >nul 2>&1
exit /b 1
:run
"%~dp0stand-in-host\cellattr-kit.exe" measure-cost %*
