// The page: a manager for one player against Zelto. It sends protocol lines
// to the engine in its Web Worker, reads the replies, and judges the game.
import { Game } from './game.js';

const $ = (id) => document.getElementById(id);
const boardEl = $('board');
const statusEl = $('status');
const statsEl = $('stats');
const errorsEl = $('errors');
const sizeEl = $('size');
const firstEl = $('first');
const timeEl = $('time');
const undoEl = $('undo');
const resignEl = $('resign');

const COLOUR = { 1: 'black', 2: 'white' };
const MOVE_LINE = /^\s*(-?\d+)\s*,\s*(-?\d+)\s*$/;
const STATS_LINE = /time=([\d.]+) s, eval=(-?\d+), depth=(\d+), nodes=(\d+)/;

let worker = null;
let engineAlive = false;
let engineSize = 0;   // board size of the engine's last START
let game = null;
let human = 1;        // the person's stone; 1 moves first
let thinking = false; // a move has been asked for and not answered yet
let over = null;      // { winner: stone or 0, text, final } once the game has ended
let turnStats = null; // the statistics line of the turn being answered
let cursor = { x: 0, y: 0 };

const zelto = () => 3 - human;

function startEngine() {
  stopEngine();
  const own = new Worker('engine-worker.js');
  // Nothing from an engine that has been replaced reaches the game.
  own.onmessage = (event) => own === worker && fromEngine(event.data);
  own.onerror = (event) => own === worker && engineStopped('could not run: ' + event.message);
  worker = own;
  engineAlive = true;
  engineSize = 0;
}

function stopEngine() {
  if (worker) worker.terminate();
  worker = null;
  engineAlive = false;
}

function send(...lines) {
  worker.postMessage(lines.map((line) => line + '\n').join(''));
}

function fromEngine(message) {
  if ('line' in message) engineLine(message.line);
  else if ('stderr' in message) showError('Engine: ' + message.stderr);
  else if ('exit' in message) engineStopped('ended (exit status ' + message.exit + ')');
  else if ('crash' in message) engineStopped('crashed: ' + message.crash);
}

// Reads one reply as a manager does: statistics, a move, or anything else,
// which is shown as an error.
function engineLine(line) {
  const lower = line.toLowerCase();
  if (line === 'OK' || lower.startsWith('debug')) return;
  if (lower.startsWith('message')) {
    if (thinking) turnStats = STATS_LINE.exec(line);
    return;
  }
  const move = MOVE_LINE.exec(line);
  if (move && thinking) engineMoved(Number(move[1]), Number(move[2]));
  else showError('Engine: ' + line);
}

function engineStopped(why) {
  engineAlive = false;
  showError("Zelto's engine " + why);
  if (game && !over) finish(human, "Zelto lost: its engine " + why, true);
}

function engineMoved(x, y) {
  thinking = false;
  const problem = game.problem(x, y);
  if (problem) {
    finish(human, `Zelto lost: its move ${x},${y} ${problem}`, true);
    return;
  }
  game.place(x, y, zelto(), true);
  const [, time, evaluation, depth, nodes] = turnStats || [];
  statsEl.textContent = !turnStats ? `Zelto played ${x},${y} without a statistics line.`
    : `Zelto played ${x},${y} in ${Number(time).toFixed(2)} s` + (Number(nodes)
      ? `: it searched ${Number(nodes).toLocaleString('en')} positions up to depth ${depth} ` +
        `and rated the position ${evaluation}.`
      : ', without a search.');
  judge(x, y);
}

// Ends the game when the stone at (x, y) made five or filled the board.
function judge(x, y) {
  const five = game.five(x, y);
  const stone = game.stoneAt(x, y);
  if (five) {
    for (const [cx, cy] of five) cellAt(cx, cy).classList.add('win');
    finish(stone, stone === human ? 'You win: five in a row!' : 'Zelto wins: five in a row.');
  } else if (game.full()) {
    finish(0, 'Draw: the board is full.');
  } else {
    render();
  }
}

// final: the game cannot be taken back (a resignation or a faulty engine).
function finish(winner, text, final = false) {
  over = { winner, text, final };
  thinking = false;
  render();
}

function play(x, y) {
  if (!game || over || thinking || game.problem(x, y)) return;
  game.place(x, y, human, false);
  judge(x, y);
  if (over) return;
  game.moves[game.moves.length - 1].sent = true;
  askEngine(`TURN ${x},${y}`);
}

