// Reviewing a game: a record opened from a file or a link, its moves listed
// with Zelto's verdicts, and any position of it shown with Zelto's reasoning
// for the position before its move, and the win by fours a move missed or
// allowed drawn on the board. The engine's worker reads the record and
// reviews one move per job, so the review can stop between moves and the
// page stays responsive; the page only asks for the next move when the last
// one is answered, and draws at most once a frame while answers come.
import { buildBoard, cellAt, drawFive, drawLine, drawReasons, drawStones } from './board.js';
import { Game } from './game.js';
import { reasonsOf } from './reasoning.js';
import { MAX_SIZE, MIN_SIZE, linkOf, sgfOf } from './record.js';
import { lineWords, otherSide, sideName, solvedWords, stepsWords } from './wins.js';

const $ = (id) => document.getElementById(id);
const COLOUR = { 1: 'Black', 2: 'White' };
const VERDICT = { 'missed-win': 'missed win', 'missed-block': 'missed block', 'allowed-win': 'allowed win' };
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
  //   numbered()                 whether the stones are numbered
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
    this.shown = 0;       // the move selected: the position after it is shown, or the one before
    this.onBoard = 0;     // the moves on the board as last drawn
    this.found = null;    // { shown, count, id, answer }: a search of the position after count moves
    this.frame = 0;       // a drawing requested for the next frame
    this.el = {
      panel: $('review'), title: $('review-title'), choice: $('review-game'),
      summary: $('review-summary'), progress: $('review-progress'), list: $('move-list'),
      stop: $('review-stop'), play: $('play-here'), strip: $('game-strip'), find: $('find-win'),
      board: $('board'), status: $('status'), stats: $('stats'), reason: $('reason'),
      caption: $('line-caption'),
    };
    for (const el of [this.el.list, this.el.strip]) {
      el.addEventListener('click', (event) => {
        const item = event.target.closest('[data-move]');
        if (item) this.show(Number(item.dataset.move));
      });
    }
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
    this.found = null;
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
    this.el.strip.replaceChildren(...moves.map((_, i) => {
      const part = document.createElement('span');
      part.dataset.move = i + 1;
      part.setAttribute('role', 'listitem');
      this.label(part, i);
      return part;
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
      const { verdict, kind, forced, cut } = reviewed;
      if (verdict) Object.assign(item.dataset, { verdict, kind });
      if (forced) item.dataset.forced = forced.side;
      item.querySelector('.verdict').textContent = VERDICT[verdict] || '';
      const part = this.el.strip.children[this.next];
      part.dataset.forced = forced ? forced.side : cut ? 'cut' : 'none';
      if (verdict) part.dataset.verdict = verdict;
      this.label(part, this.next);
      this.next++;
      this.step();
    }
    this.scheduleRender();
  }

  // A part of the strip in words: whether the mover could win by fours before the move.
  label(part, index) {
    const result = this.results[index];
    const mover = COLOUR[1 + (index % 2)];
    const state = !result ? 'not reviewed yet'
      : result.forced ? `${mover} could win by fours`
      : result.cut ? 'the search was cut, nothing is known'
      : `${mover} had no win by fours`;
    const text = `Move ${index + 1}, ${mover}: ${state}` +
      (result && result.verdict ? `; ${VERDICT[result.verdict]}` : '');
    part.title = text;
    part.setAttribute('aria-label', text);
  }

  // Draws in the next frame, once however many answers came before it.
  scheduleRender() {
    if (!this.frame) {
      this.frame = requestAnimationFrame(() => {
        this.frame = 0;
        this.render();
      });
    }
  }

  // Searches the position on the board for a win by fours of the side to move.
  findWin() {
    if (!this.active) return;
    const count = this.onBoard;
    const moves = this.game.moves.slice(0, count).map((m) => `${m.x},${m.y}`).join(';');
    this.found = { shown: this.shown, count, id: ++this.jobs, answer: null };
    this.host.post({ solve: { id: this.jobs, width: this.game.size, height: this.game.size, moves } });
    this.render();
  }

  // The worker's answer to findWin: { id, side, outcome, line, nodes } or { id, error }.
  solved(answer) {
    if (!this.found || answer.id !== this.found.id) return;
    if (answer.error) {
      this.host.showError(`The position could not be searched: ${answer.error}.`);
      this.found = null;
    } else {
      this.found.answer = answer;
    }
    this.render();
  }

  // The engine stopped: no answer will come.
  engineStopped() {
    this.pending = null;
    this.running = false;
    if (this.found && !this.found.answer) this.found = null;
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
    cancelAnimationFrame(this.frame);
    this.frame = 0;
    this.found = null;
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
    const shown = Math.max(Math.min(count, this.game.moves.length), Math.min(1, this.game.moves.length));
    if (shown !== this.shown) this.found = null;
    this.shown = shown;
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

  // Turns the position on the board into a game: the person plays the side to move.
  playHere() {
    const game = this.position(this.onBoard);
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
    const verdicts = `${plural(count('missed-win'), 'missed win')}, ${plural(count('missed-block'), 'missed block')}, ` +
      plural(count('allowed-win'), 'allowed win');
    const progress = this.next === n ? `Reviewed all ${plural(n, 'move')}`
      : `${this.running ? 'Reviewing' : 'Stopped'}: ${this.next} of ${plural(n, 'move')} reviewed`;
    return `${progress}: ${verdicts}; ${result}.`;
  }

  // The line drawn on the board for the selected move, if any: a search's
  // answer for the position on the board, or the win by fours of the move's
  // verdict. A missed win is drawn on the position before the move, where it
  // stood; an allowed win on the position after it. { count: the moves on the
  // board, line, side: the winner, caption, outcome, source } or null.
  drawn(result) {
    const { shown } = this;
    const found = this.found && this.found.shown === shown ? this.found : null;
    if (found) {
      const { count, answer } = found;
      if (!answer) {
        const side = count % 2 ? 'white' : 'black';
        return { count, caption: `Searching for a win by fours of ${sideName(side)}…`, outcome: 'searching',
          source: 'search' };
      }
      return { count, line: answer.outcome === 'win' ? answer.line : null, side: answer.side,
        caption: solvedWords(answer), outcome: answer.outcome, source: 'search' };
    }
    if (!result || result.kind !== 'fours' || !result.line.length) return null;
    const mover = result.player;
    const missed = result.verdict === 'missed-win';
    const side = missed ? mover : otherSide(mover);
    const { x, y } = this.game.moves[shown - 1];
    const caption = missed
      ? `On the board: the position before move ${shown}, with the win ${sideName(mover)} missed ` +
        `(${stepsWords(result.line, side)}). ${sideName(mover)} played ${x},${y} instead, ringed with dashes.`
      : `On the board: the position after move ${shown}, with the win it allowed ${sideName(side)} ` +
        `(${stepsWords(result.line, side)}).`;
    return { count: missed ? shown - 1 : shown, line: result.line, side, caption, outcome: 'win', source: 'verdict' };
  }

  // The move's review in words: the board's fact first, then what Zelto's own
  // turn would have played where that differs, and whether a search was cut.
  words(result) {
    if (!result) return 'This move has not been reviewed yet.';
    const parts = [result.text || 'No verdict on this move.'];
    if (result.engine) parts.push(result.engine);
    if (!result.verdict && result.forced) {
      const { side, line } = result.forced;
      parts.push(line.length === 1 ? `${sideName(side)}, to move, could make five at ${line[0].join(',')}.`
        : `${sideName(side)}, to move, could win by fours: ${lineWords(line)}.`);
    }
    if (result.cut) parts.push('A search of the whole board was cut here, so it gives no verdict.');
    return parts.join(' ');
  }

  render() {
    if (!this.active) return;
    const { game, shown, el } = this;
    const n = game.moves.length;
    const move = game.moves[shown - 1];
    const result = this.results[shown - 1];
    const drawn = this.drawn(result);
    this.onBoard = drawn ? drawn.count : shown;
    const position = this.position(this.onBoard);
    const last = game.moves[this.onBoard - 1];
    drawStones(el.board, position, last || { x: game.size >> 1, y: game.size >> 1 }, this.host.numbered());
    drawFive(el.board, last && position.five(last.x, last.y));
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
    for (const item of [...el.list.children, ...el.strip.children]) item.removeAttribute('aria-current');
    if (move) {
      el.list.children[shown - 1].setAttribute('aria-current', 'step');
      el.strip.children[shown - 1].setAttribute('aria-current', 'step');
    }
    el.play.disabled = !!(last && position.five(last.x, last.y)) || position.full();
    el.find.disabled = !!(this.found && !this.found.answer);
    el.status.dataset.result = '';
    el.status.classList.toggle('thinking', state === 'running');
    el.status.textContent = move ? `Move ${shown} of ${n}: ${COLOUR[move.stone]} played ${move.x},${move.y}.`
      : 'This game has no moves.';
    el.stats.textContent = move ? this.words(result) : '';
    el.stats.dataset.verdict = (result && result.verdict) || '';
    // Zelto's reasons as if it were to play the move, naming the mover's opponent.
    const reasons = result && result.reasoning && reasonsOf(result.reasoning, COLOUR[3 - move.stone]);
    if (reasons) reasons.text = `In ${COLOUR[move.stone]}'s place: ${reasons.text}`;
    drawReasons(el.board, el.reason, reasons || null);
    // The cells a verdict names, the ones the mover missed, are ringed; on
    // the position before the move, so is the cell the mover played.
    for (const cell of el.board.querySelectorAll('[data-found], [data-played]')) {
      delete cell.dataset.found;
      delete cell.dataset.played;
    }
    // A cell of the line drawn shows its step alone.
    const onLine = new Set(((drawn && drawn.line) || []).map(([x, y]) => `${x},${y}`));
    for (const [x, y] of (result && result.verdict && result.cells) || []) {
      if (!onLine.has(`${x},${y}`)) cellAt(el.board, x, y).dataset.found = '';
    }
    if (move && this.onBoard < shown) cellAt(el.board, move.x, move.y).dataset.played = move.stone;
    drawLine(el.board, drawn && drawn.line, drawn && drawn.side);
    el.caption.textContent = drawn ? drawn.caption : '';
    el.caption.dataset.outcome = drawn ? drawn.outcome : '';
    el.caption.dataset.source = drawn ? drawn.source : '';
    this.host.setAddress(this.link());
  }
}
