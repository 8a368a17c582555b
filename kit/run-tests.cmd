@echo off
rem run-tests.cmd - runs every suite of the CellAttr test kit on this console:
rem the plugin on a real console screen buffer (with the tokenizer, number
rem and error-report cases), its entry points and its help box (a real
rem window, closed again by the test), the plugin in a process without a
rem console, and the end to end batch files in the stand-in command
rem processor.  Starts with a line saying which console it runs in (a
rem classic console window, or a pseudoconsole as Windows Terminal gives)
rem and on which version of Windows, ends with one line "N passed, M
rem failed", or "N passed, M failed, K skipped" when tests were skipped, and
rem exits with 1 when anything failed.
rem
rem   run-tests.cmd [/expect classic^|pseudoconsole] [/summary FILE]
rem
rem /expect says which console the run must have, for a run that is to
rem prove something (CI's): in another console it runs nothing and fails.
rem Under /expect classic a skipped test is a failure, since a classic
rem console window refuses nothing the tests need; under /expect
rem pseudoconsole tests may be skipped, each with its reason.  Either way a
rem run in which nothing passed fails.  /summary appends to FILE, in
rem Markdown, the first line, the closing line and exit code, what failed,
rem each skipped test's reason and each finding (CI points it at the job's
rem summary).
rem
rem It counts only what it has seen, as README.txt says: every test listed
rem must be reported as passed, failed or skipped, and a suite that cannot
rem report, or that does not end within its time limit, counts as one
rem failure, with one line saying why.  What the user's environment holds
rem changes none of that: GoogleTest's own settings (GTEST_*, and those it
rem takes from Bazel) are cleared for the run, and so is any variable named
rem as cmd's dynamic ERRORLEVEL, RANDOM, CD or CMDCMDLINE, which would stand
rem in for them.  (CELLATTR_TEST_* are for tools/kit-test.sh alone, as the
rem programs that read them say.)
rem
rem One run at a time for each user: a run holds %TEMP%\cellattr-kit.lock
rem open while it runs, and a second run says so in one line and exits with
rem 1.  Each run keeps its logs in a folder of its own under %TEMP%, each
rem suite in logs of its own, read through a copy once its program has
rem ended; the folder goes at the end.
rem
rem Started by a double-click in Explorer, in a window that closes when it
rem ends, it waits for a key at its end and says so; started any other way
rem it does not wait.
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
set "ERRORLEVEL="
set "RANDOM="
set "CD="
set "CMDCMDLINE="
set "kit=%~dp0"
set "programs=%kit%stand-in-host\"
set /a passed=0, failed=0, skipped=0, suite=0
rem Windows' own find, not another one that PATH may name first (Git's, say).
set find="%SystemRoot%\System32\find.exe"
rem Each suite's time limit, in seconds; CELLATTR_TEST_TIME_LIMIT may only
rem make it shorter, for tools/kit-test.sh.
set /a limit=300
set /a short=0
if defined CELLATTR_TEST_TIME_LIMIT set /a short=CELLATTR_TEST_TIME_LIMIT 2>nul
if %short% geq 1 if %short% lss %limit% set /a limit=short

rem Explorer starts a batch file as cmd.exe /c ""PATH" ", which cmd shows as
rem %%cmdcmdline%%; without its quotes that is "CMD /c PATH " (they are taken
rem away first, so that nothing in the path meets the parser outside them,
rem and the "#" keeps the value defined where there is none).  Wine's cmd
rem has no %%cmdcmdline%%: tools/kit-test.sh gives one in a variable of its
rem own.
set "self=%~f0"
set "line=#%cmdcmdline:"=%"
if defined CELLATTR_TEST_CMDCMDLINE set "line=#%CELLATTR_TEST_CMDCMDLINE:"=%"
set "line=%line:"=%"
set "explorer=no"
if /i "%line%"=="#%ComSpec% /c %self% " set "explorer=yes"
if /i "%line%"=="#%SystemRoot%\System32\cmd.exe /c %self% " set "explorer=yes"

