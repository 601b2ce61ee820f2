// Wins by fours in words. A line, as the engine's solver and reviewer give
// it, is the winner's moves and the forced blocks in turn, the winner's
// first, ending in the five; a five at once is a line of one cell.

const NAME = { black: 'Black', white: 'White' };

export const otherSide = (side) => (side === 'black' ? 'white' : 'black');
export const sideName = (side) => NAME[side];

const cell = ([x, y]) => `${x},${y}`;

// "6,6 (6,7) 4,8 (3,9) five at 8,4": each forced block in brackets.
export function lineWords(line) {
  const steps = line.slice(0, -1).map((c, i) => (i % 2 ? `(${cell(c)})` : cell(c)));
  return [...steps, `five at ${cell(line[line.length - 1])}`].join(' ');
}

// What the numbered stones of a drawn line are.
export function stepsWords(line, side) {
  const steps = (odd) => line.map((_, i) => i + 1).filter((n) => n % 2 === odd);
  const named = (list, one, many) => `${list.length === 1 ? one : many} ${list.join(', ')}`;
  if (line.length === 1) return `${NAME[side]}'s five is stone 1`;
  return `${NAME[side]}'s ${named(steps(1), 'move is stone', 'moves are stones')}, ` +
    `${NAME[otherSide(side)]}'s ${named(steps(0), 'forced block', 'forced blocks')}`;
}

// A solve's answer, { side, outcome, line, nodes }, as one sentence or two.
export function solvedWords({ side, outcome, line, nodes }) {
  const who = NAME[side];
  const searched = `${nodes.toLocaleString('en')} position${nodes === 1 ? '' : 's'} searched`;
  switch (outcome) {
    case 'win':
      return line.length === 1 ? `${who}, to move, makes five at ${cell(line[0])}.`
        : `${who}, to move, wins by fours: ${lineWords(line)} (${searched}). ` +
          `On the board, ${stepsWords(line, side)}.`;
    case 'no-win':
      return `${who}, to move, has no win by fours (${searched}); a win by threes is not looked for.`;
    case 'finished': return 'A five already stands on the board: the game is over.';
    default:
      return `The search was cut after ${nodes.toLocaleString('en')} positions: it neither found nor ` +
        `ruled out a win by fours for ${who}.`;
  }
}
