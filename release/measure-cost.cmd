@echo off
rem measure-cost.cmd - what @CELLATTR costs on this console, beyond the
rem console calls that reading the same cells needs: for 1 cell and for
rem 1024 colour names, the medians in microseconds of (a) the plugin's
rem f_cellattr and (b) the bare console calls (open CONOUT$, read the screen
rem buffer's layout, read the attributes, close), and their ratio a/b, after
rem a line naming the console it ran in.  It enforces no target: the figures
rem are the console's.  It exits with 0 when every call succeeded, and with 1
rem otherwise, saying why: any exit code of the program but 0, a crash's
rem negative one too.
rem
rem   measure-cost.cmd [ROUNDS]      2001 rounds unless given
rem
rem It measures in a screen buffer of its own, so this console keeps what it
rem showed; the program and the DLLs it loads stay in stand-in-host.
rem Started by a double-click in Explorer, it waits for a key at its end.
setlocal EnableExtensions DisableDelayedExpansion
rem An environment variable of that name would stand in for cmd's own.
set "ERRORLEVEL="
set "programs=%~dp0stand-in-host\"

rem As run-tests.cmd tells Explorer's start: cmd.exe /c ""PATH" ".
set "self=%~f0"
set "line=#%cmdcmdline:"=%"
set "line=%line:"=%"
set "explorer=no"
if /i "%line%"=="#%ComSpec% /c %self% " set "explorer=yes"
if /i "%line%"=="#%SystemRoot%\System32\cmd.exe /c %self% " set "explorer=yes"

set /a status=1
if not exist "%programs%console_cost.exe" (
    echo measure-cost: console_cost.exe is missing from stand-in-host: unpack the whole zip into a folder first, then run measure-cost.cmd there.
    goto :finish
)
"%programs%console_cost.exe" %1
set "rc=%errorlevel%"
if "%rc%"=="0" (
    set /a status=0
    goto :finish
)
call :describe
echo measure-cost: console_cost.exe ended with exit code %code%

:finish
if "%explorer%"=="yes" (
    echo measure-cost: press a key to close this window.
    pause >nul
)
exit /b %status%

rem :describe - %code% is %rc% as a person can read it, as run-tests.cmd
rem tells it.
:describe
set "code=%rc%"
if %rc% geq 0 goto :eof
if %rc% lss -1073741824 goto :eof
set "hex="
set /a "n=rc"
for /l %%i in (1,1,8) do call :hexdigit
set "code=%rc% (0x%hex%)"
if "%hex%"=="C0000005" set "code=%rc% (0xC0000005, an access violation)"
if "%hex%"=="C00000FD" set "code=%rc% (0xC00000FD, a stack overflow)"
if "%hex%"=="C0000135" set "code=%rc% (0xC0000135, a DLL not found)"
if "%hex%"=="C0000139" set "code=%rc% (0xC0000139, an entry point not found)"
if "%hex%"=="C0000142" set "code=%rc% (0xC0000142, a DLL that failed to start)"
if "%hex%"=="C000013A" set "code=%rc% (0xC000013A, ended by Ctrl+C)"
if "%hex%"=="C0000409" set "code=%rc% (0xC0000409, a failed security check)"
goto :eof

:hexdigit
set /a "d=n&15, n>>=4"
set "digits=0123456789ABCDEF"
call set "hex=%%digits:~%d%,1%%%hex%"
goto :eof