rem The arguments, by shift: call's would expand a %% in a path again.
set "expect="
set "summary="
set "said="
:arguments
if "%~1"=="" goto :arguments_read
if /i "%~1"=="/expect" goto :expect_argument
if /i "%~1"=="/summary" goto :summary_argument
goto :usage
:expect_argument
set "expect="
if /i "%~2"=="classic" set "expect=classic"
if /i "%~2"=="pseudoconsole" set "expect=pseudoconsole"
if not defined expect goto :usage
shift
shift
goto :arguments
:summary_argument
if "%~2"=="" goto :usage
set "summary=%~f2"
shift
shift
goto :arguments
:usage
echo run-tests: usage: run-tests.cmd [/expect classic^|pseudoconsole] [/summary FILE]
set /a status=1
goto :finish
:arguments_read

rem Double-clicked in Explorer's view of the zip, this file is extracted to
rem a folder of its own, without the programs.
if exist "%programs%" goto :programs_found
set "said=run-tests: there is no stand-in-host folder beside run-tests.cmd, so nothing can run: unpack the whole zip into a folder first, then run run-tests.cmd there."
echo %said%
set /a status=1
goto :finish
:programs_found
rem Windows looks for a program's DLLs along a list of folders separated by
rem ";", so a program in a folder whose name has one cannot load TakeCmd.dll.
if not "%kit:;=%"=="%kit%" goto :semicolon
if not defined TEMP goto :nologs
if not exist "%TEMP%\" goto :nologs

