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
rem   measure-cost.cmd [ROUNDS] [/summary FILE]
rem
rem 2001 rounds unless given.  /summary appends the figures to FILE as a
rem Markdown table, or the line that says why there are none.
rem
rem It measures in a screen buffer of its own, so this console keeps what it
rem showed; the program and the DLLs it loads stay in stand-in-host, and it
rem starts through timelimit.exe, which ends it after 15 minutes and keeps
rem the system's error boxes away.  Started by a double-click in Explorer,
rem it waits for a key at its end.
setlocal EnableExtensions DisableDelayedExpansion
rem Variables of these names would stand in for cmd's own.
set "ERRORLEVEL="
set "CMDCMDLINE="
set "programs=%~dp0stand-in-host\"

rem As run-tests.cmd tells Explorer's start: cmd.exe /c ""PATH" ".
set "self=%~f0"
set "line=#%cmdcmdline:"=%"
if defined CELLATTR_TEST_CMDCMDLINE set "line=#%CELLATTR_TEST_CMDCMDLINE:"=%"
set "line=%line:"=%"
set "explorer=no"
if /i "%line%"=="#%ComSpec% /c %self% " set "explorer=yes"
if /i "%line%"=="#%SystemRoot%\System32\cmd.exe /c %self% " set "explorer=yes"

set /a status=1
set "rounds="
set "summary="
set "said="
:arguments
if "%~1"=="" goto :arguments_read
if /i "%~1"=="/summary" goto :summary_argument
if defined rounds goto :usage
set "rounds=%~1"
shift
goto :arguments
:summary_argument
if "%~2"=="" goto :usage
set "summary=%~f2"
shift
shift
goto :arguments
:usage
echo measure-cost: usage: measure-cost.cmd [ROUNDS] [/summary FILE]
goto :finish
:arguments_read
rem A plain decimal number: set /a gives it back unchanged.
if not defined rounds set "rounds=2001"
set "n=" & set /a n=rounds 2>nul
if not "%n%"=="%rounds%" goto :usage

if exist "%programs%console_cost.exe" if exist "%programs%timelimit.exe" goto :measure
set "said=measure-cost: console_cost.exe or timelimit.exe is missing from stand-in-host: unpack the whole zip into a folder first, then run measure-cost.cmd there."
echo %said%
goto :finish

:measure
set /a limit=900
if defined summary (
    "%programs%timelimit.exe" %limit% "%programs%console_cost.exe" %rounds% /summary "%summary%"
) else (
    "%programs%timelimit.exe" %limit% "%programs%console_cost.exe" %rounds%
)
set "rc=%errorlevel%"
if "%rc%"=="0" (
    set /a status=0
    goto :finish
)
call :describe
set "said=measure-cost: console_cost.exe ended with exit code %code%"
if "%rc%"=="124" set "said=measure-cost: console_cost.exe did not end within %limit% s, and was ended"
echo %said%

:finish
if not defined summary goto :told
if not defined said goto :told
>>"%summary%" echo ### measure-cost.cmd
>>"%summary%" echo:
>>"%summary%" echo %said%, exit code %status%.
>>"%summary%" echo:
:told
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
