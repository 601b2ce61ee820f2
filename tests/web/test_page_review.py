"""Reviewing a game in headless Chromium: a game opened from a link or a record
file, its verdicts, stepping through it, and records that are refused."""
import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.remote.file_detector import UselessFileDetector
from selenium.webdriver.support.ui import Select, WebDriverWait

from conftest import ROOT, idle
from test_reasoning import cdp, copied_link, downloads, saved_game  # noqa: F401 (a fixture)

# Black's open three stands on row 7; White plays elsewhere (move 6), which
# allows Black's win by fours, and Black does not play it (move 7).
MISSED = "7,7;0,0;8,7;0,1;9,7;0,2;14,14"
VERDICTS = {6: "allowed-win", 7: "missed-win"}
PSQ = "Zelto 15x15, 11:11, 0\n8,8,0\n1,1,0\n9,8,0\n1,2,0\n10,8,0\n1,3,0\n15,15,0\nBlack\nWhite\n-1\n"
MOVES = ("return [...document.querySelectorAll('#move-list li')].map(li => "
         "[li.querySelector('.number').textContent, li.querySelector('.player').textContent, "
         "li.querySelector('.at').textContent, li.dataset.verdict || null])")
# Small, so that a review takes a few seconds at most.
BUDGET = "200"


def fresh(page):
    """The page afresh with a small budget per position."""
    page.get("about:blank")
    page.get(page.base_url)
    idle(page)
    Select(page.find_element(By.ID, "time")).select_by_value(BUDGET)


def reviewed(page, seconds=60):
    """Waits for the review to end; returns the move list as (number, player, cell, verdict).
    Each position takes at most twice the budget: the turn, then the search from the move played."""
    panel = page.find_element(By.ID, "review")
    WebDriverWait(page, seconds).until(lambda p: panel.get_attribute("data-state") == "done")
    assert page.find_element(By.ID, "errors").text == ""
    return page.execute_script(MOVES)


def shown(page):
    """The position shown: its stones, the marked move, the status line and the reasoning's stage."""
    stones = idle(page)
    last = page.execute_script("return [...document.querySelectorAll('#board .last')]"
                               ".map(c => [+c.dataset.x, +c.dataset.y])")
    reason = page.find_element(By.ID, "reason").get_attribute("data-stage")
    return stones, last, page.find_element(By.ID, "status").text, reason


def open_file(page, tmp_path, name, text):
    path = tmp_path / name
    path.write_text(text)
    # Chromium runs on this machine: it reads the file by its path, with no upload.
    with page.file_detector_context(UselessFileDetector):
        page.find_element(By.ID, "open-game").send_keys(str(path))


def check_verdicts(moves):
    cells = MISSED.split(";")
    assert [m[:3] for m in moves] == [[f"{i + 1}.", ("Black", "White")[i % 2], c]
                                      for i, c in enumerate(cells)]
    assert {i + 1: m[3] for i, m in enumerate(moves) if m[3]} == VERDICTS


DROP = ("const data = new DataTransfer(); data.items.add(new File([arguments[0]], 'missed.psq')); "
        "document.getElementById('board').dispatchEvent(new DragEvent('drop', "
        "{dataTransfer: data, bubbles: true, cancelable: true}));")


@pytest.mark.parametrize("source", ["link", "psq", "drop"])
def test_verdicts_of_a_game(page, tmp_path, source):
    fresh(page)
    if source == "link":
        page.get(page.base_url + "#moves=" + MISSED + "&review=on")
    elif source == "psq":
        open_file(page, tmp_path, "missed.psq", PSQ)
    else:
        page.execute_script(DROP, PSQ)
    check_verdicts(reviewed(page))
    summary = page.find_element(By.ID, "review-summary").text
    assert "Reviewed all 7 moves: 1 missed win, 0 missed blocks, 1 allowed win" in summary
    # The address is the review's link, whichever way the game came.
    assert page.current_url.endswith("#moves=" + MISSED + "&review=on")


def full_board():
    """225 moves that fill the board with no five: Black where (x + 2y) mod 4 < 2,
    played outwards from the centre."""
    cells = sorted(((x, y) for y in range(15) for x in range(15)),
                   key=lambda c: (abs(c[0] - 7) + abs(c[1] - 7), c))
    black = [c for c in cells if (c[0] + 2 * c[1]) % 4 < 2]
    white = [c for c in cells if (c[0] + 2 * c[1]) % 4 >= 2]
    assert len(black) == 113
    return ";".join("%d,%d" % c for pair in zip(black, white + [None]) for c in pair if c)


def test_a_review_stops_between_moves(page):
    fresh(page)
    page.get(page.base_url + "#moves=" + full_board() + "&review=on")
    stop = page.find_element(By.ID, "review-stop")
    stop.click()
    panel = page.find_element(By.ID, "review")
    WebDriverWait(page, 30).until(lambda p: panel.get_attribute("data-state") == "stopped")
    done = int(page.find_element(By.ID, "review-progress").get_attribute("value"))
    assert done < 225
    assert page.find_element(By.ID, "review-summary").text.startswith(f"Stopped: {done} of 225 moves reviewed")
    assert stop.text == "Go on"
    stop.click()
    assert len(reviewed(page, 225 * 2 * int(BUDGET) / 1000)) == 225
    assert page.find_element(By.ID, "review-summary").text.endswith("the board is full.")


