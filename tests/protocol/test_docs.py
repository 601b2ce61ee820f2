"""The documentation checked against the engine, so that it cannot drift.

Every ```session block of README.md and docs/*.md is replayed against a fresh
engine: "> " lines are sent (">" alone sends an empty line), "(end of input)"
closes the input, and every other line is the next line the engine must write,
where {time} stands for the statistics line's time, {n} for any whole number
and {a|b|c} for one of the listed texts. Then the engine must write nothing
more, or after END or end of input exit with status 0 and nothing more.
protocol.md's command table lists exactly the engine's commands, and its error
lines are exactly those the engine can write.
"""
import glob
import os
import re

import pytest

from conftest import REPO

SESSION_RE = re.compile(r"^```session\n(.*?)^```$", re.S | re.M)
PLACEHOLDERS = {"time": r"\d+\.\d{6}", "n": r"-?\d+"}


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def sessions():
    for path in [os.path.join(REPO, "README.md")] + sorted(glob.glob(os.path.join(REPO, "docs", "*.md"))):
        text = read(path)
        for block in SESSION_RE.finditer(text):
            name = f"{os.path.basename(path)}:{text.count(chr(10), 0, block.start()) + 1}"
            yield pytest.param(block.group(1).splitlines(), id=name)


def pattern(line):
    return "".join(PLACEHOLDERS.get(p, "(?:" + "|".join(map(re.escape, p.split("|"))) + ")")
                   if i % 2 else re.escape(p) for i, p in enumerate(re.split(r"\{([^{}]+)\}", line)))


@pytest.mark.parametrize("lines", list(sessions()))
def test_session(make_engine, lines):
    engine, ended = make_engine(), False
    for n, line in enumerate(lines, 1):
        if line == ">" or line.startswith("> "):
            engine.send(line[2:])
            ended = ended or line[2:].lower().startswith("end")
        elif line == "(end of input)":
            engine.proc.stdin.close()
            ended = True
        else:
            got = engine.read_line()
            assert re.fullmatch(pattern(line), got), f"line {n}: expected {line!r}, got {got!r}"
    if ended:
        assert engine.finish() == (0, [])
    else:
        engine.fence()


def test_command_table_and_error_lines_match_the_source():
    doc = read(os.path.join(REPO, "docs", "protocol.md"))
    assert SESSION_RE.search(doc), "protocol.md has no example sessions left to replay"
    table, = re.findall(r"^\| Command \|.*\n\|[-| ]+\|\n((?:\|.*\n)+)", doc, re.M)
    rows = [row.strip("|").split("|") for row in table.splitlines()]
    documented = sorted(m.group(1).lower() for row in rows if (m := re.match(r"\s*`([A-Z]+)", row[0])))
    source = "".join(read(path) for path in glob.glob(os.path.join(REPO, "src", "*.cpp")))
    assert documented == sorted(re.findall(r'\{"(\w+)",\s*Do\w+\}', source))
    # Every ERROR and UNKNOWN format of the sources, %d standing for a number or x or y.
    formats = {f: re.compile(r"(?:-?\d+|[xy])".join(map(re.escape, f.split("%d"))))
               for f in re.findall(r'"((?:ERROR|UNKNOWN)[^"]*)"', source)}
    table_errors = [e for row in rows for e in re.findall(r"`([^`]+)`", row[3])]
    assert table_errors and formats
    for error in table_errors:
        assert any(p.fullmatch(error) for p in formats.values()), f"not in the source: {error!r}"
    quoted = re.findall(r"`([^`\n]+)`", doc)
    for fmt, p in formats.items():
        assert any(p.fullmatch(q) for q in quoted), f"not documented: {fmt!r}"
