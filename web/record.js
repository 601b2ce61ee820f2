// A game as text: the link that reopens it and the SGF file that keeps it.
//
// A link is the page's address with a fragment such as
//   #moves=7,7;0,0;8,7&size=15&first=you&reasoning=on
// moves lists the stones in the order of play, column first, the first player's
// first; size (default 15) and first (you or zelto, default you) set up the
// board and who plays the first stone; reasoning=on shows Zelto's reasoning;
// review=on opens the game for review, which may have ended in a five or a
// full board.
import { Game } from './game.js';

export const DEFAULT_SIZE = 15;
export const MIN_SIZE = 5;
export const MAX_SIZE = 30;
const MOVE = /^(\d{1,3}),(\d{1,3})$/;
// SGF names a cell by its column letter, then its row letter.
const SGF_LETTERS = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ';

// The game a link describes: { game, zeltoFirst, reasoning, review } with
// reasoning true, false or undefined (not given), or { error } saying why it
// cannot be opened.
export function readLink(fragment) {
  const fields = new Map();
  for (const part of fragment.split('&')) {
    const eq = part.indexOf('=');
    const key = eq < 0 ? part : part.slice(0, eq);
    if (!['moves', 'size', 'first', 'reasoning', 'review'].includes(key)) {
      return { error: `“${part}” is not part of a game link` };
    }
    if (fields.has(key)) return { error: `it gives ${key} twice` };
    let value;
    try {
      value = decodeURIComponent(part.slice(eq + 1));
    } catch {
      return { error: `its ${key} is not readable text` };
    }
    fields.set(key, eq < 0 ? null : value);
  }
  if (!fields.has('moves') || fields.get('moves') === null) {
    return { error: 'it has no list of moves (moves=x,y;x,y;…)' };
  }
  let size = DEFAULT_SIZE;
  if (fields.has('size')) {
    const text = fields.get('size');
    size = /^\d{1,2}$/.test(text) ? Number(text) : NaN;
    if (!(size >= MIN_SIZE && size <= MAX_SIZE)) {
      return { error: `its board size must be a number from ${MIN_SIZE} to ${MAX_SIZE}` };
    }
  }
  const first = fields.has('first') ? fields.get('first') : 'you';
  if (first !== 'you' && first !== 'zelto') return { error: 'first must be “you” or “zelto”' };
  const onOff = (key) => (fields.has(key) ? fields.get(key) : 'off');
  for (const key of ['reasoning', 'review']) {
    if (onOff(key) !== 'on' && onOff(key) !== 'off') return { error: `${key} must be “on” or “off”` };
  }
  const review = onOff('review') === 'on';
  const game = new Game(size);
  const text = fields.get('moves').trim();
  const items = text === '' ? [] : text.split(';');
  for (const [i, item] of items.entries()) {
    // A game to play goes on after its moves; one to review may end with its last.
    if (review && game.moves.length && game.five(game.moves.at(-1).x, game.moves.at(-1).y)) {
      return { error: `move ${i + 1} comes after a five` };
    }
    const move = MOVE.exec(item.trim());
    if (!move) return { error: `“${item}” is not a move x,y (move ${i + 1})` };
    const [x, y] = [Number(move[1]), Number(move[2])];
    const problem = game.problem(x, y);
    if (problem) {
      const why = game.stoneAt(x, y) ? 'takes a cell played before' : `is off the ${size} × ${size} board`;
      return { error: `move ${i + 1}, ${x},${y}, ${why}` };
    }
    game.place(x, y, i % 2 ? 2 : 1, false);
    if (!review && game.five(x, y)) {
      return { error: `move ${i + 1}, ${x},${y}, completes a five: that game is over` };
    }
  }
  if (!review && game.full()) return { error: 'the board is full: that game is over' };
  const reasoning = fields.has('reasoning') ? onOff('reasoning') === 'on' : undefined;
  return { game, zeltoFirst: first === 'zelto', reasoning, review };
}

// The fragment of a link that reopens the game; only what differs from the
// defaults is written, apart from the moves.
export function linkOf(game, zeltoFirst, reasoning, review = false) {
  let link = 'moves=' + game.moves.map((m) => `${m.x},${m.y}`).join(';');
  if (game.size !== DEFAULT_SIZE) link += `&size=${game.size}`;
  if (zeltoFirst) link += '&first=zelto';
  if (reasoning) link += '&reasoning=on';
  if (review) link += '&review=on';
  return link;
}

// The game as an SGF record like the match runner's: the first player is
// Black. result: null while the game goes on, otherwise { winner: 0 for a
// draw, 1 or 2; how: 'five', 'resign' or 'fault'; text }. names: the players,
// Black's first, or null when they are not known; by default the person and
// Zelto as zeltoFirst says.
export function sgfOf(game, zeltoFirst, result, date, names = undefined) {
  const text = (value) => value.replace(/[\\\]]/g, (c) => '\\' + c);
  if (names === undefined) names = zeltoFirst ? ['Zelto', 'Player'] : ['Player', 'Zelto'];
  let head = `(;FF[4]GM[4]CA[UTF-8]SZ[${game.size}]DT[${date}]`;
  if (names) head += `PB[${text(names[0])}]PW[${text(names[1])}]`;
  if (result) {
    const outcome = result.winner === 0 ? '0'
      : 'BW'[result.winner - 1] + '+' + ({ resign: 'R', fault: 'F' }[result.how] || '');
    head += `RE[${outcome}]C[${text(result.text)}]`;
  }
  const moves = game.moves.map((m) => `;${'BW'[m.stone - 1]}[${SGF_LETTERS[m.x]}${SGF_LETTERS[m.y]}]`);
  return head + moves.join('') + ')\n';
}
