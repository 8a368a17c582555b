#!/usr/bin/env python3
"""workflow_dry_run.py - one job of a GitHub workflow, run under Wine as a
GitHub runner runs it on Windows.  tools/workflow-dry-run.sh starts it with
the X display and the Wine prefix; it fails closed: whatever it does not
know how to run as the runner would is a failure, never a pass.

  - `shell: cmd` steps are run as the runner runs them: "@echo off" and the
    step's text, with CRLF line ends and no byte-order mark, in a .cmd file,
    started with %ComSpec% /D /E:ON /V:OFF /S /C "CALL "FILE"" (through a
    launcher batch file, so that Wine hands cmd.exe that command line as
    written), in the workspace, standard output and error to files.
  - `env:`, `if:` and `${{ }}` (in env, with and run) are filled in as
    GitHub fills them, for the first combination of the job's matrix; any
    expression beyond
    github.workspace, matrix.*, env.*, runner.temp and always(), success(),
    failure() and cancelled() (with "!") is refused.  A step's if defaults
    to success(); a failed step fails the job, and the steps after it run
    only where their if says so.  Step and job time limits hold.
  - `uses:` steps are stood in for: actions/download-artifact puts the kit
    zip given where the artifact would go, actions/upload-artifact uploads
    nothing but fails, as if-no-files-found: error does, when a path it
    names is missing, and with --keep copies the files into a folder of
    the artifact's name there, to be looked at.
  - The one PowerShell step, unpacking the kit, is done here, exactly as it
    is written in the workflow (the text is compared): this machine has no
    PowerShell.
  - needs: and runs-on are not imitated: the kit zip is the artifact.
  - Each step gets a job summary file of its own (GITHUB_STEP_SUMMARY), and
    what the steps wrote there is printed at the end, after a line "== the
    job summary", as GitHub shows it on the run's page.

Around the job: the registry keys that the job writes are given a value and
a subkey of their own beforehand (and the debugger keys a Debugger, as on
the runner images), and every key and value of HKLM and HKCU that was there
before must be there afterwards, but the Debugger values; the job may set
values, never remove a key.  Then the step with id "checks" is run again on
doctored copies of the runs' outputs, each of which it must fail.
"""

import argparse
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import time
import zipfile

import yaml

STEP_KEYS = {"name", "id", "if", "uses", "with", "shell", "run", "env", "timeout-minutes"}
JOB_KEYS = {"name", "needs", "if", "strategy", "runs-on", "timeout-minutes", "env", "steps"}

# The unpacking step, as the dry run does it (unpack_kit below).  Any other
# text is refused, so that the imitation never drifts from the step.
UNPACK_STEP = """\
$zips = @(Get-ChildItem -Path dist -Filter 'CellAttr-*-win-x64-tests.zip')
if ($zips.Count -ne 1) { throw "expected one test kit in dist/, found $($zips.Count)" }
Expand-Archive -LiteralPath $zips[0].FullName -DestinationPath $env:KIT
"""

# Keys that the job writes or cleans, with what a runner image may have in
# them: each gets a sentinel value and subkey that must survive the job.
SENTINEL = "CellAttr dry-run sentinel"
REGISTRY_KEYS = [
    r"HKCU\Software\Microsoft\Windows\Windows Error Reporting",
    r"HKLM\SOFTWARE\Microsoft\Windows\Windows Error Reporting",
    r"HKCU\Console\%%Startup",
    r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\AeDebug",
    r"HKLM\SOFTWARE\WOW6432Node\Microsoft\Windows NT\CurrentVersion\AeDebug",
    r"HKLM\SYSTEM\CurrentControlSet\Control\Windows",
]


class DryRunError(Exception):
    """Something the dry run cannot do as the runner would: a failure."""


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def unix_path(path):
    if not re.match(r"^[Zz]:\\", path):
        raise DryRunError(f"{path} is not a path on drive Z:, which is all the dry run maps")
    return path[2:].replace("\\", "/")


