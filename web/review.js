// Reviewing a game: a record opened from a file or a link, its moves listed
// with Zelto's verdicts, and any position of it shown with Zelto's reasoning
// for the position before its move. The engine's worker reads the record and
// reviews one move per job, so the review can stop between moves and the
// page stays responsive; the page only asks for the next move when the last
// one is answered.
import { buildBoard, cellAt, drawFive, drawReasons, drawStones } from './board.js';
import { Game } from './game.js';
import { reasonsOf } from './reasoning.js';
import { MAX_SIZE, MIN_SIZE, linkOf, sgfOf } from './record.js';

const $ = (id) => document.getElementById(id);
const COLOUR = { 1: 'Black', 2: 'White' };
const VERDICT = { 'missed-win': 'missed win', 'missed-block': 'missed block' };
// Larger files are refused before they reach the engine's memory.
const MAX_FILE_BYTES = 16 << 20;
const plural = (n, word) => `${n} ${word}${n === 1 ? '' : 's'}`;

// What the page can show of a game from a reader: null when it can, else why not.
function unshowable({ size: [width, height] }) {
  if (width !== height) return `its board is ${width} × ${height}, and the page shows square boards only`;
  if (width < MIN_SIZE || width > MAX_SIZE) {
    return `its board is ${width} × ${height}, and the page shows boards from ${MIN_SIZE} × ${MIN_SIZE} ` +
      `to ${MAX_SIZE} × ${MAX_SIZE}`;
  }
  return null;
}

export class Review {
  // host: what the review needs of the page:
  //   post(job)                  sends a job to the engine's worker
  //   enter()                    ends the game in play: the page now shows the review
  //   showError(text), clearErrors()
  //   budget()                   milliseconds per position
  //   setAddress(fragment)
  //   playFrom(game, zeltoFirst) starts a game against Zelto from a position
  constructor(host) {
    this.host = host;
    this.active = false;
    this.jobs = 0;        // the id of the last job sent
    this.reading = null;  // { id, name } of the record being read
    this.games = [];      // the record's games, as the reader gives them
    this.name = '';
    this.game = null;     // the whole game under review
    this.results = [];    // the review of each move, once answered
    this.next = 0;        // the move to review next
    this.running = false; // more moves are to be asked for
    this.pending = null;  // id of the move review being answered
    this.shown = 0;       // the position shown: after this many moves
    this.el = {
      panel: $('review'), title: $('review-title'), choice: $('review-game'),
      summary: $('review-summary'), progress: $('review-progress'), list: $('move-list'),
      stop: $('review-stop'), play: $('play-here'),
      board: $('board'), status: $('status'), stats: $('stats'), reason: $('reason'),
    };
    this.el.list.addEventListener('click', (event) => {
      const item = event.target.closest('li');
      if (item) this.show(Number(item.dataset.move));
    });
    this.el.choice.addEventListener('change', () => this.choose(Number(this.el.choice.value)));
    this.el.stop.addEventListener('click', () => (this.running ? this.stop() : this.resume()));
    this.el.play.addEventListener('click', () => this.playHere());
    document.addEventListener('keydown', (event) => this.key(event));
    // A record opens from the file input, or dropped anywhere on the page,
    // where the browser would otherwise leave the page for the file.
    const input = $('open-game');
    input.addEventListener('change', () => {
      if (input.files.length) this.openFile(input.files[0]);
      input.value = '';
    });
    window.addEventListener('dragover', (event) => {
      event.preventDefault();
      this.el.board.classList.add('drop');
    });
    window.addEventListener('dragleave', () => this.el.board.classList.remove('drop'));
    window.addEventListener('drop', (event) => {
      event.preventDefault();
      this.el.board.classList.remove('drop');
      if (event.dataTransfer.files.length) this.openFile(event.dataTransfer.files[0]);
    });
  }

  // Reads a record file in the engine; a file that cannot be reviewed is
  // refused with the reason, and the page keeps what it shows.
  async openFile(file) {
    if (file.size > MAX_FILE_BYTES) {
      this.host.showError(`${file.name} cannot be opened: it is larger than ${MAX_FILE_BYTES >> 20} MB.`);
      return;
    }
    let text;
    try {
      text = await file.text();
    } catch {
      this.host.showError(`${file.name} cannot be opened: the browser could not read it.`);
      return;
    }
    // The engine reads the text up to its first NUL byte, which no record
    // holds: the rest of the file would be lost without a word.
    if (text.includes('\0')) {
      this.host.showError(`${file.name} cannot be opened: it is not a text file.`);
      return;
    }
    this.reading = { id: ++this.jobs, name: file.name };
    this.host.post({ read: { id: this.jobs, name: file.name, text } });
  }

