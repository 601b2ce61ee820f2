"""The page in headless Chromium, served by `bash scripts/web.sh` as a person serves it."""
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from conftest import ROOT, idle

WINS = "return [...document.querySelectorAll('#board .win')].map(c => [+c.dataset.x, +c.dataset.y])"


def new_game(page, first, ms):
    Select(page.find_element(By.ID, "first")).select_by_value(first)
    Select(page.find_element(By.ID, "time")).select_by_value(ms)
    page.find_element(By.ID, "new-game").click()
    idle(page)
    assert len(page.find_elements(By.CSS_SELECTOR, "#board [data-x][data-y]")) == 15 * 15



def play(page, x, y, keys=None):
    """Plays (x, y) by a click or keys; Zelto's answer is one new stone on an empty cell."""
    before = idle(page)
    if keys:
        page.find_element(By.ID, "board").send_keys(*keys)
    else:
        page.find_element(By.CSS_SELECTOR, '[data-x="%d"][data-y="%d"]' % (x, y)).click()
    after = idle(page)
    mine = 1 if len(before) % 2 == 0 else 2
    new = {c: s for c, s in after.items() if c not in before}
    assert {c: after[c] for c in before} == before and new.pop((x, y)) == mine
    over = page.find_element(By.ID, "status").get_attribute("data-result")
    assert list(new.values()) == [3 - mine] or (over and not new)
    return after


def test_moves_and_undo(page):
    new_game(page, "you", "1000")
    play(page, 8, 7, keys=[Keys.ARROW_RIGHT, Keys.ENTER])  # the cursor starts in the middle
    position = play(page, 6, 6)
    play(page, 9, 9)
    page.save_screenshot(str(ROOT / "build-web" / "screenshot-game.png"))
    page.find_element(By.ID, "undo").click()
    assert idle(page) == position


def fives(stones):
    for (x, y), s in stones.items():
        for dx, dy in ((1, -1), (1, 1), (1, 0), (0, 1)):
            run = [(x + i * dx, y + i * dy) for i in range(5)]
            if all(stones.get(c) == s for c in run):
                yield s, run


def test_game_to_the_end(page):
    # Zelto moves first; you play along two edges, then anywhere, until the game is over.
    new_game(page, "zelto", "200")
    edge = [(x, y) for y in (0, 14) for x in range(15)] + [(x, y) for x in range(15) for y in range(15)]
    stones = idle(page)
    status = page.find_element(By.ID, "status")
    while not status.get_attribute("data-result"):
        stones = play(page, *next(c for c in edge if c not in stones))
    found = list(fives(stones))
    winner = {s for s, _ in found}
    assert len(winner) <= 1
    expected = str(winner.pop()) if winner else "draw"
    assert status.get_attribute("data-result") == expected
    assert status.text.startswith({"1": "Zelto wins", "2": "You win", "draw": "Draw"}[expected])
    assert {tuple(c) for c in page.execute_script(WINS)} == {c for _, run in found for c in run}
    page.save_screenshot(str(ROOT / "build-web" / "screenshot-end.png"))


# The page's engine worker, started from its own source with the engine's
# loader replaced by one that fails; with lacksVectors, in a browser that
# reports no WebAssembly vector instructions as well. Its first message.
FAILED_LOAD = """
const [lacksVectors, done] = arguments;
fetch('engine-worker.js').then((reply) => reply.text()).then((source) => {
  const stubs = 'self.importScripts = () => {};' +
    'self.createZelto = () => Promise.reject(new Error("no engine here"));' +
    (lacksVectors ? 'WebAssembly.validate = () => false;' : '');
  const worker = new Worker(URL.createObjectURL(new Blob([stubs + source])));
  worker.onmessage = (event) => { worker.terminate(); done(event.data); };
});
"""


def test_engine_that_cannot_load_says_why(page):
    # This browser runs the vector instructions, so the loader's own error is
    # what it reports; one without them is told that they are missing.
    assert page.execute_async_script(FAILED_LOAD, False) == {
        "crash": "cannot load the engine: Error: no engine here"}
    reply = page.execute_async_script(FAILED_LOAD, True)["crash"]
    assert reply.startswith("cannot load the engine: this browser does not run WebAssembly vector")