rem The lock: cmd opens the file of a redirection for this process alone,
rem until the call returns or the process ends, however it ends.  The run's
rem standard error goes there (the programs' goes to their logs), and is
rem shown at its end; where another run holds the file, the redirection
rem fails, and its complaint goes to the nul of the call around it.
set "lock=%TEMP%\cellattr-kit.lock"
set "held="
call :locked 2>nul
set /a status=%errorlevel%
if not defined held goto :busy
type "%lock%" 1>&2
goto :finish

:busy
set "said=run-tests: another run of the kit is in progress for this user, holding "%lock%": run it again when that one has ended."
echo %said%
set /a status=1
goto :finish

:semicolon
set "said=run-tests: the kit's folder name has a ";", and Windows cannot load the test programs' DLLs from such a folder: unpack the kit into a folder without ";" in its name."
echo %said%
echo %passed% passed, 1 failed
set /a status=1
goto :finish

:nologs
call :say_nologs
set /a status=1
goto :finish

rem Every way out: a window that Explorer opened closes when this ends.  A
rem run that ended before its suites tells the summary the one line it said.
:finish
if not defined summary goto :told
if not defined said goto :told
>>"%summary%" echo ### run-tests.cmd
>>"%summary%" echo:
>>"%summary%" echo %said% Exit code %status%.
>>"%summary%" echo:
:told
if "%explorer%"=="yes" (
    echo run-tests: press a key to close this window.
    pause >nul
)
exit /b %status%

:say_nologs
set "said=run-tests: cannot make a new folder for the logs under TEMP ("%TEMP%")."
echo %said%
echo %passed% passed, 1 failed
goto :eof

:locked
call :run 2>"%lock%"
goto :eof

rem :run - the run itself, holding the lock; exits with 1 when anything
rem failed.
:run
set "held=yes"
set /a tries=0
:newlogs
set /a tries+=1
if %tries% gtr 100 (
    call :say_nologs
    exit /b 1
)
set "logs=%TEMP%\cellattr-kit-%RANDOM%-%RANDOM%"
if exist "%logs%" goto :newlogs
(call )
md "%logs%" >nul 2>&1
if errorlevel 1 goto :newlogs
if not exist "%logs%\" goto :newlogs

rem GoogleTest reads these from the environment; tools/kit-test.sh asks
rem for reports through a variable of its own.  Every variable is looked
rem at by its name, the text before its first "=".  (The routine stands
rem just after the loop, where a call finds it at once: Wine's cmd.exe
rem looks for a label from the line of the call on.)
set >"%logs%\environment.txt" 2>nul
for /f "usebackq delims==" %%V in ("%logs%\environment.txt") do (
    set "name=%%V"
    call :clear_setting
)
goto :settings_cleared
rem :clear_setting - %name% goes when it is one of GoogleTest's.
:clear_setting
if /i "%name:~0,6%"=="GTEST_" set "%name%="
if /i "%name:~0,11%"=="TESTBRIDGE_" set "%name%="
goto :eof
:settings_cleared
set "XML_OUTPUT_FILE="
set "TEST_PREMATURE_EXIT_FILE="
if defined CELLATTR_TEST_GTEST_OUTPUT set "GTEST_OUTPUT=%CELLATTR_TEST_GTEST_OUTPUT%"

rem Which console this is, by the class of its window, and which Windows.
set "console=a console that stand-in-host\pseudoconsole.exe could not name"
"%programs%timelimit.exe" 60 "%programs%pseudoconsole.exe" /which >"%logs%\console.txt" 2>nul
if exist "%logs%\console.txt" for /f "usebackq delims=" %%C in ("%logs%\console.txt") do set "console=%%C"
echo run-tests: running in %console%
rem What the summary gathers as the suites run: what failed, each skip's
rem reason and each finding, as the kit and the programs said them.
type nul >"%logs%\failures.txt"
type nul >"%logs%\reasons.txt"
type nul >"%logs%\findings.txt"

rem The console /expect asks for, told by the start of the first line (its
rem quotes taken away, so that they meet no parser).
set "kind=#%console:"=%"
set "wanted="
if "%expect%"=="classic" if not "%kind:~0,25%"=="#a classic console window" set "wanted=a classic console window"
if "%expect%"=="pseudoconsole" if not "%kind:~0,16%"=="#a pseudoconsole" set "wanted=a pseudoconsole"
if defined wanted goto :wrong_console

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

echo:
if %skipped% gtr 0 echo run-tests: this console refused what %skipped% tests need, each as said above. A classic console window allows it: to run them too, type conhost.exe in the Run box, Windows+R, and run run-tests.cmd in the window that opens.
set /a reasons=0
for /f "usebackq delims=" %%L in ("%logs%\reasons.txt") do set /a reasons+=1
if not defined expect goto :close
rem What /expect asks of the run, each not met a failure of its own.
set "unmet="
if "%expect%"=="classic" if %skipped% gtr 0 set "unmet=/expect classic allows no skipped test, and this run skipped %skipped%: a classic console window refuses nothing that the tests need"
if "%expect%"=="pseudoconsole" if not %reasons% equ %skipped% set "unmet=/expect pseudoconsole allows a skipped test only with its reason, and this run skipped %skipped%, of which %reasons% said why"
if defined unmet call :unmet
set "unmet="
if %passed% equ 0 set "unmet=no test passed"
if defined unmet call :unmet
goto :close

:wrong_console
set "unmet=/expect %expect% wants %wanted%, and this is %console%; nothing was run"
call :unmet

rem The closing line, the summary, and the logs' folder, which goes when
rem nothing holds a file in it any more.
:close
call :closing_line
if not defined summary goto :closed
call :summarize
if exist "%summary%" goto :closed
set "unmet=cannot write the summary to "%summary%""
call :unmet
call :closing_line
:closed
rd /s /q "%logs%" >nul 2>&1
echo %closing%
exit /b %status%

:closing_line
set "closing=%passed% passed, %failed% failed"
if %skipped% gtr 0 set "closing=%closing%, %skipped% skipped"
set /a status=0
if %failed% neq 0 set /a status=1
goto :eof

:unmet
echo run-tests: %unmet%.
>>"%logs%\failures.txt" echo run-tests: %unmet%.
set /a failed+=1
goto :eof

rem :summarize - appends the run to the summary file, in Markdown; what the
rem suites printed reaches it only through type, never through a parser.
:summarize
>>"%summary%" echo ### run-tests.cmd: %console%
>>"%summary%" echo:
>>"%summary%" echo `%closing%`, exit code %status%.
>>"%summary%" echo:
set "part=What failed, as the kit said it:"
set "file=%logs%\failures.txt"
call :summarize_part
set "part=Skipped, each with its reason:"
set "file=%logs%\reasons.txt"
call :summarize_part
set "part=Findings: where this Windows and the native build's space table differ, the table is to be mended."
set "file=%logs%\findings.txt"
call :summarize_part
goto :eof

:summarize_part
set "size=0"
for %%F in ("%file%") do set "size=%%~zF"
if "%size%"=="0" goto :eof
>>"%summary%" echo %part%
>>"%summary%" echo:
>>"%summary%" echo ```text
>>"%summary%" type "%file%"
>>"%summary%" echo ```
>>"%summary%" echo:
goto :eof


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
"%programs%timelimit.exe" %limit% "%programs%%program%" --gtest_list_tests --gtest_color=no >"%list%.log" 2>&1
set "rc=%errorlevel%"
call :describe
set "log=%list%.log"
call :readable
if defined why goto :broken
if "%rc%"=="124" (
    set "why=it did not list its tests within %limit% s, and was ended"
    goto :broken
)
if not "%rc%"=="0" (
    type "%list%.txt"
    set "why=it could not start, or could not list its tests (exit code %code%)"
    goto :broken
)
rem Test names are indented by two blanks; suite names and anything else
rem the program prints are not.
for /f "usebackq delims=" %%L in ("%list%.txt") do (
    set "line=%%L"
    call :count_listed
)
goto :listed
:count_listed
if "%line:~0,2%"=="  " set /a listed+=1
goto :eof
:listed
if %listed% equ 0 (
    type "%list%.txt"
    set "why=it listed no tests"
    goto :broken
)

rem The program writes the name of the test it is in to the progress file
rem (tests/progress.h), so that one that runs out of time can be named.
set "CELLATTR_TEST_PROGRESS=%run%-progress.txt"
"%programs%timelimit.exe" %limit% "%programs%%program%" --gtest_brief=1 --gtest_color=no >"%run%.log" 2>&1
set "rc=%errorlevel%"
set "CELLATTR_TEST_PROGRESS="
call :describe
set "log=%run%.log"
call :readable
if defined why goto :broken
type "%run%.txt"
if "%rc%"=="124" goto :timedout
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
rem Any exit code but 0 is a failure, a crash's negative one too.
if "%f%"=="0" if not "%rc%"=="0" (
    set "why=it ended with exit code %code%, though it reports no failure"
    goto :broken
)
if not "%f%"=="0" if "%rc%"=="0" (
    set "why=it ended with exit code 0, though it reports %f% failed"
    goto :broken
)
set /a passed+=p
set /a failed+=f
set /a skipped+=s
%find% "skipped: " <"%run%.txt" >>"%logs%\reasons.txt"
%find% "finding: " <"%run%.txt" >>"%logs%\findings.txt"
goto :eof

rem Ended by timelimit.exe: the progress file names the test it was in, is
rem empty between tests and missing before the first.
:timedout
set "test="
if exist "%run%-progress.txt" set /p test=<"%run%-progress.txt"
set "where=before its first test began"
if exist "%run%-progress.txt" set "where=between tests, none of them running"
if defined test set "where=while running %test%"
set "why=it did not end within %limit% s, and was ended %where%"
goto :broken

:nosummary
set "why=it printed no GoogleTest summary (exit code %code%)"
:broken
echo ** %program% counts as one failure: %why%.
>>"%logs%\failures.txt" echo ** %program% counts as one failure: %why%.
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

rem :describe - %code% is %rc% as a person can read it: a code of
rem 0xC0000000 or above, which cmd shows as a negative number, in
rem hexadecimal too, and the common ones by name.
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
