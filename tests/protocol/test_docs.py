"""The documentation checked against the engine, so that it cannot drift.

Every ```session block in README.md and docs/*.md is replayed against a fresh engine. Lines that
begin with "> " are sent (">" alone sends an empty line), "(end of input)" closes the
engine's input, and every other line is the next line the engine must write. In an
expected line, {time} stands for the time value of the statistics line, {n} for any
whole number, and {a|b|c} for exactly one of the listed texts (a move chosen at random
among equals). After the block the engine must write nothing more; after END or end of
input it must exit with status 0.

The command table of docs/protocol.md must list exactly the engine's commands, and its
error lines must be lines the engine can write, and the other way round.
"""
import glob
import os
import re

import pytest

from conftest import REPO

PROTOCOL_DOC = os.path.join(REPO, "docs", "protocol.md")
SESSION_RE = re.compile(r"^```session\n(.*?)^```$", re.S | re.M)
PLACEHOLDER_RE = re.compile(r"\{([^{}]+)\}")


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def sessions():
    for path in [os.path.join(REPO, "README.md")] + sorted(glob.glob(os.path.join(REPO, "docs", "*.md"))):
        text = read(path)
        for block in SESSION_RE.finditer(text):
            line = text.count("\n", 0, block.start()) + 1
            yield pytest.param(block.group(1).splitlines(),
                               id=f"{os.path.basename(path)}:{line}")


def expected_line(text):
    def placeholder(m):
        name = m.group(1)
        if name == "time":
            return r"\d+\.\d{6}"
        if name == "n":
            return r"-?\d+"
        return "(?:" + "|".join(map(re.escape, name.split("|"))) + ")"
    parts, pos = [], 0
    for m in PLACEHOLDER_RE.finditer(text):
        parts += [re.escape(text[pos:m.start()]), placeholder(m)]
        pos = m.end()
    return re.compile("".join(parts) + re.escape(text[pos:]))


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
            assert expected_line(line).fullmatch(got), f"line {n}: expected {line!r}, got {got!r}"
    if ended:
        assert engine.finish() == (0, [])
    else:
        engine.fence()


def test_command_table_and_error_lines_match_the_source():
    doc = read(PROTOCOL_DOC)
    assert SESSION_RE.search(doc), "protocol.md has no example sessions left to replay"
    tables = re.findall(r"^\| Command \|.*\n\|[-| ]+\|\n((?:\|.*\n)+)", doc, re.M)
    assert len(tables) == 1, "protocol.md needs exactly one command table"
    rows = [[cell.strip() for cell in row.strip("|").split("|")] for row in tables[0].splitlines()]
    documented = [re.match(r"`([A-Z]+)", row[0]) for row in rows]
    documented = sorted(m.group(1).lower() for m in documented if m)
    source = read(os.path.join(REPO, "src", "protocol.cpp"))
    known = sorted(re.findall(r'\{"(\w+)",\s*Do\w+\}', source))
    assert known and documented == known

    # Lines the engine writes: every ERROR and UNKNOWN format in the sources,
    # with %d standing for a number or for x and y in the docs.
    formats = sorted({f for path in glob.glob(os.path.join(REPO, "src", "*.cpp"))
                      for f in re.findall(r'"((?:ERROR|UNKNOWN)[^"]*)"', read(path))})
    engine_lines = [re.compile(r"(?:-?\d+|[xy])".join(map(re.escape, f.split("%d"))))
                    for f in formats]
    table_errors = [e for row in rows for e in re.findall(r"`([^`]+)`", row[3])]
    assert table_errors
    for error in table_errors:
        assert any(p.fullmatch(error) for p in engine_lines), f"not in the source: {error!r}"
    quoted = re.findall(r"`([^`\n]+)`", doc)
    for fmt, p in zip(formats, engine_lines):
        assert any(p.fullmatch(q) for q in quoted), f"not documented: {fmt!r}"
