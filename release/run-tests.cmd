@echo off
rem run-tests.cmd - runs every suite of the CellAttr test kit on this console:
rem the plugin on a real console screen buffer (with the tokenizer, number
rem and error-report cases), its entry points and its help box (a real
rem window, closed again by the test), the plugin in a process without a
rem console, and the end to end batch files in the stand-in command
rem processor.  Ends with one line "N passed, M failed" and exits with 1 when
rem anything failed.
rem
rem The suites that paint and resize the console do it in a screen buffer of
rem their own and then switch back, so this console keeps what it showed.
rem The programs and the stand-in TakeCmd.dll they need stay in the folder
rem stand-in-host; nothing is copied anywhere.
setlocal EnableExtensions DisableDelayedExpansion
set "kit=%~dp0"
set "programs=%kit%stand-in-host"
set "log=%TEMP%\cellattr-kit-%RANDOM%%RANDOM%.log"
set /a passed=0
set /a failed=0

call :suite "the plugin on this console; tokenizer, numbers, error reports" "%programs%\cellattr_tests.exe"
call :suite "entry points, version resource and the help box" "%programs%\cellattr_plugin_tests.exe"
call :suite "the plugin in a process without a console" "%programs%\cellattr_detached_tests.exe"
call :suite "end to end batch files in the stand-in command processor" "%programs%\cellattr_e2e_tests.exe" "%kit%e2e"

if exist "%log%" del "%log%"
echo.
echo %passed% passed, %failed% failed
if %failed% neq 0 exit /b 1
exit /b 0

rem :suite TITLE PROGRAM [FOLDER] - runs one test program, shows what it
rem said, and adds its counts: the numbers on its "[  PASSED  ] N tests." and
rem "[  FAILED  ] N tests, listed below:" lines.  A program that ends badly
rem without a count of failures (it did not start, or it crashed) counts as
rem one failure.
:suite
echo == %~1
"%~2" %3 --gtest_brief=1 > "%log%" 2>&1
set "rc=%errorlevel%"
type "%log%"
set "p=0"
set "f="
for /f "usebackq tokens=1-5" %%a in ("%log%") do (
    if "%%a %%b %%c"=="[ PASSED ]" set "p=%%d"
    if "%%a %%b %%c %%e"=="[ FAILED ] tests," set "f=%%d"
    if "%%a %%b %%c %%e"=="[ FAILED ] test," set "f=%%d"
)
if not defined f if not "%rc%"=="0" set "f=1"
if not defined f set "f=0"
set /a passed+=p
set /a failed+=f
goto :eof
