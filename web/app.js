// The page: a manager for one player against Zelto. It sends protocol lines
// to the engine in its Web Worker, reads the replies, and judges the game.
// A review (review.js) takes over the board while it is open. In both, the
// engine's solver can search the position shown for a win by fours.
import { buildBoard, drawFive, drawLine, drawReasons, drawStones } from './board.js';
import { Game } from './game.js';
import { reasonsOf } from './reasoning.js';
import { DEFAULT_SIZE, MAX_SIZE, MIN_SIZE, linkOf, readLink, sgfOf } from './record.js';
import { Review } from './review.js';
import { solvedWords } from './wins.js';

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
const reasoningEl = $('reasoning');
const reasonEl = $('reason');
const copyEl = $('copy-link');
const saveEl = $('save');
const findEl = $('find-win');
const numbersEl = $('show-numbers');
const captionEl = $('line-caption');

const COLOUR = { 1: 'black', 2: 'white' };
const MOVE_LINE = /^\s*(-?\d+)\s*,\s*(-?\d+)\s*$/;
const STATS_LINE = /time=([\d.]+) s, eval=(-?\d+), depth=(\d+), nodes=(\d+)/;

let worker = null;
let engineAlive = false;
let engineSize = 0;   // board size of the engine's last START; 0 once a job has left its game unknown
let jobs = 0;         // record, review and solve jobs sent to the worker and not answered
let game = null;
let human = 1;        // the person's stone; 1 moves first
let thinking = false; // a move has been asked for and not answered yet
// { winner: stone or 0, text, final, how: 'five', 'draw', 'resign' or 'fault' }
// once the game has ended
let over = null;
let turnStats = null; // the statistics line of the turn being answered
let cursor = { x: 0, y: 0 };
let reasons = null;   // Zelto's reasons for a move: reasonsOf's, and `moves`, the game's length after it
let found = null;     // a search for a win by fours in the game: { moves: the game's length, id, answer }
let searches = 0;     // the searches asked for in play, which name their jobs
const REASONING_KEY = 'zelto-reasoning';
const NUMBERS_KEY = 'zelto-numbers';

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
  jobs = 0;
}

function stopEngine() {
  if (worker) worker.terminate();
  worker = null;
  engineAlive = false;
}

function send(...lines) {
  worker.postMessage(lines.map((line) => line + '\n').join(''));
}

// Sends a record or review job. It leaves the engine's game unknown, so the
// game in play, if any, is set up afresh before the engine's next turn.
function post(job) {
  if (!engineAlive) startEngine();
  jobs++;
  engineSize = 0;
  worker.postMessage(job);
}

function fromEngine(message) {
  if ('record' in message || 'reviewed' in message || 'solved' in message) jobs--;
  if ('line' in message) engineLine(message.line);
  else if ('reasoning' in message) engineReasons(message.reasoning);
  else if ('record' in message) review.recordRead(message.record);
  else if ('reviewed' in message) review.moveReviewed(message.reviewed);
  else if ('solved' in message) solved(message.solved);
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
  if (found && !found.answer) found = null;
  review.engineStopped();
  showError("Zelto's engine " + why);
  if (game && !over) finish(human, "Zelto lost: its engine " + why, true, 'fault');
}

// Keeps the reasons for the move the engine has just made.
function engineReasons(report) {
  const last = game && game.moves[game.moves.length - 1];
  if (!last || last.stone !== zelto() || last.x !== report.move[0] || last.y !== report.move[1]) return;
  reasons = { ...reasonsOf(report), moves: game.moves.length };
  render();
}

function engineMoved(x, y) {
  thinking = false;
  const problem = game.problem(x, y);
  if (problem) {
    finish(human, `Zelto lost: its move ${x},${y} ${problem}`, true, 'fault');
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
    drawFive(boardEl, five);
    finish(stone, stone === human ? 'You win: five in a row!' : 'Zelto wins: five in a row.', false, 'five');
  } else if (game.full()) {
    finish(0, 'Draw: the board is full.', false, 'draw');
  } else {
    render();
  }
}

// final: the game cannot be taken back (a resignation or a faulty engine).
function finish(winner, text, final, how) {
  over = { winner, text, final, how };
  thinking = false;
  render();
}

function play(x, y) {
  if (!game || over || thinking || game.problem(x, y)) return;
  game.place(x, y, human, false);
  judge(x, y);
  if (over) return;
  // A game opened from a link, or played on after a job, reaches the engine
  // whole with the move played on it.
  if (engineSize === game.size && game.moves.slice(0, -1).every((m) => m.sent)) {
    game.moves[game.moves.length - 1].sent = true;
    askEngine(`TURN ${x},${y}`);
  } else {
    askEngine(...boardBlock());
  }
}

