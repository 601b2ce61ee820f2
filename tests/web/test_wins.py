"""Whole-board verdicts, wins by fours drawn on the board, the strip of forced
wins, Find a win and numbered stones, in headless Chromium. Every line the
page draws is checked against the rules on the stones it is drawn over."""
import sys

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

from conftest import ROOT, idle
from test_page_review import fresh, reviewed
from test_reasoning import cdp

sys.path.insert(0, str(ROOT / "bench"))
from make_solver_games import makes_five as plain_makes_five  # noqa: E402  the plain five check

# Black's diagonal from the corner: White leaves the five at 4,4 open (moves
# 8 and 10) and Black does not make it (move 9) until move 11.
FIVES = "0,0;14,14;1,1;12,14;2,2;14,12;3,3;10,14;14,0;9,9;4,4"
# Black's stones on column 6, row 7 and the diagonal through 7,5 give it a win
# by fours, 6,6 (6,7) 4,8 (3,9) five at 8,4, from move 15 on; White's fillers
# stand apart. White's moves 14 to 18 allow it, Black's 15 to 19 miss it.
FOURS = ("4,7;0,14;5,7;14,14;7,4;14,8;7,5;3,7;6,8;7,3;6,9;10,13;6,10;6,11;8,5;1,10;9,4;10,3;"
         "0,0")

ITEMS = ("return [...document.querySelectorAll('#move-list li')].map(li => "
         "[li.dataset.verdict || null, li.dataset.kind || null, li.dataset.forced || null])")
PARTS = ("return [...document.querySelectorAll('#game-strip > *')].map(p => "
         "[+p.dataset.move, p.dataset.forced || null, p.title, p.getAttribute('aria-label')])")
LINE = ("return [...document.querySelectorAll('#board [data-line-step]')].map(c => "
        "[+c.dataset.lineStep, +c.dataset.x, +c.dataset.y, +c.dataset.lineStone, c.className])")
RINGED = "return [...document.querySelectorAll('#board [data-found]')].map(c => [+c.dataset.x, +c.dataset.y])"
PLAYED = "return [...document.querySelectorAll('#board [data-played]')].map(c => [+c.dataset.x, +c.dataset.y])"
NUMBERS = ("return [...document.querySelectorAll('#board [data-number]')].map(c => "
           "[+c.dataset.number, +c.dataset.x, +c.dataset.y])")


def cells_of(moves):
    return [tuple(map(int, m.split(","))) for m in moves.split(";")]


def makes_five(stones, cell, stone):
    return plain_makes_five(stones, *cell, stone)


def fives(stones, stone):
    return {(x, y) for x in range(15) for y in range(15)
            if (x, y) not in stones and makes_five(stones, (x, y), stone)}


def check_win(stones, line, winner):
    """A win by fours of `winner` (1 or 2) on the stones: each of its moves on
    an empty cell, each but the last a four whose block is the next cell, the
    defender never able to make five first, and the last a five."""
    stones = dict(stones)
    assert line and len(line) % 2 == 1
    assert not fives(stones, 3 - winner) or len(line) == 1
    for i, cell in enumerate(line):
        assert cell not in stones, (i + 1, cell)
        stone = winner if i % 2 == 0 else 3 - winner
        if i == len(line) - 1:
            assert makes_five(stones, cell, winner), (i + 1, cell)
        elif stone == winner:
            assert line[i + 1] in fives({**stones, cell: stone}, winner), (i + 1, cell)
        else:
            assert not fives(stones, stone), (i + 1, cell)
        stones[cell] = stone


def drawn(page):
    """The line drawn on the board as cells in order, after checking each
    step's colour and class: the winner's moves and the blocks in turn."""
    steps = sorted(page.execute_script(LINE))
    assert [s[0] for s in steps] == list(range(1, len(steps) + 1))
    if steps:
        winner = steps[0][3]
        for n, _, _, stone, classes in steps:
            block = n % 2 == 0
            assert stone == (3 - winner if block else winner)
            assert ("line-block" if block else "line-win") in classes.split()
    return [(x, y) for _, x, y, _, _ in steps], steps[0][3] if steps else None


def select(page, move):
    page.find_elements(By.CSS_SELECTOR, "#move-list li")[move - 1].click()
    return idle(page)


def caption(page):
    el = page.find_element(By.ID, "line-caption")
    return el.get_attribute("data-outcome"), el.get_attribute("data-source"), el.text