def test_stepping_through_a_review(page):
    fresh(page)
    page.get(page.base_url + "#moves=" + MISSED + "&review=on")
    reviewed(page)
    cells = [tuple(map(int, c.split(","))) for c in MISSED.split(";")]
    listing = page.find_element(By.ID, "move-list")
    # The review opens on the last move; the keys and a click step through it.
    steps = [(None, 7), (Keys.HOME, 1), (Keys.ARROW_LEFT, 1), (Keys.ARROW_RIGHT, 2), (Keys.END, 7),
             (Keys.ARROW_RIGHT, 7), (Keys.ARROW_LEFT, 6), ("click 5", 5)]
    for key, count in steps:
        if key == "click 5":
            listing.find_elements(By.TAG_NAME, "li")[4].click()
        elif key:
            listing.send_keys(key)
        stones, last, status, stage = shown(page)
        # Move 7 missed a win by fours, which is drawn on the position before it.
        on_board = count - 1 if count == 7 else count
        assert stones == {c: 1 + i % 2 for i, c in enumerate(cells[:on_board])}
        assert last == [list(cells[on_board - 1])]
        assert status.startswith(f"Move {count} of 7: {('Black', 'White')[(count - 1) % 2]} played")
        current = listing.find_element(By.CSS_SELECTOR, "li[aria-current]")
        assert current.get_attribute("data-move") == str(count)
        # Zelto's reasoning is the one for the position before the move.
        assert stage

    # Move 6: White let Black's open three stand, where Zelto in White's place
    # blocks the open four; move 7: Black did not make it.
    for key, stage, words, verdict in [
            (Keys.ARROW_RIGHT, "opp-4open", "In White's place: Zelto blocked an open four: at 6,7 or "
             "10,7 Black would have made", "allowed-win"),
            (Keys.ARROW_RIGHT, "my-4open", "In Black's place: Zelto made an open four at", "missed-win")]:
        listing.send_keys(key)
        assert shown(page)[3] == stage
        assert page.find_element(By.ID, "reason").text.startswith(words)
        assert page.find_element(By.ID, "stats").get_attribute("data-verdict") == verdict
        rings = page.execute_script("return [...document.querySelectorAll('#board [data-mark]')]"
                                    ".map(c => [+c.dataset.x, +c.dataset.y])")
        assert sorted(rings) == [[6, 7], [10, 7]]
    listing.send_keys(Keys.ARROW_LEFT)

    # Play from here: the person takes the side to move, Black, and Zelto answers.
    page.find_element(By.ID, "play-here").click()
    before = idle(page)
    assert len(before) == 6 and page.find_element(By.ID, "status").text.startswith("Your move: you play black")
    assert page.find_element(By.ID, "review").get_attribute("hidden") is not None
    page.find_element(By.ID, "cell-10-7").click()
    after = idle(page)
    assert len(after) == 8 and after[(10, 7)] == 1
    assert "review" not in page.current_url


REFUSED = [
    ("notes.txt", "These are not the moves of a game.\n", "notes.txt cannot be opened: not an SGF or PSQ"),
    ("big.sgf", "(;FF[4]GM[4]SZ[40];B[aa];W[bb])\n", "board is 40 × 40, and the page shows boards from 5 × 5"),
    ("wide.sgf", "(;FF[4]GM[4]SZ[20:15];B[aa];W[bb])\n", "board is 20 × 15, and the page shows square boards"),
    ("occupied.sgf", "(;FF[4]GM[4]SZ[15];B[hh];W[hh])\n", "move 2"),
    # Read up to the NUL, it would be a game of two moves.
    ("cut.psq", PSQ[:PSQ.index("9,8")] + "\0" + PSQ[PSQ.index("9,8"):], "not a text file"),
]


@pytest.mark.parametrize("name,text,message", REFUSED, ids=[r[0] for r in REFUSED])
def test_refused_records_keep_the_game(page, tmp_path, name, text, message):
    fresh(page)
    page.find_element(By.ID, "cell-7-7").click()
    before = idle(page)
    open_file(page, tmp_path, name, text)
    errors = WebDriverWait(page, 30).until(lambda p: p.find_element(By.ID, "errors").text)
    assert message in errors and errors.startswith(name + " cannot be opened: ")
    assert errors.count(name) == 1
    assert page.find_element(By.ID, "review").get_attribute("hidden") is not None
    # The game goes on with the engine, whose game the reader left unknown.
    assert idle(page, errors) == before
    page.find_element(By.ID, "cell-3-3").click()
    after = idle(page, errors)
    assert len(after) == len(before) + 2 and after[(3, 3)] == 1


# A game of 24 moves where both sides miss something, for the screenshots.
SHOWN = ("7,7;8,8;8,7;9,7;6,7;5,7;7,8;7,6;6,9;8,6;6,6;5,5;6,8;6,5;9,6;6,10;8,9;10,5;"
         "9,5;7,9;9,9;10,9;9,4;9,3")


