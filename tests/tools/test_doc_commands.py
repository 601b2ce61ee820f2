"""Every shell command in a ```sh block of README.md and docs/*.md is one that CI
runs: it appears in .ci/run or scripts/*.sh, possibly with other trailing
numbers (a different count of games or seconds)."""
import pathlib
import re

ROOT = pathlib.Path(__file__).resolve().parents[2]


def shell_lines(text):
    # Continued lines joined, comments dropped; /usr/bin/python3 is python3 on Debian.
    for line in text.replace("\\\n", " ").replace("/usr/bin/python3", "python3").splitlines():
        line = re.sub(r"\s+", " ", re.sub(r"\s+#.*$", "", line)).strip()
        if line and not line.startswith("#"):
            yield line


def test_documented_commands_are_run_by_ci():
    ran = [line for script in [ROOT / ".ci" / "run", *(ROOT / "scripts").glob("*.sh")]
           for line in shell_lines(script.read_text())]
    commands = [(page.name, command) for page in [ROOT / "README.md", *(ROOT / "docs").glob("*.md")]
                for block in re.findall(r"^```sh\n(.*?)^```", page.read_text(), re.S | re.M)
                for command in shell_lines(block)]
    assert len(commands) >= 8, commands
    missing = [c for c in commands if not any(re.sub(r"( \d+)+$", "", c[1]) in line for line in ran)]
    assert not missing, missing
