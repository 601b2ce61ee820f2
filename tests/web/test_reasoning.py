"""Zelto's reasoning, games opened from links, and saved games, in headless Chromium."""
import re
import string

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

from conftest import ROOT, idle

POINTS = ("return [...document.querySelectorAll('#board [data-value]')]"
          ".map(c => [+c.dataset.x, +c.dataset.y, +c.dataset.value, c.dataset.mark || ''])")


def cdp(page, command, params):
    """A DevTools command, through chromedriver's endpoint for them, which a
    plain remote driver does not know by name."""
    page.command_executor._commands.setdefault(
        "executeCdpCommand", ("POST", "/session/$sessionId/goog/cdp/execute"))
    return page.execute("executeCdpCommand", {"cmd": command, "params": params})["value"]


@pytest.fixture(scope="module")
def downloads(page, tmp_path_factory):
    """Where the browser saves files, a folder of this module's own."""
    folder = tmp_path_factory.mktemp("downloads")
    cdp(page, "Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(folder)})
    return folder


def open_link(page, fragment):
    """Loads the page afresh at the link; returns the stones once no turn is running."""
    page.get("about:blank")
    page.get(page.base_url + "#" + fragment)
    return idle(page)



def reasoning(page):
    """Waits for the reasons of Zelto's move: its stage, sentence, and the points shown."""
    reason = page.find_element(By.ID, "reason")
    WebDriverWait(page, 30).until(lambda p: reason.get_attribute("data-stage"))
    return reason.get_attribute("data-stage"), reason.text, page.execute_script(POINTS)


def bench_link(name):
    """The link of a benchmark position, whose next move is the engine's."""
    for line in (ROOT / "bench" / "positions.txt").read_text().splitlines():
        fields = line.split("#")[0].split()
        if fields and fields[0] == name:
            size, moves = fields[1], fields[2:]
            w, h = size.split("x")
            assert w == h, "the page plays square boards"
            link = "moves=" + ";".join(moves)
            if w != "15":
                link += "&size=" + w
            # The engine plays the stone before the last one.
            return link + ("&first=zelto" if len(moves) % 2 == 0 else "") + "&reasoning=on", moves
    raise KeyError(name)


def stones_of(moves):
    return {tuple(map(int, m.split(","))): 1 + i % 2 for i, m in enumerate(moves)}


def new_stones(page, moves):
    """Zelto's stones beyond those of the link, once its reasons are shown."""
    shown = reasoning(page)
    stones = idle(page)
    before = stones_of(moves)
    assert {c: stones[c] for c in before} == before
    return {c: s for c, s in stones.items() if c not in before}, shown


def test_blocks_an_open_four_from_a_link(page):
    open_link(page, "moves=7,7;0,0;8,7;0,1;9,7&reasoning=on")
    new, (stage, text, points) = new_stones(page, ["7,7", "0,0", "8,7", "0,1", "9,7"])
    assert len(new) == 1 and set(new) <= {(6, 7), (10, 7)} and set(new.values()) == {2}
    assert {(x, y) for x, y, _, mark in points if mark} == {(6, 7), (10, 7)}
    assert {mark for *_, mark in points if mark} == {"open-four"}
    assert len(points) >= 10
    assert stage == "opp-4open" and "blocked an open four" in text
    assert page.find_element(By.ID, "reasoning").is_selected()
    # The ring of a marked point is drawn.
    ring = page.execute_script("return getComputedStyle(document.getElementById('cell-6-7'), "
                               "'::before').boxShadow")
    assert ring and ring != "none"
    page.save_screenshot(str(ROOT / "build-web" / "screenshot-reasoning.png"))

    # Hidden, the reasoning leaves the board; shown again, it comes back; and
    # the choice outlives a new visit.
    box = page.find_element(By.ID, "reasoning")
    box.click()
    assert page.execute_script(POINTS) == [] and page.find_element(By.ID, "reason").text == ""
    assert "reasoning" not in page.current_url
    box.click()
    assert page.execute_script(POINTS) == points and "&reasoning=on" in page.current_url
    open_link(page, "moves=7,7")
    assert page.find_element(By.ID, "reasoning").is_selected()


# One benchmark position for each stage that decides a move: the stage as the
# benchmark reports it, and words the sentence must use.
STAGES = [
    ("own-five-15x15-1-2-m52", "own-five", "completed a five", None),
    ("15x15-1-5-m31", "block-five", "blocked a five", None),
    ("my-4open-15x15-1-6-m63", "my-4open", "made an open four", "open-four"),
    ("my-2threat-20x20-2-2-m301", "my-2threat", "double threat", "double-threat"),
    ("opp-seq3-9x9-4-3-m13", "opp-seq3", "sequence of threats: it searched the sequence to its end, "
     "to depth 3", "threat-sequence"),
    ("my-seq9-15x15-1-2-m42", "my-seq9", "started a forced sequence of threats", "threat-sequence"),
    ("15x15-1-4-m57", "positional", "best-placed candidate", None),
    ("15x15-1-2-m140", "random", "random cell", None),
]


@pytest.mark.parametrize("name,stage,words,mark", STAGES, ids=[s[1] for s in STAGES])
def test_every_stage_is_explained(page, name, stage, words, mark):
    link, moves = bench_link(name)
    open_link(page, link)
    new, (shown, text, points) = new_stones(page, moves)
    assert len(new) == 1
    new = list(new)
    assert (shown, words in text, "Time ran out" in text) == (stage, True, False)
    assert ("%d,%d" % new[0]) in text or mark
    values = {(x, y): v for x, y, v, _ in points}
    if stage == "random":
        assert values == {}
    elif stage.endswith("five"):
        # A five is played before anything is scored.
        assert new[0] in values and set(values.values()) == {0}
    else:
        # The move is a candidate of the highest value, and the stage marked a cell.
        assert values.get(new[0]) == max(values.values())
        assert bool(mark) == any(m for *_, m in points)
        assert {m for *_, m in points} <= {mark, ""}


def test_time_cuts_the_threat_search(page):
    # The benchmark's longest search takes far longer than 0.2 s in a browser,
    # so the time check cuts it; a cut always ends in a threat-sequence stage.
    page.get("about:blank")
    page.get(page.base_url)
    Select(page.find_element(By.ID, "time")).select_by_value("200")
    link, moves = bench_link("my-line19-20x20-2-4-m8")
    page.get(page.base_url + "#" + link)
    new, (stage, text, _) = new_stones(page, moves)
    cut = page.find_element(By.ID, "reason").get_attribute("data-cut")
    assert len(new) == 1 and cut in ("true", "false")
    assert ("Time ran out" in text) == (cut == "true")
    assert re.fullmatch("(my|opp)-(seq|line)[0-9]+" if cut == "true" else "my-line19", stage)


BAD_LINKS = [
    ("moves=7,7;8,8;7,7", "move 3, 7,7, takes a cell played before"),
    ("moves=7,7;15,0", "move 2, 15,0, is off the 15 × 15 board"),
    ("moves=7,7;8,8&size=8", "move 2, 8,8, is off the 8 × 8 board"),
    ("moves=0,0;9,9;1,0;9,8;2,0;9,7;3,0;9,6;4,0", "move 9, 4,0, completes a five"),
    ("moves=7,7;8;9,9", "“8” is not a move x,y (move 2)"),
    ("moves=seven,seven", "is not a move"),
    ("moves=7,7&size=40", "board size must be a number from 5 to 30"),
    ("moves=7,7&first=me", "first must be"),
    ("moves=7,7&moves=8,8", "gives moves twice"),
    ("size=15", "has no list of moves"),
    ("top", "“top” is not part of a game link"),
]


@pytest.mark.parametrize("link,message", BAD_LINKS)
def test_bad_links_are_refused(page, link, message):
    page.get("about:blank")
    page.get(page.base_url + "#" + link)
    errors = WebDriverWait(page, 30).until(lambda p: p.find_element(By.ID, "errors").text)
    stones = idle(page, errors)
    assert errors.startswith("This link cannot be opened: ") and message in errors
    assert stones == {} and not re.search("moves=[^&]", page.current_url)
    assert page.find_element(By.ID, "status").text.startswith("Your move")


def read_sgf(text):
    """Root properties and moves of an SGF record, as the match runner writes them."""
    assert text.startswith("(;") and text.endswith(")\n")
    root = dict(re.findall(r"([A-Z]+)\[((?:[^\]\\]|\\.)*)\]", text.split(";")[1]))
    moves = [("BW".index(c) + 1, string.ascii_letters.index(x), string.ascii_letters.index(y))
             for c, x, y in re.findall(r";([BW])\[([a-zA-Z])([a-zA-Z])\]", text)]
    return root, moves


def saved_game(page, downloads):
    for old in downloads.iterdir():
        old.unlink()
    page.find_element(By.ID, "save").click()
    # The file may show under its name before all of it is written.
    WebDriverWait(page, 30, ignored_exceptions=(OSError,)).until(
        lambda p: any(f.read_text(encoding="utf-8").endswith(")\n") for f in downloads.glob("*.sgf")))
    return read_sgf(next(downloads.glob("*.sgf")).read_text(encoding="utf-8"))


def copied_link(page):
    page.execute_script("window.copied = null; Object.defineProperty(navigator, 'clipboard', "
                        "{value: {writeText: async (text) => { window.copied = text; }}});")
    page.find_element(By.ID, "copy-link").click()
    WebDriverWait(page, 10).until(lambda p: p.execute_script("return window.copied"))
    return page.execute_script("return window.copied")


@pytest.mark.parametrize("first,size", [("you", "9"), ("zelto", "30")])
def test_a_game_is_saved_and_shared(page, downloads, first, size):
    page.get("about:blank")
    page.get(page.base_url)
    Select(page.find_element(By.ID, "first")).select_by_value(first)
    Select(page.find_element(By.ID, "size")).select_by_value(size)
    page.find_element(By.ID, "new-game").click()
    stones = idle(page)
    for x, y in ((0, 0), (int(size) - 1, 1), (2, 8)):
        if (x, y) not in stones:
            page.find_element(By.ID, "cell-%d-%d" % (x, y)).click()
            stones = idle(page)
    root, moves = saved_game(page, downloads)
    assert (root["FF"], root["GM"], root["SZ"]) == ("4", "4", size) and "RE" not in root
    assert root["PB" if first == "zelto" else "PW"] == "Zelto"
    assert [m[0] for m in moves] == [1 + i % 2 for i in range(len(moves))]
    assert {(x, y): s for s, x, y in moves} == stones

    link = copied_link(page)
    assert link == page.current_url
    assert link.split("#moves=")[1].split("&")[0] == ";".join("%d,%d" % m[1:] for m in moves)
    # Reopened, it is the same game with the person to move.
    assert open_link(page, link.split("#", 1)[1]) == stones
    assert page.find_element(By.ID, "status").text.startswith("Your move")
    assert saved_game(page, downloads)[1] == moves
    # The engine learns the game with the next move, then plays on from it.
    for _ in range(2):
        before = stones
        x, y = next((x, 6) for x in range(9) if (x, 6) not in stones)
        page.find_element(By.ID, "cell-%d-%d" % (x, y)).click()
        stones = idle(page)
        assert len(stones) == len(before) + 2 and stones[(x, y)] == (2 if first == "zelto" else 1)

    page.find_element(By.ID, "resign").click()
    root, _ = saved_game(page, downloads)
    assert root["RE"] == ("B+R" if first == "zelto" else "W+R") and "resigned" in root["C"]


def test_phone_width(page):
    cdp(page, "Emulation.setDeviceMetricsOverride",
        {"width": 390, "height": 844, "deviceScaleFactor": 1, "mobile": True})
    try:
        open_link(page, "moves=7,7;0,0;8,7;0,1;9,7&reasoning=on")
        reasoning(page)
        page.save_screenshot(str(ROOT / "build-web" / "screenshot-reasoning-phone.png"))
        # Nothing is wider than the screen, and a tap still plays.
        assert page.execute_script("const e = document.documentElement; "
                                   "return innerWidth == 390 && e.scrollWidth <= e.clientWidth")
        before = idle(page)
        page.find_element(By.ID, "cell-3-3").click()
        assert len(idle(page)) == len(before) + 2
    finally:
        cdp(page, "Emulation.clearDeviceMetricsOverride", {})
