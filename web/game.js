// The game as the page judges it: stones on a square board, five or more in a
// row wins, a full board is a draw. Stone 1 is the first player's, 2 the
// second player's.

const DIRECTIONS = [[1, -1], [1, 1], [1, 0], [0, 1]];

export class Game {
  constructor(size) {
    this.size = size;
    this.cells = new Uint8Array(size * size);
    // { x, y, stone, sent }: sent once the engine has been told of the stone.
    this.moves = [];
  }

  stoneAt(x, y) {
    return this.inside(x, y) ? this.cells[y * this.size + x] : 0;
  }

  inside(x, y) {
    return x >= 0 && y >= 0 && x < this.size && y < this.size;
  }

  // Why a move may not be played, or null when it may.
  problem(x, y) {
    if (x === -1 && y === -1) return 'is no move';
    if (!this.inside(x, y)) return 'is off the board';
    if (this.stoneAt(x, y)) return 'is on a stone';
    return null;
  }

  place(x, y, stone, sent) {
    this.cells[y * this.size + x] = stone;
    this.moves.push({ x, y, stone, sent });
  }

  takeBack() {
    const move = this.moves.pop();
    this.cells[move.y * this.size + move.x] = 0;
    return move;
  }

  full() {
    return this.moves.length === this.size * this.size;
  }

  // Every cell of each row of five or more through (x, y), or null.
  five(x, y) {
    const stone = this.stoneAt(x, y);
    const cells = [];
    for (const [dx, dy] of DIRECTIONS) {
      const run = [[x, y]];
      for (const sign of [1, -1]) {
        let cx = x + sign * dx, cy = y + sign * dy;
        while (stone && this.stoneAt(cx, cy) === stone) {
          run.push([cx, cy]);
          cx += sign * dx;
          cy += sign * dy;
        }
      }
      if (run.length >= 5) cells.push(...run);
    }
    return cells.length ? cells : null;
  }
}