def find_win(page):
    """Clicks Find a win; returns the caption once the answer is in."""
    page.find_element(By.ID, "find-win").click()
    el = page.find_element(By.ID, "line-caption")
    WebDriverWait(page, 60).until(lambda p: el.get_attribute("data-outcome") not in ("", "searching"))
    assert page.find_element(By.ID, "errors").text == ""
    return caption(page)


def test_fives_and_the_strip(page):
    fresh(page)
    page.get(page.base_url + "#moves=" + FIVES + "&review=on")
    reviewed(page)
    items = page.execute_script(ITEMS)
    verdicts = {i + 1: item for i, item in enumerate(items) if item != [None, None, None]}
    assert verdicts == {8: ["missed-block", "five", None], 9: ["missed-win", "five", "black"],
                        10: ["missed-block", "five", None], 11: [None, None, "black"]}
    texts = [li.text for li in page.find_elements(By.CSS_SELECTOR, "#move-list li")]
    assert texts[7].endswith("missed block") and texts[8].endswith("missed win")
    assert "1 missed win, 2 missed blocks, 0 allowed wins; Black won with five" in \
        page.find_element(By.ID, "review-summary").text
    for move in (8, 9, 10):
        select(page, move)
        assert page.execute_script(RINGED) == [[4, 4]]
        assert "five at 4,4" in page.find_element(By.ID, "stats").text
        assert drawn(page) == ([], None)

    # One part a move, coloured by the mover's win by fours, each named.
    parts = page.execute_script(PARTS)
    assert [p[0] for p in parts] == list(range(1, 12))
    assert {p[0]: p[1] for p in parts if p[1] != "none"} == {9: "black", 11: "black"}
    for number, _, title, label in parts:
        assert title == label and title.startswith(f"Move {number}, {('Black', 'White')[(number - 1) % 2]}: ")
    assert parts[8][2] == "Move 9, Black: Black could win by fours; missed win"
    assert parts[9][2] == "Move 10, White: White had no win by fours; missed block"
    strip = page.find_elements(By.CSS_SELECTOR, "#game-strip > *")
    strip[8].click()
    assert page.find_element(By.ID, "status").text.startswith("Move 9 of 11: Black played 14,0")
    current = [p.get_attribute("data-move") for p in strip if p.get_attribute("aria-current")]
    assert current == ["9"]
    assert page.find_element(By.CSS_SELECTOR, "#move-list li[aria-current]").get_attribute("data-move") == "9"
    # Black's win and the other parts are drawn differently.
    colours = page.execute_script("return [8, 9].map(i => getComputedStyle("
                                  "document.querySelectorAll('#game-strip > *')[i]).backgroundImage)")
    assert colours[0] != colours[1]


def test_a_win_by_fours_missed_and_allowed(page):
    cells = cells_of(FOURS)
    cdp(page, "Emulation.setDeviceMetricsOverride",
        {"width": 1200, "height": 860, "deviceScaleFactor": 1, "mobile": False})
    try:
        fresh(page)
        page.get(page.base_url + "#moves=" + FOURS + "&review=on")
        reviewed(page)
        items = page.execute_script(ITEMS)
        for move in range(15, 20):
            black = move % 2 == 1
            assert items[move - 1] == (["missed-win", "fours", "black"] if black
                                       else ["allowed-win", "fours", None]), move
        before = {c: 1 + i % 2 for i, c in enumerate(cells[:18])}
        # Move 19 missed the win: it is drawn where it stood, before the move,
        # with the cell played ringed; the sentence gives the board's fact first.
        stones = select(page, 19)
        assert stones == before and page.execute_script(PLAYED) == [[0, 0]]
        line, winner = drawn(page)
        assert winner == 1 and len(line) >= 3
        check_win(stones, line, 1)
        stats = page.find_element(By.ID, "stats").text
        assert stats.startswith("Black could have won by fours from ")
        engine = stats.split(". ", 1)[1]
        assert engine.startswith("Zelto's own turn, which looks only near the last stones, would have played")
        outcome, source, text = caption(page)
        assert (outcome, source) == ("win", "verdict") and "position before move 19" in text
        # The ringed cells are the other cells from which Black wins.
        assert all(tuple(c) not in line for c in page.execute_script(RINGED))
        page.save_screenshot(str(ROOT / "build-web" / "screenshot-line.png"))

        # Move 18 allowed it: drawn after the move, on the same stones.
        stones = select(page, 18)
        assert stones == before and page.execute_script(PLAYED) == []
        assert drawn(page)[0] == line
        assert "position after move 18" in caption(page)[2]
        assert page.find_element(By.ID, "stats").text.startswith("After this move Black wins by fours: ")
        # Move 16 allowed it too, with White's last two stones not yet played.
        stones = select(page, 16)
        assert len(stones) == 16
        check_win(stones, drawn(page)[0], 1)
        # A move without a line draws none.
        select(page, 12)
        assert drawn(page) == ([], None) and caption(page) == ("", "", "")
    finally:
        cdp(page, "Emulation.clearDeviceMetricsOverride", {})


