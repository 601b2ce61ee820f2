// Zelto's reasons for one of its moves, in a player's words, from the report
// that the engine leaves after its turn (zelto_reasoning in engine.cpp):
//   { stage, cut, move: [x, y], candidates: [[x, y, value, mark], ...] }
// Every move comes from one stage of a fixed chain: a five, an open four, a
// double threat, a forced sequence of threats (the opponent's first), the
// best-placed candidate, or a random cell. The open-four, double-threat and
// sequence stages add a mark to the value of the cells they found; the
// positional score then goes on top of every candidate, and the highest
// value is played.

// The marks the stages add, by the name a marked point carries.
const MARKS = { 1000000: 'open-four', 100000: 'double-threat', 10000: 'threat-sequence' };
const MARK_WORDS = { 'open-four': 'open four', 'double-threat': 'double threat',
  'threat-sequence': 'threat sequence' };

const cell = ([x, y]) => `${x},${y}`;
const either = (cells) => cells.map(cell).join(' or ');

// What decided the move, as one sentence (two when time cut the threat search).
// `you` names Zelto's opponent: the person in a game, a colour in a review.
function sentence(stage, cut, move, marked, you) {
  const yours = you === 'you' ? 'yours' : `${you}'s`;
  const at = cell(move);
  const sequence = /^(opp|my)-(?:seq|line)(\d+)$/.exec(stage);
  // A double threat or sequence marks one cell, which a much better placed
  // candidate can outweigh.
  const elsewhere = marked.length && !marked.some(([x, y]) => x === move[0] && y === move[1])
    ? ` It played ${at} instead, which scored higher on position.` : '';
  if (sequence) {
    const [, side, depth] = sequence;
    const lines = stage.includes('line') ? ', along the lines of each threat' : '';
    const from = elsewhere ? either(marked) : at;
    const mine = side === 'my';
    const found = mine
      ? (elsewhere ? `Zelto found a forced sequence of threats starting at ${from}`
        : `Zelto started a forced sequence of threats at ${from}`)
      : (elsewhere ? `Zelto found that ${you} could start a forced sequence of threats at ${from}`
        : `Zelto took ${from}, the cell from which ${you} could start a forced sequence of threats`);
    if (cut) {
      return `${found}. Time ran out while it searched the sequence to depth ${depth}${lines}, ` +
        `so it did not search it to its end and took it to win for ${mine ? 'Zelto' : you}.${elsewhere}`;
    }
    return `${found}: it searched the sequence to its end, to depth ${depth}${lines}, and every ` +
      `defence ${mine ? `of ${yours}` : "of Zelto's"} loses.${elsewhere}`;
  }
  switch (stage) {
    case 'own-five': return `Zelto completed a five at ${at}.`;
    case 'block-five': return `Zelto blocked a five: ${you} would have completed five in a row at ${at}.`;
    case 'my-4open':
      return `Zelto made an open four at ${at}: four in a row with both ends free, ` +
        `so ${you} cannot stop its five.`;
    case 'opp-4open':
      return `Zelto blocked an open four: at ${either(marked)} ${you} would have made four in a row ` +
        'with both ends free.';
    case 'my-2threat':
      return elsewhere ? `Zelto found a double threat at ${either(marked)}.${elsewhere}`
        : `Zelto made a double threat at ${at}: two threats at once, and ${you} can block only one.`;
    case 'opp-2threat':
      return elsewhere ? `Zelto saw that ${you} would make a double threat at ${either(marked)}.${elsewhere}`
        : `Zelto took ${at}, the cell where ${you} would have made a double threat.`;
    case 'positional':
      return `Zelto chose the best-placed candidate, ${at}: no five, open four, double threat or ` +
        'sequence of threats decided this move.';
    case 'random': return `Zelto played a random cell, ${at}: no free cell is near the last moves.`;
    default: return 'Zelto found no free cell.';
  }
}

// The report as the page shows it: { stage, cut, text, cells } with, for each
// candidate, { x, y, value, mark, heat, title }. heat runs from 0 for the
// lowest value to 1 for the highest by rank, so that the order of candidates
// shows even when a mark outweighs every positional score many times.
export function reasonsOf(report, you = 'you') {
  const { stage, cut, move, candidates } = report;
  const top = Math.max(0, ...candidates.map((c) => c[2]));
  const values = [...new Set(candidates.map((c) => c[2]))].sort((a, b) => a - b);
  const rank = new Map(values.map((value, i) => [value, values.length > 1 ? i / (values.length - 1) : 0]));
  const cells = candidates.map(([x, y, value, mark]) => {
    const name = MARKS[mark] || '';
    const title = `${x},${y}: value ${value.toLocaleString('en')}` + (name
      ? ` (${MARK_WORDS[name]} ${mark.toLocaleString('en')} + position ${(value - mark).toLocaleString('en')})`
      : '');
    return { x, y, value, mark: name, heat: rank.get(value), title };
  });
  let text = sentence(stage, cut, move, candidates.filter((c) => c[3]), you);
  const best = cells.filter((c) => c.value === top).length;
  if (stage === 'positional' && best > 1) {
    text += ` ${best} candidates shared the best value, and it picked one of them at random.`;
  }
  return { stage, cut, text, cells };
}
