// The board on the page: its points, the stones of a game (numbered in order
// of play when asked), the last move's dot, the cursor, and Zelto's reasons
// and wins by fours drawn over it. The game in play and a review draw through
// these alike.

const COLOUR = { 1: 'black', 2: 'white' };

export function cellAt(boardEl, x, y) {
  return boardEl.querySelector(`[data-x="${x}"][data-y="${y}"]`);
}

function label(text) {
  const el = document.createElement('div');
  el.className = 'label';
  el.textContent = text;
  return el;
}

// Column numbers on top, row numbers on the left, then the points.
export function buildBoard(boardEl, n) {
  boardEl.style.setProperty('--n', n);
  const parts = [label('')];
  for (let x = 0; x < n; x++) parts.push(label(x));
  for (let y = 0; y < n; y++) {
    parts.push(label(y));
    for (let x = 0; x < n; x++) {
      const cell = document.createElement('div');
      cell.className = 'cell';
      cell.id = `cell-${x}-${y}`;
      cell.setAttribute('role', 'gridcell');
      cell.dataset.x = x;
      cell.dataset.y = y;
      if (x === 0) cell.classList.add('left');
      if (x === n - 1) cell.classList.add('right');
      if (y === 0) cell.classList.add('top');
      if (y === n - 1) cell.classList.add('bottom');
      parts.push(cell);
    }
  }
  boardEl.replaceChildren(...parts);
}

// Puts the game's stones on the board, with a dot on its last move and the
// keyboard cursor at `cursor`; with `numbered`, each stone carries the number
// of its move (data-number), which the last move shows in place of its dot.
export function drawStones(boardEl, game, cursor, numbered = false) {
  const last = game.moves[game.moves.length - 1];
  const number = new Map(numbered ? game.moves.map((m, i) => [`${m.x},${m.y}`, i + 1]) : []);
  for (const cell of boardEl.querySelectorAll('.cell')) {
    const x = Number(cell.dataset.x);
    const y = Number(cell.dataset.y);
    const stone = game.stoneAt(x, y);
    if (stone) cell.dataset.stone = stone;
    else delete cell.dataset.stone;
    const n = number.get(`${x},${y}`);
    if (n) cell.dataset.number = n;
    else delete cell.dataset.number;
    cell.classList.toggle('last', !!last && last.x === x && last.y === y);
    cell.classList.toggle('cursor', cursor.x === x && cursor.y === y);
    cell.setAttribute('aria-label', `${x},${y} ${stone ? COLOUR[stone] : 'empty'}`);
  }
  boardEl.setAttribute('aria-activedescendant', `cell-${cursor.x}-${cursor.y}`);
}

// Rings every cell of the fives through (x, y), or clears the rings when five is null.
export function drawFive(boardEl, five) {
  for (const cell of boardEl.querySelectorAll('.win')) cell.classList.remove('win');
  for (const [x, y] of five || []) cellAt(boardEl, x, y).classList.add('win');
}

// Shades the candidates of one of Zelto's decisions by their value and rings
// the cells a stage marked; `shown` is reasonsOf's, or null to clear them.
// The sentence goes to reasonEl.
export function drawReasons(boardEl, reasonEl, shown) {
  boardEl.classList.toggle('reasoning', !!shown);
  for (const cell of boardEl.querySelectorAll('[data-value]')) {
    delete cell.dataset.value;
    delete cell.dataset.mark;
    cell.style.removeProperty('background-color');
    cell.removeAttribute('title');
  }
  reasonEl.textContent = shown ? shown.text : '';
  reasonEl.dataset.stage = shown ? shown.stage : '';
  reasonEl.dataset.cut = shown ? shown.cut : '';
  if (!shown) return;
  for (const { x, y, value, mark, heat, title } of shown.cells) {
    const cell = cellAt(boardEl, x, y);
    cell.dataset.value = value;
    if (mark) cell.dataset.mark = mark;
    cell.style.backgroundColor = `rgb(25 85 220 / ${(0.1 + 0.65 * heat).toFixed(3)})`;
    cell.title = title;
    // What the pointer shows, the cursor tells a screen reader.
    cell.setAttribute('aria-label', `${cell.getAttribute('aria-label')}, ${title.slice(title.indexOf(' ') + 1)}`);
  }
}

// Draws a win by fours (`line`, of the side `winner`, 'black' or 'white') as
// numbered, translucent stones in the colour of the side that plays each:
// the winner's moves (class line-win) and the forced blocks (line-block),
// each cell with its step, from 1, in data-line-step. Null clears it.
export function drawLine(boardEl, line, winner) {
  for (const cell of boardEl.querySelectorAll('[data-line-step]')) {
    delete cell.dataset.lineStep;
    delete cell.dataset.lineStone;
    cell.classList.remove('line-win', 'line-block');
  }
  const first = winner === 'black' ? 1 : 2;
  for (const [i, [x, y]] of (line || []).entries()) {
    const cell = cellAt(boardEl, x, y);
    const block = i % 2 === 1;
    cell.dataset.lineStep = i + 1;
    cell.dataset.lineStone = block ? 3 - first : first;
    cell.classList.add(block ? 'line-block' : 'line-win');
    const what = block ? `forced block by ${COLOUR[3 - first]}` : `${COLOUR[first]}'s move`;
    cell.setAttribute('aria-label', `${cell.getAttribute('aria-label')}, step ${i + 1} of the win: ${what}`);
  }
}