  // The reader's answer: { id, games } or { id, error }.
  recordRead(record) {
    if (!this.reading || record.id !== this.reading.id) return;
    const { name } = this.reading;
    this.reading = null;
    // The reader's messages start with the file's name, as the page's do.
    const refuse = (why) => this.host.showError(
      `${name} cannot be opened: ${why.startsWith(name + ': ') ? why.slice(name.length + 2) : why}.`);
    if (record.error) return refuse(record.error);
    if (!record.games.length) return refuse('it holds no game');
    const first = record.games.findIndex((g) => !unshowable(g));
    if (first < 0) {
      return refuse(record.games.length === 1 ? unshowable(record.games[0])
        : 'no game in it has a board the page can show');
    }
    this.begin(name, record.games, first);
  }

  // Reviews a game from a link.
  openGame(game) {
    this.begin('', [{ game: 1, size: [game.size, game.size], moves: game.moves.map((m) => [m.x, m.y]) }], 0);
  }

  begin(name, games, index) {
    this.host.enter();
    // A record still being read would replace this game when it came.
    this.reading = null;
    this.host.clearErrors();
    this.active = true;
    this.name = name;
    this.games = games;
    const choice = this.el.choice;
    choice.replaceChildren(...games.map((g, i) => {
      const why = unshowable(g);
      const option = new Option(`Game ${g.game}: ${g.size.join(' × ')}, ${plural(g.moves.length, 'move')}` +
        (g.winner ? `, ${g.winner} won` : '') + (why ? ' (cannot be shown)' : ''), i);
      option.disabled = !!why;
      return option;
    }));
    choice.hidden = games.length < 2;
    this.el.panel.hidden = false;
    document.body.classList.add('reviewing');
    this.choose(index);
  }

  // Starts the review of one game of the record, from its first move.
  choose(index) {
    const { size: [n], moves } = this.games[index];
    this.el.choice.value = index;
    this.game = new Game(n);
    for (const [i, [x, y]] of moves.entries()) this.game.place(x, y, 1 + (i % 2), true);
    this.results = [];
    this.next = 0;
    this.pending = null;
    this.shown = moves.length;
    const where = this.name ? `${this.name}${this.games.length > 1 ? `, game ${this.games[index].game}` : ''}`
      : 'a game from a link';
    this.el.title.textContent = `Review of ${where}`;
    this.el.list.replaceChildren(...moves.map(([x, y], i) => {
      const item = document.createElement('li');
      item.dataset.move = i + 1;
      item.innerHTML = '<span class="number"></span> <span class="player"></span> <span class="at"></span>' +
        ' <span class="verdict"></span>';
      item.querySelector('.number').textContent = `${i + 1}.`;
      item.querySelector('.player').textContent = COLOUR[1 + (i % 2)];
      item.querySelector('.at').textContent = `${x},${y}`;
      return item;
    }));
    buildBoard(this.el.board, n);
    this.running = true;
    this.step();
    this.render();
  }

  // Asks the worker for the review of the next move.
  step() {
    if (!this.running || this.pending) return;
    if (this.next >= this.game.moves.length) {
      this.running = false;
      return;
    }
    this.pending = ++this.jobs;
    const moves = this.game.moves.map((m) => `${m.x},${m.y}`).join(';');
    this.host.post({ review: { id: this.pending, width: this.game.size, height: this.game.size, moves,
      index: this.next, turnMs: this.host.budget() } });
  }

  // The worker's review of one move: { id, move, player, x, y, verdict, cells, text, reasoning } or { id, error }.
  moveReviewed(reviewed) {
    if (reviewed.id !== this.pending) return;
    this.pending = null;
    if (reviewed.error) {
      this.host.showError(`Move ${this.next + 1} could not be reviewed: ${reviewed.error}.`);
      this.running = false;
    } else {
      this.results[this.next] = reviewed;
      const item = this.el.list.children[this.next];
      if (reviewed.verdict) item.dataset.verdict = reviewed.verdict;
      item.querySelector('.verdict').textContent = VERDICT[reviewed.verdict] || '';
      this.next++;
      this.step();
    }
    this.render();
  }

  // The engine stopped: no answer will come.
  engineStopped() {
    this.pending = null;
    this.running = false;
    if (this.active) this.render();
  }

  stop() {
    this.running = false;
    this.render();
  }

  resume() {
    this.running = true;
    this.step();
    this.render();
  }

  close() {
    this.active = false;
    this.running = false;
    this.pending = null;
    this.reading = null;
    this.el.panel.hidden = true;
    document.body.classList.remove('reviewing');
    delete this.el.stats.dataset.verdict;
  }

  // The position after `count` moves.
  position(count) {
    const game = new Game(this.game.size);
    for (const m of this.game.moves.slice(0, count)) game.place(m.x, m.y, m.stone, false);
    return game;
  }