// The whole game as a BOARD block in the order of play, which asks for Zelto's
// move; after a job the engine is started on the board first.
function boardBlock() {
  const start = engineSize === game.size ? [] : startLines(game.size);
  for (const move of game.moves) move.sent = true;
  return [...start, 'BOARD', ...game.moves.map((m) => `${m.x},${m.y},${m.stone === zelto() ? 1 : 2}`), 'DONE'];
}

function startLines(size) {
  const start = size === engineSize ? 'RESTART' : `START ${size}`;
  engineSize = size;
  return [start, `INFO timeout_turn ${timeEl.value}`];
}

function askEngine(...lines) {
  thinking = true;
  reasons = null;
  turnStats = null;
  send(...lines);
  render();
}

function newGame() {
  setUp(new Game(Number(sizeEl.value)), firstEl.value === 'zelto');
}

// Starts the game `played`, whose moves the engine has not been told of, with
// Zelto playing the first stone or the second; asks for Zelto's move when it
// is Zelto's turn.
function setUp(played, zeltoFirst) {
  const size = played.size;
  review.close();
  // A turn or a job cannot be cut short: an engine still busy is replaced.
  if (!engineAlive || thinking || jobs) startEngine();
  send(...startLines(size));
  human = zeltoFirst ? 2 : 1;
  game = played;
  over = null;
  thinking = false;
  reasons = null;
  found = null;
  statsEl.textContent = '';
  clearErrors();
  const last = game.moves[game.moves.length - 1];
  cursor = last ? { x: last.x, y: last.y } : { x: size >> 1, y: size >> 1 };
  buildBoard(boardEl, size);
  // Black, the first player, is to move after an even number of stones.
  if (game.moves.length % 2 === human - 1) render();
  else if (game.moves.length) askEngine(...boardBlock());
  else askEngine('BEGIN');
}

// Opens the game of the address's fragment; a link that cannot be opened is
// refused with the reason, on an empty board.
function openLink(fragment) {
  const link = readLink(fragment);
  if (link.error) {
    newGame();
    showError(`This link cannot be opened: ${link.error}.`);
    return;
  }
  if (link.reasoning !== undefined) showReasoning(link.reasoning);
  if (link.review) {
    review.openGame(link.game);
    return;
  }
  sizeEl.value = link.game.size;
  firstEl.value = link.zeltoFirst ? 'zelto' : 'you';
  setUp(link.game, link.zeltoFirst);
}

// Ends the game in play for a review, which then owns the board.
function enter() {
  if (thinking) startEngine();
  game = null;
  over = null;
  thinking = false;
  reasons = null;
  found = null;
  undoEl.disabled = resignEl.disabled = true;
  saveEl.disabled = false;
}

function showReasoning(on) {
  reasoningEl.checked = on;
  remember(REASONING_KEY, on);
}

function remember(key, on) {
  try {
    localStorage.setItem(key, on ? 'on' : 'off');
  } catch {
    // Storage may be switched off; the choice then lasts for this visit.
  }
}

function remembered(key) {
  try {
    return localStorage.getItem(key) === 'on';
  } catch {
    // Without storage every choice starts off.
    return false;
  }
}

// Searches the position shown for a win by fours of the side to move.
function findWin() {
  if (review.active) {
    review.findWin();
    return;
  }
  if (!game || thinking || over) return;
  found = { moves: game.moves.length, id: `play-${++searches}`, answer: null };
  post({ solve: { id: found.id, width: game.size, height: game.size,
    moves: game.moves.map((m) => `${m.x},${m.y}`).join(';') } });
  render();
}

// The worker's answer to a search, the review's or the game's.
function solved(answer) {
  if (review.active) {
    review.solved(answer);
    return;
  }
  if (!found || answer.id !== found.id) return;
  if (answer.error) {
    showError(`The position could not be searched: ${answer.error}.`);
    found = null;
  } else {
    found.answer = answer;
  }
  render();
}

// Copies the address, which always holds the game, for sharing.
async function copyLink() {
  try {
    await navigator.clipboard.writeText(location.href);
    copyEl.textContent = 'Link copied';
  } catch {
    copyEl.textContent = 'Copy failed';
    showError('The browser did not allow copying; copy the link from the address bar.');
  }
  setTimeout(() => { copyEl.textContent = 'Copy link'; }, 2000);
}

// Saves the game as an SGF file.
function save() {
  const now = new Date();
  const two = (n) => String(n).padStart(2, '0');
  const today = `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())}`;
  const sgf = review.active ? review.sgf(today) : sgfOf(game, human === 2, over, today);
  const blob = new Blob([sgf], { type: 'application/x-go-sgf' });
  const a = document.createElement('a');
  a.href = URL.createObjectURL(blob);
  a.download = `zelto-${today}.sgf`;
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 0);
}

