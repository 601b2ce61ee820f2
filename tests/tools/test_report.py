"""zelto-review's players' report: the page from JSON lines files (--from), parsed
as HTML and as XML, with every name from the input escaped and the links of the
page's review; the table that ends a text run, the same when its games are read
back; the files --from refuses, and a page that cannot be written. The command
is ZELTO_REVIEW, default <repo>/build/zelto-review."""
import html.parser
import json
import re
import xml.etree.ElementTree as ET

import pytest

from test_review import EXAMPLE_SGF, review

NAMES = ['<b>&"x"', "Zo\u00eb", "\u674e\u767d", "</td><script>alert(1)</script>", "it's"]


def game(source, black, white, size, winner, count, forced=()):
    """A game object as the reviewer writes it, of count moves along the rows;
    the mover won by fours before each move whose number is in forced."""
    moves = [{"move": i + 1, "player": ("black", "white")[i % 2], "x": i % size[0],
              "y": i // size[0], "verdict": None, "kind": None, "cells": [], "line": [],
              "forced": {"side": ("black", "white")[i % 2], "line": []} if i + 1 in forced
              else None, "cut": False, "text": "", "engine": ""} for i in range(count)]
    return {"source": source, "players": {"black": black, "white": white}, "size": list(size),
            "winner": winner, "moves": moves, "final": None}


class Page(html.parser.HTMLParser):
    """The page's table cells and links; fails on an end tag that does not
    close the innermost open element, and on a script."""

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.open, self.links, self.cells = [], [], []
        self.feed(text)
        self.close()
        assert self.open == [], self.open

    def handle_starttag(self, tag, attrs):
        assert tag != "script"
        self.links += [dict(attrs)["href"]] if tag == "a" else []
        self.cells += [""] if tag == "td" else []
        self.open.append(tag)

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        self.open.pop()

    def handle_endtag(self, tag):
        assert self.open.pop() == tag, tag

    def handle_data(self, data):
        if self.open and self.open[-1] == "td":
            self.cells[-1] += data


def test_page_from_json_lines_is_well_formed_and_escaped(tmp_path):
    first, second, page = tmp_path / "a&b.jsonl", tmp_path / "c.jsonl", tmp_path / "r.html"
    # The losers had won by fours: White in game 1, Black in game 2 (20x20),
    # White in game 3, whose 15x20 board the page does not show.
    games = [game("x<y>.psq", NAMES[0], NAMES[1], (15, 15), "black", 9, forced={4, 6}),
             game("z.psq", NAMES[2], NAMES[3], (20, 20), "white", 8, forced={3}),
             game("o.psq", NAMES[4], NAMES[0], (15, 20), "black", 7, forced={2})]
    first.write_bytes(("\r\n".join(json.dumps(g) for g in games[:2]) + "\r\n\r\n").encode())
    second.write_text(json.dumps(games[2], ensure_ascii=False) + "\n")
    done = review("--report", page, "--from", first, second)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout.startswith("3 games, 5 players;")
    text = page.read_text(encoding="utf-8")
    svg = "{http://www.w3.org/2000/svg}"
    root = ET.fromstring(text.split("\n", 1)[1])  # well formed as XML too, after the doctype
    result = Page(text)
    assert set(NAMES + ["x<y>.psq", "not on the page (15x20)"]) <= set(result.cells)
    cells = lambda count: ";".join("%d,0" % x for x in range(count))
    assert result.links == ["http://127.0.0.1:8080/#moves=%s&review=on" % cells(9),
                            "http://127.0.0.1:8080/#moves=%s&size=20&review=on" % cells(8)]
    # One group of bars a player in the chart, with the name in full.
    assert sorted(g.find(svg + "title").text for g in root.iter(svg + "g")) == sorted(NAMES)


def test_page_url_and_the_text_of_a_review_run_read_back(tmp_path):
    sgf, page, lines = tmp_path / "game.sgf", tmp_path / "r.html", tmp_path / "games.jsonl"
    sgf.write_text(EXAMPLE_SGF * 2)
    plain = review(sgf, "--turn-ms", 100, "--report", page, "--page-url", "https://h/p/#old")
    assert (plain.returncode, plain.stderr) == (0, "")
    listed = review(sgf, "--turn-ms", 100, "--json")
    lines.write_text("".join(json.dumps(g) + "\n" for g in json.loads(listed.stdout)))
    back = review("--from", lines)
    assert back.returncode == 0
    table = plain.stdout[plain.stdout.index("\n\n") + 2:].splitlines(True)
    assert (back.stdout, table[-1]) == ("".join(table[:-1]), "2 games reviewed, 0 records skipped\n")
    text = page.read_text()
    Page(text)
    assert "2 games, 2 players, 14 moves." in text and "<code>https://h/p/</code>" in text


GOOD = json.dumps(game("g.psq", "A", "B", (15, 15), "black", 5))


@pytest.mark.parametrize("lines, message", [
    ([GOOD, '{"size": [15, 15]'], r"line 2: not JSON: parse error at column 18"),
    (["[", GOOD], r"line 1: not JSON: .*\(one game object a line, not a list of them\)"),
    ([GOOD, GOOD.replace('"winner": "black"', '"winner": "white"')],
     r'line 2: "winner" is white, who did not make the last move'),
])
def test_bad_json_lines_fail_with_file_and_line(tmp_path, lines, message):
    good, bad, page = tmp_path / "good.jsonl", tmp_path / "bad.jsonl", tmp_path / "r.html"
    good.write_text(GOOD + "\n")
    bad.write_text("\n".join(lines) + "\n")
    done = review("--from", good, bad, "--report", page)
    assert (done.returncode, done.stdout) == (1, "")
    assert re.fullmatch(r"zelto-review: %s: %s.*\n" % (re.escape(str(bad)), message),
                        done.stderr), done.stderr
    assert not page.exists()


def test_a_report_that_cannot_be_written_fails(tmp_path):
    sgf, lines = tmp_path / "game.sgf", tmp_path / "g.jsonl"
    sgf.write_text(EXAMPLE_SGF)
    lines.write_text(GOOD + "\n")
    for args in ([sgf, "--turn-ms", 50], ["--from", lines]):
        done = review(*args, "--report", tmp_path / "no" / "r.html")
        assert (done.returncode, done.stdout) == (1, "")
        assert done.stderr.endswith("/no/r.html: cannot write: No such file or directory\n")
