@echo off
rem run-tests.cmd - runs every suite of the CellAttr test kit on this console:
rem the plugin on a real console screen buffer (with the tokenizer, number
rem and error-report cases), its entry points and its help box (a real
rem window, closed again by the test), the plugin in a process without a
rem console, and the end to end batch files in the stand-in command
rem processor.  Starts with a line saying which console it runs in (a
rem classic console window, or a pseudoconsole as Windows Terminal gives),
rem ends with one line "N passed, M failed", or "N passed, M failed, K
rem skipped" when tests were skipped, and exits with 1 when anything failed.
rem
rem It counts only what it has seen, as README.txt says: every test listed
rem must be reported as passed, failed or skipped, and a suite that cannot
rem report counts as one failure, with one line saying why.  Each run keeps
rem its logs in a folder of its own under %TEMP%, new for the run, each suite
rem in logs of its own, read through a copy once its program has ended.
rem
rem Paths reach commands only through variables expanded once, inside
rem quotes, never through call's arguments (which expand %% a second time and
rem double carets), so the kit's folder may have blanks, letters outside
rem ASCII and any of & ( ) %% ! ^ ' + = , [ ] { } ~ in its name.
rem
rem The suites that paint and resize the console do it in a screen buffer of
rem their own and then switch back, so this console keeps what it showed.
rem The programs and the stand-in TakeCmd.dll they need stay in the folder
rem stand-in-host; nothing is copied anywhere but the logs.
setlocal EnableExtensions DisableDelayedExpansion
set "kit=%~dp0"
set "programs=%kit%stand-in-host\"
set /a passed=0, failed=0, skipped=0, suite=0
rem Windows' own find, not another one that PATH may name first (Git's, say).
set find="%SystemRoot%\System32\find.exe"

rem Windows looks for a program's DLLs along a list of folders separated by
rem ";", so a program in a folder whose name has one cannot load TakeCmd.dll.
if not "%kit:;=%"=="%kit%" goto :semicolon

if not defined TEMP goto :nologs
set /a tries=0
:newlogs
set /a tries+=1
if %tries% gtr 100 goto :nologs
set "logs=%TEMP%\cellattr-kit-%RANDOM%-%RANDOM%"
if exist "%logs%" goto :newlogs
md "%logs%" >nul 2>&1
if not exist "%logs%\" goto :newlogs

rem Which console this is, by the class of its window.
set "console=a console that stand-in-host\pseudoconsole.exe could not name"
"%programs%pseudoconsole.exe" /which >"%logs%\console.txt" 2>nul
if exist "%logs%\console.txt" for /f "usebackq delims=" %%C in ("%logs%\console.txt") do set "console=%%C"
echo run-tests: running in %console%

set "title=the plugin on this console; tokenizer, numbers, error reports"
set "program=cellattr_tests.exe"
call :suite
set "title=entry points, version resource and the help box"
set "program=cellattr_plugin_tests.exe"
call :suite
set "title=the plugin in a process without a console"
set "program=cellattr_detached_tests.exe"
call :suite
set "title=end to end batch files in the stand-in command processor"
set "program=cellattr_e2e_tests.exe"
call :suite

rem Whatever still holds a log keeps it; the folder goes when it can.
rd /s /q "%logs%" >nul 2>&1
echo.
set "closing=%passed% passed, %failed% failed"
if %skipped% equ 0 goto :closing
echo run-tests: this console refused what %skipped% tests need, each as said above. A classic console window allows it: to run them too, type conhost.exe in the Run box, Windows+R, and run run-tests.cmd in the window that opens.
set "closing=%closing%, %skipped% skipped"
:closing
echo %closing%
if %failed% neq 0 exit /b 1
exit /b 0

:semicolon
echo run-tests: the kit's folder name has a ";", and Windows cannot load the test programs' DLLs from such a folder: unpack the kit into a folder without ";" in its name.
echo %passed% passed, 1 failed
exit /b 1

:nologs
echo run-tests: cannot make a new folder for the logs under TEMP ("%TEMP%").
echo %passed% passed, 1 failed
exit /b 1

rem :suite - runs the program named by %program% in stand-in-host under the
rem heading %title%, shows what it printed and adds its counts to the totals.
rem The end to end program finds its cases in the kit's e2e folder itself.
:suite
set /a suite+=1
set "list=%logs%\%suite%-list"
set "run=%logs%\%suite%-run"
set "why="
set /a listed=0
set "ran="
set "p="
set "f="
set "s="
echo == %title%

if not exist "%programs%%program%" (
    set "why=it is missing from stand-in-host"
    goto :broken
)
rem Without colour, whatever GTEST_COLOR says: GoogleTest's colour sequences
rem would stand in front of the lines that are counted below.
"%programs%%program%" --gtest_list_tests --gtest_color=no >"%list%.log" 2>&1
set "rc=%errorlevel%"
set "log=%list%.log"
call :readable
if defined why goto :broken
if not "%rc%"=="0" (
    type "%list%.txt"
    set "why=it could not start, or could not list its tests (exit code %rc%)"
    goto :broken
)
rem Test names are indented by two blanks; suite names and anything else
rem the program prints are not.
for /f "usebackq delims=" %%L in ("%list%.txt") do (
    set "line=%%L"
    call :count_listed
)
if %listed% equ 0 (
    type "%list%.txt"
    set "why=it listed no tests"
    goto :broken
)