@pytest.mark.parametrize("where", ["play", "review"])
def test_find_a_win(page, where):
    fresh(page)
    if where == "play":
        # The person plays Black, to move after 18 stones.
        page.get(page.base_url + "#moves=" + ";".join(FOURS.split(";")[:18]))
        stones = idle(page)
        assert len(stones) == 18
    else:
        page.get(page.base_url + "#moves=" + FOURS + "&review=on")
        reviewed(page)
        # After move 12, before Black's stones on the diagonal, no win stands.
        stones = select(page, 12)
        assert len(stones) == 12
    # The position shown is searched for the side to move.
    outcome, source, text = find_win(page)
    if where == "play":
        assert (outcome, source) == ("win", "search") and text.startswith("Black, to move, wins by fours: ")
        line, winner = drawn(page)
        assert winner == 1
        check_win(stones, line, 1)
        # The next move leaves the answer behind. Zelto blocks Black's first
        # four, and Black still wins from there.
        page.find_element(By.ID, "cell-%d-%d" % line[0]).click()
        stones = idle(page)
        assert drawn(page) == ([], None) and caption(page)[0] == ""
        assert stones[line[1]] == 2
        assert find_win(page)[0] == "win"
        check_win(stones, drawn(page)[0], 1)
    else:
        assert (outcome, source) == ("no-win", "search")
        assert text.startswith("Black, to move, has no win by fours")
        assert drawn(page) == ([], None)
        # The next move's own line replaces the answer; searched again, the
        # position after it gives Black's win.
        stones = select(page, 18)
        assert caption(page)[1] == "verdict"
        assert find_win(page)[:2] == ("win", "search")
        check_win(stones, drawn(page)[0], 1)

    # A position without a win by fours, and one with a five on the board.
    if where == "play":
        page.get("about:blank")
        page.get(page.base_url + "#moves=7,7;0,0")
        idle(page)
        outcome, _, text = find_win(page)
        assert outcome == "no-win" and text.startswith("Black, to move, has no win by fours")
        assert drawn(page) == ([], None)
    else:
        page.get(page.base_url + "#moves=" + FIVES + "&review=on")
        reviewed(page)
        assert find_win(page)[0] == "finished"
        select(page, 10)
        outcome, _, text = find_win(page)
        assert outcome == "win" and text == "Black, to move, makes five at 4,4."
        assert drawn(page) == ([(4, 4)], 1)


def test_numbered_stones(page):
    fresh(page)
    box = page.find_element(By.ID, "show-numbers")
    assert not box.is_selected()
    page.get(page.base_url + "#moves=" + FIVES + "&review=on")
    reviewed(page)
    assert page.execute_script(NUMBERS) == []
    box.click()
    cells = cells_of(FIVES)
    assert sorted(page.execute_script(NUMBERS)) == [[i + 1, x, y] for i, (x, y) in enumerate(cells)]
    select(page, 5)
    assert sorted(page.execute_script(NUMBERS)) == [[i + 1, x, y] for i, (x, y) in enumerate(cells[:5])]
    # The last move's number takes the place of its dot.
    dot = page.execute_script("return getComputedStyle(document.getElementById('cell-2-2'), '::after')"
                              ".backgroundColor")
    assert dot in ("rgba(0, 0, 0, 0)", "transparent")
    # The choice is remembered, and numbers the game in play too.
    page.get("about:blank")
    page.get(page.base_url + "#moves=7,7")
    stones = idle(page)
    assert page.find_element(By.ID, "show-numbers").is_selected()
    numbers = {(x, y): n for n, x, y in page.execute_script(NUMBERS)}
    assert numbers[(7, 7)] == 1 and len(numbers) == len(stones) == 2
    page.find_element(By.ID, "show-numbers").click()
    assert page.execute_script(NUMBERS) == []
    page.get("about:blank")
    page.get(page.base_url)
    assert not page.find_element(By.ID, "show-numbers").is_selected()