@pytest.mark.parametrize("width,height,name", [(1200, 860, "review"), (390, 844, "review-phone")])
def test_review_fits_the_screen(page, width, height, name):
    cdp(page, "Emulation.setDeviceMetricsOverride",
        {"width": width, "height": height, "deviceScaleFactor": 1, "mobile": width < 600})
    try:
        fresh(page)
        page.get(page.base_url + "#moves=" + SHOWN + "&review=on")
        moves = reviewed(page)
        # The first move with a verdict is shown, or the last.
        shown = next((i for i, m in enumerate(moves) if m[3]), len(moves) - 1)
        page.find_elements(By.CSS_SELECTOR, "#move-list li")[shown].click()
        page.execute_script("window.scrollTo(0, 0)")
        board, listing = (page.find_element(By.ID, i).rect for i in ("board", "move-list"))
        # Nothing is wider than the screen; the moves are beside the board on
        # a wide screen and below it on a phone.
        assert page.execute_script("const e = document.documentElement; "
                                   "return e.scrollWidth <= e.clientWidth")
        beside = listing["x"] >= board["x"] + board["width"]
        assert beside == (width > 600)
        page.save_screenshot(str(ROOT / "build-web" / f"screenshot-{name}.png"))
    finally:
        cdp(page, "Emulation.clearDeviceMetricsOverride", {})


def test_a_record_of_several_games(page, tmp_path):
    fresh(page)
    record = ("(;FF[4]GM[4]SZ[40];B[aa];W[bb])\n"
              "(;FF[4]GM[4]GN[2]SZ[15]C[one game];B[hh]C[0ms];W[aa];B[ih];W[ab];B[jh];W[ac];B[oo])\n"
              "(;FF[4]GM[4]SZ[9];B[ee];W[ff];B[de])\n")
    open_file(page, tmp_path, "games.sgf", record)
    # The first game the page can show opens; a game it cannot show cannot be chosen.
    check_verdicts(reviewed(page))
    choice = Select(page.find_element(By.ID, "review-game"))
    assert [(o.text.split(":")[0], o.is_enabled()) for o in choice.options] == [
        ("Game 1", False), ("Game 2", True), ("Game 3", True)]
    assert choice.first_selected_option.text.startswith("Game 2")
    choice.select_by_index(2)
    assert [m[2] for m in reviewed(page)] == ["4,4", "5,5", "3,4"]
    assert len(page.find_elements(By.CSS_SELECTOR, "#board .cell")) == 9 * 9
    assert page.find_element(By.ID, "review-title").text == "Review of games.sgf, game 3"
    # A file refused while a review is shown leaves the review as it was.
    open_file(page, tmp_path, "notes.txt", "no game here\n")
    WebDriverWait(page, 30).until(lambda p: p.find_element(By.ID, "errors").text)
    assert page.find_element(By.ID, "review-title").text == "Review of games.sgf, game 3"
    assert [m[2] for m in page.execute_script(MOVES)] == ["4,4", "5,5", "3,4"]
    assert set(idle(page, page.find_element(By.ID, "errors").text)) == {(4, 4), (5, 5), (3, 4)}


def test_a_finished_game_is_saved_and_shared(page, downloads, tmp_path):
    # Black's five on row 0 ends the game with move 9.
    game = "0,0;9,9;1,0;9,8;2,0;9,7;3,0;9,6;4,0"
    fresh(page)
    page.get(page.base_url + "#moves=" + game + "&size=12&review=on")
    reviewed(page)
    assert page.find_element(By.ID, "review-summary").text.endswith("Black won with five in a row.")
    wins = page.execute_script("return [...document.querySelectorAll('#board .win')].map(c => +c.dataset.x)")
    assert sorted(wins) == [0, 1, 2, 3, 4]
    # The game is over after its last move, not before it.
    play = page.find_element(By.ID, "play-here")
    assert not play.is_enabled()
    page.find_element(By.ID, "move-list").send_keys(Keys.ARROW_LEFT)
    assert play.is_enabled()

    root, moves = saved_game(page, downloads)
    assert (root["SZ"], root["RE"], "PB" in root) == ("12", "B+", False)
    assert ";".join("%d,%d" % m[1:] for m in moves) == game
    assert copied_link(page).endswith("#moves=" + game + "&size=12&review=on")
    # The saved file opens as the same game.
    open_file(page, tmp_path, "saved.sgf", next(downloads.glob("*.sgf")).read_text(encoding="utf-8"))
    WebDriverWait(page, 30).until(
        lambda p: p.find_element(By.ID, "review-title").text == "Review of saved.sgf")
    assert ";".join(m[2] for m in reviewed(page)) == game
    # A move after the five is refused as a link.
    page.get("about:blank")
    page.get(page.base_url + "#moves=" + game + ";5,5&review=on")
    errors = WebDriverWait(page, 30).until(lambda p: p.find_element(By.ID, "errors").text)
    assert errors == "This link cannot be opened: move 10 comes after a five."
    assert idle(page, errors) == {}