  show(count) {
    if (!this.active) return;
    this.shown = Math.max(Math.min(count, this.game.moves.length), Math.min(1, this.game.moves.length));
    this.render();
    // Scrolls the list alone, never the page, to the move shown.
    const list = this.el.list;
    const item = list.children[this.shown - 1];
    if (!item) return;
    if (item.offsetTop < list.scrollTop) list.scrollTop = item.offsetTop;
    const below = item.offsetTop + item.offsetHeight - list.clientHeight;
    if (below > list.scrollTop) list.scrollTop = below;
  }

  // A click on a stone shows the move that put it there.
  clickCell(x, y) {
    const index = this.game.moves.findIndex((m) => m.x === x && m.y === y);
    if (index >= 0) this.show(index + 1);
  }

  key(event) {
    if (!this.active || event.altKey || event.ctrlKey || event.metaKey) return;
    if (event.target.closest && event.target.closest('input, select, textarea')) return;
    const to = { ArrowLeft: this.shown - 1, ArrowRight: this.shown + 1, Home: 1, End: this.game.moves.length };
    if (!(event.key in to)) return;
    event.preventDefault();
    this.show(to[event.key]);
  }

  // Turns the position shown into a game: the person plays the side to move.
  playHere() {
    const game = this.position(this.shown);
    this.close();
    this.host.playFrom(game, game.moves.length % 2 === 1);
  }

  // The link that reopens this review, whose reasoning is always shown.
  link() {
    return linkOf(this.game, false, false, true);
  }

  sgf(date) {
    const last = this.game.moves[this.game.moves.length - 1];
    const winner = last && this.game.five(last.x, last.y) ? last.stone : 0;
    const result = winner ? { winner, how: 'five', text: `${COLOUR[winner]} won with five in a row.` } : null;
    return sgfOf(this.game, false, result, date, null);
  }

  summary() {
    const n = this.game.moves.length;
    const count = (verdict) => this.results.filter((r) => r && r.verdict === verdict).length;
    const last = this.game.moves[n - 1];
    const result = last && this.game.five(last.x, last.y) ? `${COLOUR[last.stone]} won with five in a row`
      : this.game.full() ? 'the board is full' : 'no five on the board';
    const verdicts = `${plural(count('missed-win'), 'missed win')}, ${plural(count('missed-block'), 'missed block')}`;
    const progress = this.next === n ? `Reviewed all ${plural(n, 'move')}`
      : `${this.running ? 'Reviewing' : 'Stopped'}: ${this.next} of ${plural(n, 'move')} reviewed`;
    return `${progress}: ${verdicts}; ${result}.`;
  }

  render() {
    const { game, shown, el } = this;
    const n = game.moves.length;
    const move = game.moves[shown - 1];
    const position = this.position(shown);
    drawStones(el.board, position, move || { x: game.size >> 1, y: game.size >> 1 });
    drawFive(el.board, move && position.five(move.x, move.y));
    el.board.classList.remove('thinking');
    el.board.setAttribute('aria-busy', 'false');
    // Stopping: the move being reviewed is still to come.
    const state = this.next === n ? 'done' : this.running ? 'running' : this.pending ? 'stopping' : 'stopped';
    el.panel.dataset.state = state;
    el.summary.textContent = this.summary();
    el.progress.max = Math.max(1, n);
    el.progress.value = this.next;
    el.stop.textContent = this.running ? 'Stop' : 'Go on';
    el.stop.hidden = state === 'done';
    for (const item of el.list.children) item.removeAttribute('aria-current');
    if (move) el.list.children[shown - 1].setAttribute('aria-current', 'step');
    el.play.disabled = !!(move && position.five(move.x, move.y)) || position.full();
    el.status.dataset.result = '';
    el.status.classList.toggle('thinking', state === 'running');
    el.status.textContent = move ? `Move ${shown} of ${n}: ${COLOUR[move.stone]} played ${move.x},${move.y}.`
      : 'This game has no moves.';
    const result = this.results[shown - 1];
    el.stats.textContent = !move ? '' : !result ? 'This move has not been reviewed yet.'
      : result.text || 'No verdict on this move.';
    el.stats.dataset.verdict = (result && result.verdict) || '';
    // Zelto's reasons as if it were to play the move, naming the mover's opponent.
    const reasons = result && result.reasoning && reasonsOf(result.reasoning, COLOUR[3 - move.stone]);
    if (reasons) reasons.text = `In ${COLOUR[move.stone]}'s place: ${reasons.text}`;
    drawReasons(el.board, el.reason, reasons || null);
    // The cells a verdict names, the ones the mover missed, are ringed.
    for (const cell of el.board.querySelectorAll('[data-found]')) delete cell.dataset.found;
    for (const [x, y] of (result && result.verdict && result.cells) || []) cellAt(el.board, x, y).dataset.found = '';
    this.host.setAddress(this.link());
  }
}
