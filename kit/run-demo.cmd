@echo off
rem run-demo.cmd - draws the CellAttr demo on this console: the stand-in
rem command processor runs demo\demo.btm with the plugin, which paints rows
rem of colours, reads them back with @CELLATTR and prints what it read, and
rem at its end the picture of the console's window is written as an SVG
rem file (open it in a browser: hovering over a cell shows what @CELLATTR
rem reads there).  It tests nothing and counts nothing: run-tests.cmd does.
rem
rem   run-demo.cmd [PICTURE.svg]     screen.svg in the kit's folder unless given
rem
rem It paints in a screen buffer of its own, so this console keeps what it
rem showed, and where the console refuses the demo's window of 80 x 12 cells
rem (a pseudoconsole keeps the terminal's size) it draws the window it has.
rem Prints what the demo printed and the picture's full name, and exits
rem with 0 when the picture was written, with 1 otherwise, saying why.  The
rem demo starts through timelimit.exe, which ends it after five minutes and
rem keeps the system's error boxes away.  Started by a double-click in
rem Explorer, it waits for a key at its end.
setlocal EnableExtensions DisableDelayedExpansion
set "ERRORLEVEL="
set "RANDOM="
set "CMDCMDLINE="
set "kit=%~dp0"
set "programs=%kit%stand-in-host\"
set "picture=%kit%screen.svg"
if not "%~1"=="" set "picture=%~f1"

rem As run-tests.cmd tells Explorer's start: cmd.exe /c ""PATH" ".
set "self=%~f0"
set "line=#%cmdcmdline:"=%"
if defined CELLATTR_TEST_CMDCMDLINE set "line=#%CELLATTR_TEST_CMDCMDLINE:"=%"
set "line=%line:"=%"
set "explorer=no"
if /i "%line%"=="#%ComSpec% /c %self% " set "explorer=yes"
if /i "%line%"=="#%SystemRoot%\System32\cmd.exe /c %self% " set "explorer=yes"

set /a status=1
if exist "%programs%cmdproc.exe" if exist "%programs%timelimit.exe" goto :programs_found
echo run-demo: stand-in-host\cmdproc.exe or timelimit.exe is missing: unpack the whole zip into a folder first, then run run-demo.cmd there.
goto :finish
:programs_found
if not exist "%kit%demo\demo.btm" (
    echo run-demo: demo\demo.btm is missing beside run-demo.cmd: unpack the whole zip into a folder first.
    goto :finish
)
if not defined TEMP goto :nowork
set "work=%TEMP%\cellattr-demo-%RANDOM%-%RANDOM%"
if exist "%work%" goto :nowork
md "%work%" >nul 2>&1
if not exist "%work%\" goto :nowork

rem The demo's snap writes screen.svg into the folder it runs in: this one.
pushd "%work%"
"%programs%timelimit.exe" 300 "%programs%cmdproc.exe" /s /w /o "%work%\output.txt" /e "%work%\output.txt" "%kit%demo\demo.btm"
set "rc=%errorlevel%"
popd
if exist "%work%\output.txt" type "%work%\output.txt"
echo:
if not "%rc%"=="0" (
    echo run-demo: the demo ended with exit code %rc%, and drew no picture.
    goto :clean
)
if not exist "%work%\screen.svg" (
    echo run-demo: the demo drew no picture.
    goto :clean
)
del "%picture%" >nul 2>&1
(call )
copy /y "%work%\screen.svg" "%picture%" >nul 2>&1
if errorlevel 1 (
    echo run-demo: cannot write the picture to "%picture%".
    goto :clean
)
if not exist "%picture%" (
    echo run-demo: cannot write the picture to "%picture%".
    goto :clean
)
echo run-demo: the picture of this console is in "%picture%"
set /a status=0
:clean
rd /s /q "%work%" >nul 2>&1
goto :finish

:nowork
echo run-demo: cannot make a new folder to run the demo in under TEMP ("%TEMP%").

:finish
if "%explorer%"=="yes" (
    echo run-demo: press a key to close this window.
    pause >nul
)
exit /b %status%