function askEngine(line) {
  thinking = true;
  turnStats = null;
  send(line);
  render();
}

function newGame() {
  const size = Number(sizeEl.value);
  // A turn cannot be cut short: an engine still thinking is replaced.
  if (!engineAlive || thinking) startEngine();
  send(size === engineSize ? 'RESTART' : `START ${size}`, `INFO timeout_turn ${timeEl.value}`);
  engineSize = size;
  human = firstEl.value === 'you' ? 1 : 2;
  game = new Game(size);
  over = null;
  thinking = false;
  statsEl.textContent = '';
  errorsEl.replaceChildren();
  cursor = { x: size >> 1, y: size >> 1 };
  buildBoard();
  if (human === 2) askEngine('BEGIN');
  else render();
}

// Takes back Zelto's last move and yours, or only yours when the game ended
// on it; the engine is told of every stone it knew.
function undo() {
  if (!canUndo()) return;
  for (;;) {
    const move = game.takeBack();
    if (move.sent) send(`TAKEBACK ${move.x},${move.y}`);
    if (move.stone === human) break;
  }
  over = null;
  for (const cell of boardEl.querySelectorAll('.win')) cell.classList.remove('win');
  render();
}

function canUndo() {
  return game && !thinking && !(over && over.final) && game.moves.some((m) => m.stone === human);
}

function resign() {
  if (!game || over) return;
  if (thinking) stopEngine();
  finish(zelto(), 'You resigned: Zelto wins.', true);
}

function showError(text) {
  const item = document.createElement('li');
  item.textContent = text;
  errorsEl.append(item);
}

function cellAt(x, y) {
  return boardEl.querySelector(`[data-x="${x}"][data-y="${y}"]`);
}

function label(text) {
  const el = document.createElement('div');
  el.className = 'label';
  el.textContent = text;
  return el;
}

// Column numbers on top, row numbers on the left, then the points.
function buildBoard() {
  const n = game.size;
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

function render() {
  const last = game.moves[game.moves.length - 1];
  for (const cell of boardEl.querySelectorAll('.cell')) {
    const x = Number(cell.dataset.x);
    const y = Number(cell.dataset.y);
    const stone = game.stoneAt(x, y);
    if (stone) cell.dataset.stone = stone;
    else delete cell.dataset.stone;
    cell.classList.toggle('last', !!last && last.x === x && last.y === y);
    cell.classList.toggle('cursor', cursor.x === x && cursor.y === y);
    cell.setAttribute('aria-label', `${x},${y} ${stone ? COLOUR[stone] : 'empty'}`);
  }
  boardEl.setAttribute('aria-activedescendant', `cell-${cursor.x}-${cursor.y}`);
  boardEl.classList.toggle('thinking', thinking);
  boardEl.setAttribute('aria-busy', String(thinking));
  statusEl.dataset.result = over ? String(over.winner || 'draw') : '';
  statusEl.classList.toggle('thinking', thinking);
  statusEl.textContent = over ? over.text
    : thinking ? 'Zelto is thinking…'
    : `Your move: you play ${COLOUR[human]}.`;
  undoEl.disabled = !canUndo();
  resignEl.disabled = !game || !!over;
}

boardEl.addEventListener('click', (event) => {
  const cell = event.target.closest('.cell');
  if (!cell || !game) return;
  cursor = { x: Number(cell.dataset.x), y: Number(cell.dataset.y) };
  if (!over && !thinking) play(cursor.x, cursor.y);
  render();
});

const STEPS = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
boardEl.addEventListener('keydown', (event) => {
  if (!game) return;
  if (event.key in STEPS) {
    const [dx, dy] = STEPS[event.key];
    const clamp = (v) => Math.min(game.size - 1, Math.max(0, v));
    cursor = { x: clamp(cursor.x + dx), y: clamp(cursor.y + dy) };
    render();
  } else if (event.key === 'Enter' || event.key === ' ') {
    play(cursor.x, cursor.y);
  } else {
    return;
  }
  event.preventDefault();
});

for (let n = 5; n <= 30; n++) sizeEl.add(new Option(`${n} × ${n}`, n, n === 15, n === 15));
timeEl.addEventListener('change', () => {
  if (engineAlive) send(`INFO timeout_turn ${timeEl.value}`);
});
$('new-game').addEventListener('click', newGame);
undoEl.addEventListener('click', undo);
resignEl.addEventListener('click', resign);
startEngine();
newGame();