// Takes back Zelto's last move and yours, or only yours when the game ended
// on it; the engine is told of every stone it knew.
function undo() {
  if (!canUndo()) return;
  for (;;) {
    const move = game.takeBack();
    // An engine whose game a job left unknown gets the whole game with the next move.
    if (move.sent && engineSize === game.size) send(`TAKEBACK ${move.x},${move.y}`);
    if (move.stone === human) break;
  }
  over = null;
  reasons = null;
  found = null;
  drawFive(boardEl, null);
  render();
}

function canUndo() {
  return game && !thinking && !(over && over.final) && game.moves.some((m) => m.stone === human);
}

function resign() {
  if (!game || over) return;
  if (thinking) stopEngine();
  finish(zelto(), 'You resigned: Zelto wins.', true, 'resign');
}

function showError(text) {
  const item = document.createElement('li');
  item.textContent = text;
  errorsEl.append(item);
}

function clearErrors() {
  errorsEl.replaceChildren();
}

function render() {
  if (review.active) {
    review.render();
    return;
  }
  drawStones(boardEl, game, cursor, numbersEl.checked);
  boardEl.classList.toggle('thinking', thinking);
  boardEl.setAttribute('aria-busy', String(thinking));
  statusEl.dataset.result = over ? String(over.winner || 'draw') : '';
  statusEl.classList.toggle('thinking', thinking);
  statusEl.textContent = over ? over.text
    : thinking ? 'Zelto is thinking…'
    : `Your move: you play ${COLOUR[human]}.`;
  undoEl.disabled = !canUndo();
  resignEl.disabled = !game || !!over;
  saveEl.disabled = !game;
  // A search's answer, while the game is still at the position searched.
  const search = found && found.moves === game.moves.length ? found : null;
  const answer = search && search.answer;
  findEl.disabled = !game || thinking || !!over || !!(search && !answer);
  drawLine(boardEl, answer && answer.outcome === 'win' ? answer.line : null, answer && answer.side);
  captionEl.textContent = !search ? '' : answer ? solvedWords(answer) : 'Searching for a win by fours…';
  captionEl.dataset.outcome = !search ? '' : answer ? answer.outcome : 'searching';
  captionEl.dataset.source = search ? 'search' : '';
  // Zelto's reasons for its last move, when they are shown and still fit the board.
  const shown = reasoningEl.checked && reasons && reasons.moves === game.moves.length;
  drawReasons(boardEl, reasonEl, shown ? reasons : null);
  setAddress(linkOf(game, human === 2, reasoningEl.checked));
}

// The address follows what the page shows, so that it can be shared or kept at any time.
function setAddress(link) {
  const hash = link === 'moves=' ? '' : '#' + link;
  if (location.hash !== hash) history.replaceState(null, '', hash || location.pathname + location.search);
}

boardEl.addEventListener('click', (event) => {
  const cell = event.target.closest('.cell');
  if (cell && review.active) review.clickCell(Number(cell.dataset.x), Number(cell.dataset.y));
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

for (let n = MIN_SIZE; n <= MAX_SIZE; n++) {
  sizeEl.add(new Option(`${n} × ${n}`, n, n === DEFAULT_SIZE, n === DEFAULT_SIZE));
}
timeEl.addEventListener('change', () => {
  // An engine whose game is unknown gets the time with its next START.
  if (engineAlive && engineSize) send(`INFO timeout_turn ${timeEl.value}`);
});
$('new-game').addEventListener('click', newGame);
undoEl.addEventListener('click', undo);
resignEl.addEventListener('click', resign);
copyEl.addEventListener('click', copyLink);
saveEl.addEventListener('click', save);
reasoningEl.addEventListener('change', () => {
  showReasoning(reasoningEl.checked);
  render();
});
numbersEl.addEventListener('change', () => {
  remember(NUMBERS_KEY, numbersEl.checked);
  render();
});
findEl.addEventListener('click', findWin);
window.addEventListener('hashchange', () => openLink(location.hash.slice(1)));
reasoningEl.checked = remembered(REASONING_KEY);
numbersEl.checked = remembered(NUMBERS_KEY);
const review = new Review({
  post, enter, showError, clearErrors, setAddress,
  budget: () => Number(timeEl.value),
  numbered: () => numbersEl.checked,
  playFrom: (played, zeltoFirst) => {
    sizeEl.value = played.size;
    firstEl.value = zeltoFirst ? 'zelto' : 'you';
    setUp(played, zeltoFirst);
  },
});
startEngine();
if (location.hash.length > 1) openLink(location.hash.slice(1));
else newGame();