class Context:
    def __init__(self, workspace, temp, matrix):
        self.workspace = workspace
        self.temp = temp
        self.matrix = matrix
        self.env = {}
        self.failed = False

    def value(self, name):
        if name == "github.workspace":
            return windows_path(self.workspace)
        if name == "runner.temp":
            return windows_path(self.temp)
        group, _, key = name.partition(".")
        if group == "matrix" and key in self.matrix:
            return str(self.matrix[key])
        if group == "env" and key in self.env:
            return self.env[key]
        raise DryRunError(f"cannot evaluate ${{{{ {name} }}}}")

    def substitute(self, text):
        """A string with every ${{ NAME }} replaced, as GitHub does."""
        return re.sub(r"\$\{\{\s*([A-Za-z0-9_.-]+)\s*\}\}", lambda m: self.value(m.group(1)),
                      str(text))

    def condition(self, expression):
        """An if: of the few forms the dry run knows."""
        text = "success()" if expression is None else str(expression).strip()
        match = re.fullmatch(r"\$\{\{\s*(.*?)\s*\}\}", text)
        if match:
            text = match.group(1)
        negate = text.startswith("!")
        text = text.lstrip("!").strip()
        results = {"always()": True, "success()": not self.failed, "failure()": self.failed,
                   "cancelled()": False}
        if text not in results:
            raise DryRunError(f"cannot evaluate the condition {expression!r}")
        return results[text] != negate


def indent(text):
    return "".join("    " + line + "\n" for line in text.splitlines())


def crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


class Runner:
    def __init__(self, args):
        self.wine = os.environ["WINE"]
        self.work = pathlib.Path(args.work)
        self.workspace = self.work / "workspace"
        self.temp = self.work / "runner-temp"
        self.kit = pathlib.Path(args.kit).resolve()
        self.keep = pathlib.Path(args.keep) if args.keep else None
        self.workspace.mkdir()
        self.temp.mkdir()
        self.scripts = 0

    def wine_command(self, *arguments, check=True):
        """A Windows command run directly (not through cmd.exe).  Its output
        goes through a file: Wine's services, which the first command starts,
        would hold a pipe open for good."""
        with open(self.work / "command.out", "w+b") as output:
            code = subprocess.run([self.wine, *arguments], stdout=output, stderr=output,
                                  stdin=subprocess.DEVNULL).returncode
            output.seek(0)
            text = output.read().decode("utf-8", errors="replace")
        if check and code != 0:
            raise DryRunError(f"wine {' '.join(arguments)} failed: {text}")
        return text

    def summary_file(self):
        """A new, empty job summary file for a step, as the runner gives."""
        path = self.temp / f"summary-{self.scripts + 1}.md"
        path.write_bytes(b"")
        return path

    def run_cmd(self, script, env, timeout):
        """A cmd step, as the runner runs it: returns (exit code, output)."""
        self.scripts += 1
        step = self.temp / f"step-{self.scripts}.cmd"
        step.write_bytes(crlf("@echo off\n" + script).encode("utf-8"))
        launcher = self.temp / f"launch-{self.scripts}.cmd"
        launcher.write_bytes(crlf(
            f'@"%ComSpec%" /D /E:ON /V:OFF /S /C "CALL "{windows_path(step)}""\n'
            "@exit /b %errorlevel%\n").encode("ascii"))
        out, err = self.temp / f"step-{self.scripts}.out", self.temp / f"step-{self.scripts}.err"
        # On a terminal, so that the step has a console, as on a runner.
        command = (f"cd {shlex.quote(str(self.workspace))} && exec timeout -k 10 {int(timeout)} "
                   f"{shlex.quote(self.wine)} cmd.exe /c {shlex.quote(windows_path(launcher))} "
                   f">{shlex.quote(str(out))} 2>{shlex.quote(str(err))}")
        # script(1) now and then fails to start its command at all, before
        # the shell has made the output file: that is this machine's fault,
        # not the step's, so it is said and tried once more.
        note = ""
        for attempt in (1, 2):
            started = subprocess.run(["script", "-qec", command, "/dev/null"], env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.PIPE)
            rc = started.returncode
            if out.exists():
                break
            said = started.stderr.decode("utf-8", errors="replace").strip() or "nothing"
            note += (f"(script(1) did not start the step, exit code {rc}, saying {said}"
                     f"{'; tried again' if attempt == 1 else ''})\n")
        output = note
        for path in (out, err):
            if path.exists():
                output += path.read_bytes().decode("utf-8", errors="replace").replace("\r", "")
        if rc == 124:
            output += f"(the step's time limit, {int(timeout)} s, ran out)\n"
        return rc, output

    def unpack_kit(self, step, env):
        if step["run"].replace("\r\n", "\n").strip() != UNPACK_STEP.strip():
            raise DryRunError("the PowerShell step is not the unpacking that the dry run "
                              "imitates (tools/workflow_dry_run.py, UNPACK_STEP)")
        zips = sorted((self.workspace / "dist").glob("CellAttr-*-win-x64-tests.zip"))
        if len(zips) != 1:
            return 1, f"expected one test kit in dist/, found {len(zips)}\n"
        destination = pathlib.Path(unix_path(env["KIT"]))
        with zipfile.ZipFile(zips[0]) as archive:
            archive.extractall(destination)
        return 0, f"done by the dry run: {zips[0].name} unpacked into {env['KIT']}\n"

    def stand_in(self, step, context):
        action = step["uses"].split("@")[0]
        given = {key: context.substitute(value) for key, value in step.get("with", {}).items()}
        if action == "actions/download-artifact":
            destination = self.workspace / given.get("path", ".")
            destination.mkdir(parents=True, exist_ok=True)
            shutil.copy(self.kit, destination / self.kit.name)
            return 0, (f"stood in for: the artifact {given.get('name')} is the kit zip given, "
                       f"put into {given.get('path', '.')}\n")
        if action == "actions/upload-artifact":
            paths = [line.strip() for line in given.get("path", "").splitlines() if line.strip()]
            missing = [path for path in paths
                       if not pathlib.Path(unix_path(path) if ":" in path
                                           else self.workspace / path).exists()]
            report = "".join(f"would upload {path}\n" for path in paths if path not in missing)
            report += "".join(f"missing: {path}\n" for path in missing)
            if self.keep is not None:
                kept = self.keep / given.get("name", "artifact")
                shutil.rmtree(kept, ignore_errors=True)
                kept.mkdir(parents=True)
                for path in paths:
                    if path not in missing:
                        source = pathlib.Path(unix_path(path) if ":" in path
                                              else self.workspace / path)
                        shutil.copy(source, kept / source.name)
                report += f"kept in {kept}\n"
            if missing and given.get("if-no-files-found", "warn") == "error":
                return 1, report + "if-no-files-found: error fails the step\n"
            return 0, report
        raise DryRunError(f"no stand-in for uses: {step['uses']}")