"%programs%%program%" --gtest_brief=1 --gtest_color=no >"%run%.log" 2>&1
set "rc=%errorlevel%"
set "log=%run%.log"
call :readable
if defined why goto :broken
type "%run%.txt"
rem Only the summary's own lines are parsed, so that nothing a test prints
rem (quotes, say) reaches the parsing.  find picks them out, and for /f cuts
rem each into its first five blank-separated words, %%a to %%e (the blanks
rem inside "[  PASSED  ]" separate words too).  The lines, and the words
rem that tell them apart:
rem   "[==========] 44 tests from 11 test suites ran. (124 ms total)"
rem       %%a is [==========] and %%d "from": R, the tests that ran, is %%b.
rem       (The line that starts a run, "[==========] Running 44 tests from
rem       11 test suites.", has "tests" in %%d.)
rem   "[  PASSED  ] 43 tests."             %%a %%b %%c "[ PASSED ]": P is %%d
rem   "[  SKIPPED ] 1 test, listed below:" (or "1 test.", "2 tests.", "2
rem       tests, listed below:")            %%a %%b %%c "[ SKIPPED ]", %%e
rem       "test." "tests." "test," or "tests,": K is %%d.  The lines that
rem       name each skipped test ("[  SKIPPED ] Suite.Name") end in no such
rem       word.
rem   "[  FAILED  ] 2 tests, listed below:" (or "1 test, ...")
rem                                         %%a %%b %%c "[ FAILED ]", %%e
rem       "test," or "tests,": F is %%d; each failed test's own line
rem       ("[  FAILED  ] Suite.Name") ends in no such word.
%find% "[==========] " <"%run%.txt" >"%run%-summary.txt"
%find% "[  PASSED  ] " <"%run%.txt" >>"%run%-summary.txt"
%find% "[  SKIPPED ] " <"%run%.txt" >>"%run%-summary.txt"
%find% ", listed below:" <"%run%.txt" >>"%run%-summary.txt"
for /f "usebackq tokens=1-5" %%a in ("%run%-summary.txt") do (
    if "%%a"=="[==========]" if "%%d"=="from" set "ran=%%b"
    if "%%a %%b %%c"=="[ PASSED ]" set "p=%%d"
    if "%%a %%b %%c %%e"=="[ SKIPPED ] tests." set "s=%%d"
    if "%%a %%b %%c %%e"=="[ SKIPPED ] test." set "s=%%d"
    if "%%a %%b %%c %%e"=="[ SKIPPED ] tests," set "s=%%d"
    if "%%a %%b %%c %%e"=="[ SKIPPED ] test," set "s=%%d"
    if "%%a %%b %%c %%e"=="[ FAILED ] tests," set "f=%%d"
    if "%%a %%b %%c %%e"=="[ FAILED ] test," set "f=%%d"
)
if not defined ran goto :nosummary
if not defined p goto :nosummary
rem Each count must be a plain decimal number: set /a gives it back unchanged.
set "n=" & set /a n=ran 2>nul
if not "%n%"=="%ran%" goto :nosummary
set "n=" & set /a n=p 2>nul
if not "%n%"=="%p%" goto :nosummary
if defined f (set "n=" & set /a n=f 2>nul) else (set "n=")
if not "%n%"=="%f%" goto :nosummary
if defined s (set "n=" & set /a n=s 2>nul) else (set "n=")
if not "%n%"=="%s%" goto :nosummary
rem GoogleTest prints the skipped count only when tests were skipped.
if not defined s set "s=0"
rem Under --gtest_brief=1 GoogleTest leaves out the failure count: then it
rem is what ran and neither passed nor was skipped, which cannot be less
rem than none.
if not defined f set /a f=ran-p-s
if %f% lss 0 goto :nosummary
set /a reported=p+f+s
if not "%reported%"=="%listed%" (
    set "why=it reports %reported% tests (%p% passed, %f% failed, %s% skipped), but lists %listed%"
    goto :broken
)
if not "%ran%"=="%listed%" (
    set "why=it reports that %ran% tests ran, but lists %listed%"
    goto :broken
)
if "%f%"=="0" if not "%rc%"=="0" (
    set "why=it ended with exit code %rc%, though it reports no failure"
    goto :broken
)
if not "%f%"=="0" if "%rc%"=="0" (
    set "why=it ended with exit code 0, though it reports %f% failed"
    goto :broken
)
set /a passed+=p
set /a failed+=f
set /a skipped+=s
goto :eof

:nosummary
set "why=it printed no GoogleTest summary (exit code %rc%)"
:broken
echo ** %program% counts as one failure: %why%.
set /a failed+=1
goto :eof

rem :readable - %log% must exist and be readable, or %why% says which it is
rem not.  It is read through a copy (%log% with .txt for .log), taken now
rem that its program has ended, which nothing else holds open.
:readable
if not exist "%log%" (
    set "why=its log could not be written"
    echo    log: "%log%"
    goto :eof
)
copy /y "%log%" "%log:~0,-4%.txt" >nul 2>&1
if not exist "%log:~0,-4%.txt" (
    set "why=its log could not be read"
    echo    log: "%log%"
)
goto :eof

:count_listed
if "%line:~0,2%"=="  " set /a listed+=1
goto :eof
