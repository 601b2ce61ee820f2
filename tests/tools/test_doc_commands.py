"""Every shell command shown in the README and docs is one that CI runs.

A command counts as run when it appears in .ci/run or one of scripts/*.sh,
possibly with other trailing numbers (a different count of games or seconds).
Shell commands in the docs sit in ```sh blocks.
"""
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]


def shell_lines(text):
    # Continued lines are joined; comments and surrounding space dropped;
    # /usr/bin/python3 and python3 are the same command on Debian.
    text = text.replace("\\\n", " ").replace("/usr/bin/python3", "python3")
    for line in text.splitlines():
        line = re.sub(r"\s+#.*$", "", line)
        line = re.sub(r"\s+", " ", line).strip()
        if line and not line.startswith("#"):
            yield line


def documented():
    for page in [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]:
        for block in re.findall(r"^```sh\n(.*?)^```", page.read_text(), re.S | re.M):
            for command in shell_lines(block):
                yield page.name, command


def test_documented_commands_are_run_by_ci():
    ci = [ROOT / ".ci" / "run", *sorted((ROOT / "scripts").glob("*.sh"))]
    ran = [line for script in ci for line in shell_lines(script.read_text())]
    commands = list(documented())
    assert len(commands) >= 8, commands
    missing = [(page, command) for page, command in commands
               if not any(re.sub(r"( \d+)+$", "", command) in line for line in ran)]
    assert not missing, missing