def export_registry(runner, name):
    """Every key of HKLM and HKCU, each with the set of its value names."""
    keys = {}
    for root in ("HKLM", "HKCU"):
        path = runner.work / f"{name}-{root}.reg"
        runner.wine_command("reg", "export", root, windows_path(path), "/y")
        text = path.read_bytes().decode("utf-16")
        key = None
        for line in text.replace("\r", "").split("\n"):
            if line.startswith("[") and line.endswith("]"):
                key = line[1:-1]
                keys[key] = set()
            elif key is not None and re.match(r'^(@|"(?:[^"\\]|\\.)*")=', line):
                keys[key].add(line.split("=", 1)[0])
    return keys


def plant_sentinels(runner):
    for key in REGISTRY_KEYS:
        runner.wine_command("reg", "add", key, "/v", SENTINEL, "/d", "kept", "/f")
        runner.wine_command("reg", "add", key + "\\" + SENTINEL, "/v", SENTINEL, "/d", "kept",
                            "/f")
        if key.endswith("AeDebug"):
            runner.wine_command("reg", "add", key, "/v", "Debugger", "/d",
                                '"C:\\debugger.exe" -p %ld -e %ld', "/f")


def registry_losses(before, after):
    losses = []
    for key, values in before.items():
        if key not in after:
            losses.append(f"the key {key} is gone")
            continue
        for value in sorted(values - after[key]):
            if not (key.endswith("\\AeDebug") and value == '"Debugger"'):
                losses.append(f"the value {value} of {key} is gone")
    return losses


def last_line(path):
    lines = [line for line in path.read_text(errors="replace").replace("\r", "").split("\n")
             if line.strip()]
    return lines[-1] if lines else ""


