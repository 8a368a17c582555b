@echo off
rem measure-cost.cmd - what @CELLATTR costs on this console, beyond the
rem console calls that reading the same cells needs: for 1 cell and for
rem 1024 colour names, the medians in microseconds of (a) the plugin's
rem f_cellattr and (b) the bare console calls (open CONOUT$, read the screen
rem buffer's layout, read the attributes, close), and their ratio a/b, after
rem a line naming the console it ran in.  It enforces no target: the figures
rem are the console's.  It exits with 0 when every call succeeded, and with 1
rem otherwise, saying why.
rem
rem   measure-cost.cmd [ROUNDS]      2001 rounds unless given
rem
rem It measures in a screen buffer of its own, so this console keeps what it
rem showed; the program and the DLLs it loads stay in stand-in-host.
setlocal EnableExtensions DisableDelayedExpansion
set "programs=%~dp0stand-in-host\"
if not exist "%programs%console_cost.exe" (
    echo measure-cost: console_cost.exe is missing from stand-in-host
    exit /b 1
)
"%programs%console_cost.exe" %1
if errorlevel 1 exit /b 1
exit /b 0