def challenge_checks(runner, step, env, job_env, timeout):
    """Runs the checks step on copies of the outputs: as they are, and with
    a skip and a finding where a pseudoconsole may have them, it must pass
    and write them into the job summary; doctored otherwise, it must fail.
    Returns how many runs there were, and a line for each run that went
    otherwise."""
    names = ("OUT", "PTY_OUT", "COST_OUT", "COST_PTY_OUT")
    if any(name not in job_env for name in names):
        raise DryRunError(f"the job's env must name {', '.join(names)}, which the checks read")
    originals = {name: pathlib.Path(unix_path(job_env[name])) for name in names}
    match = re.fullmatch(r"(\d+) passed, 0 failed", last_line(originals["OUT"]))
    if not match:
        raise DryRunError("the classic run did not end \"N passed, 0 failed\"")
    n = int(match.group(1))

    def first_line(name):
        return originals[name].read_text(errors="replace").replace("\r", "").split("\n")[0]

    def closing(name, text):
        def doctor(files):
            body = files[name].read_text(errors="replace").rstrip("\r\n")
            body = body[:body.rfind("\n") + 1] if "\n" in body else ""
            files[name].write_text(body + text + "\r\n")
        return doctor

    def rc(name, text):
        def doctor(files):
            rc_file = files[name].with_name(files[name].name + ".rc")
            if text is None:
                rc_file.unlink()
            else:
                rc_file.write_text(text + "\r\n")
        return doctor

    def missing(name):
        return lambda files: files[name].unlink()

    def first(name, text):
        def doctor(files):
            lines = files[name].read_text(errors="replace").split("\n", 1)
            files[name].write_text(text + "\r\n" + (lines[1] if len(lines) > 1 else ""))
        return doctor

    reason = ("ScrolledConsole.RelativeToTheCursor: the console refused a 120 x 300 screen "
              "buffer (planted by the dry run)")
    finding = ("finding: U+180E: the native space table says not space; this Windows says "
               "space (iswspace), space (GetStringTypeW)")

    def skipped_with_reason(files):
        body = files["PTY_OUT"].read_text(errors="replace").rstrip("\r\n")
        body = body[:body.rfind("\n") + 1]
        files["PTY_OUT"].write_text(
            body + "console_win_test.cpp(1): Skipped\r\n" + reason + "\r\n" + finding +
            "\r\n[  SKIPPED ] 1 test, listed below:\r\n"
            "[  SKIPPED ] ScrolledConsole.RelativeToTheCursor\r\n\r\n"
            f"{n - 1} passed, 0 failed, 1 skipped\r\n")

    # Doctored copies that must pass, and what the job summary must then hold.
    passing = [
        ("nothing (the control)", None, [f"| classic | {first_line('OUT')} | {n} passed, 0 failed | 0 |"]),
        ("a skip and a finding in the pseudoconsole, as it may have", skipped_with_reason,
         [reason, finding, f"| pseudoconsole | {first_line('PTY_OUT')} | {n - 1} passed, 0 failed, 1 skipped | 0 |"]),
    ]
    doctored = [
        ("the classic run skipped a test", closing("OUT", f"{n - 1} passed, 0 failed, 1 skipped")),
        ("the classic run names a pseudoconsole",
         first("OUT", "run-tests: running in a pseudoconsole, on Windows 10.0.20348.2582")),
        ("the pseudoconsole run names a classic console window",
         first("PTY_OUT", "run-tests: running in a classic console window, on Windows 10.0.20348")),
        ("the classic run's first line names no console", first("OUT", "== the plugin on this console")),
        ("a test failed in the pseudoconsole", closing("PTY_OUT", f"{n - 1} passed, 1 failed")),
        ("nothing passed in the classic run", closing("OUT", "0 passed, 0 failed")),
        ("the classic run has no closing line", closing("OUT", "run-tests: interrupted")),
        ("the closing line is not plain", closing("PTY_OUT", f"0{n} passed, 0 failed")),
        ("the classic run exited with 1", rc("OUT", "1")),
        ("the pseudoconsole run left no exit code", rc("PTY_OUT", None)),
        ("the pseudoconsole run wrote no output", missing("PTY_OUT")),
        ("measure-cost failed in the classic console", rc("COST_OUT", "1")),
        ("measure-cost in the pseudoconsole left no output", missing("COST_PTY_OUT")),
    ]
    wrong = []
    runs = passing + [(what, doctor, None) for what, doctor in doctored]
    for number, (what, doctor, wanted) in enumerate(runs):
        folder = runner.work / f"doctored-{number}"
        folder.mkdir()
        files = {}
        for name, original in originals.items():
            for path in (original, original.with_name(original.name + ".rc")):
                if not path.exists():
                    raise DryRunError(f"{path} is missing, so the checks cannot be doctored")
                shutil.copy(path, folder / path.name)
            files[name] = folder / original.name
        if doctor:
            doctor(files)
        summary = runner.summary_file()
        code, output = runner.run_cmd(
            step["run"], dict(env, GITHUB_STEP_SUMMARY=windows_path(summary),
                              **{name: windows_path(files[name]) for name in names}), timeout)
        if (code == 0) != (wanted is not None):
            wrong.append(f"doctored: {what}: the checks step ended with {code}\n" + indent(output))
        written = summary.read_bytes().decode("utf-8", errors="replace").replace("\r", "")
        missing_lines = [line for line in wanted or [] if line not in written]
        if missing_lines:
            wrong.append(f"doctored: {what}: the job summary lacks "
                         + "; ".join(missing_lines) + "\n" + indent(written))
        said = [line for line in output.splitlines() if line.startswith("** ")]
        print(f"    {what}: exit code {code}" + "".join(f"\n        {line}" for line in said))
    return len(runs), wrong


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--workflow", required=True)
    parser.add_argument("--job", required=True)
    parser.add_argument("--kit", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--keep", help="a folder to keep what would be uploaded in, by artifact")
    args = parser.parse_args()
    started = time.monotonic()
    try:
        passed = dry_run(args, started)
    except DryRunError as error:
        print(f"workflow-dry-run: FAILED: {error}")
        return 1
    seconds = time.monotonic() - started
    print(f"workflow-dry-run: {'passed' if passed else 'FAILED'} in {seconds:.0f} s")
    return 0 if passed else 1


def dry_run(args, started):
    workflow = yaml.safe_load(pathlib.Path(args.workflow).read_text())
    job = workflow["jobs"][args.job]
    if set(job) - JOB_KEYS:
        raise DryRunError(f"the job has keys the dry run does not imitate: {set(job) - JOB_KEYS}")
    runner = Runner(args)
    matrix = {}
    for key, values in job.get("strategy", {}).get("matrix", {}).items():
        if key == "include" or not isinstance(values, list):
            raise DryRunError(f"the matrix's {key} is not a list the dry run can take")
        matrix[key] = values[0]
    context = Context(runner.workspace, runner.temp, matrix)
    if not context.condition(job.get("if")):
        raise DryRunError("the job's if: would not run it")
    job_env = {key: context.substitute(value) for key, value in job.get("env", {}).items()}
    context.env = dict(job_env)
    job_limit = 60 * float(job.get("timeout-minutes", 360))
    print(f"workflow-dry-run: {args.workflow}, job {args.job}, matrix {matrix}, "
          f"{runner.wine_command('--version').strip()}; the artifact: {runner.kit}")

    plant_sentinels(runner)
    before = export_registry(runner, "before")
    base_env = dict(os.environ, GITHUB_WORKSPACE=windows_path(runner.workspace),
                    RUNNER_TEMP=windows_path(runner.temp), CI="true", GITHUB_ACTIONS="true",
                    RUNNER_OS="Windows")
    checks = None
    summaries = []
    for number, step in enumerate(job["steps"], 1):
        if set(step) - STEP_KEYS:
            raise DryRunError(f"step {number} has keys the dry run does not imitate: "
                              f"{set(step) - STEP_KEYS}")
        name = step.get("name") or step.get("uses") or f"step {number}"
        if not context.condition(step.get("if")):
            print(f"== {number}. {name}: not run (if: {step.get('if', 'success()')})")
            continue
        context.env = dict(job_env)
        context.env.update({key: context.substitute(value)
                            for key, value in step.get("env", {}).items()})
        left = job_limit - (time.monotonic() - started)
        timeout = min(left, 60 * float(step.get("timeout-minutes", 360)))
        if timeout <= 0:
            raise DryRunError(f"the job's time limit ran out before step {number}")
        began = time.monotonic()
        shell = step.get("shell", "pwsh")
        if "uses" in step:
            code, output = runner.stand_in(step, context)
        elif shell == "cmd":
            summary = runner.summary_file()
            summaries.append(summary)
            code, output = runner.run_cmd(
                context.substitute(step["run"]),
                dict(base_env, GITHUB_STEP_SUMMARY=windows_path(summary), **context.env), timeout)
        elif shell == "pwsh":
            code, output = runner.unpack_kit(step, context.env)
        else:
            raise DryRunError(f"step {number} runs in {shell}, which the dry run does not imitate")
        print(f"== {number}. {name}: exit code {code} ({time.monotonic() - began:.1f} s)")
        print(indent(output), end="")
        if code != 0:
            context.failed = True
        if step.get("id") == "checks":
            checks = (dict(step, run=context.substitute(step["run"])), timeout)
    print("== the job summary")
    print(indent("".join(path.read_bytes().decode("utf-8", errors="replace").replace("\r", "")
                         for path in summaries)), end="")
    if context.failed:
        print("workflow-dry-run: a step failed, so the job fails")
        return False

    after = export_registry(runner, "after")
    losses = registry_losses(before, after)
    print(f"== the registry: {len(before)} keys before the job; "
          f"{'nothing removed' if not losses else 'some removed'}")
    print(indent("\n".join(losses)), end="")

    if checks is None:
        raise DryRunError("the job has no step with id checks, whose strictness is tried")
    print("== the checks step, again, on copies of the outputs: as they are, it must pass; "
          "doctored, it must fail")
    count, wrong = challenge_checks(runner, checks[0], dict(base_env, **job_env), job_env,
                                    checks[1])
    print(f"== the checks step: {count - len(wrong)} of {count} runs as they must be")
    for line in wrong:
        print(indent(line), end="")
    return not losses and not wrong


if __name__ == "__main__":
    sys.exit(main())
