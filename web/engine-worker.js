// Runs the engine in this Web Worker, as a manager runs it in a process: the
// page's text becomes the engine's standard input, and every line the engine
// writes goes back to the page. A turn runs here, on the worker's one thread,
// so the page stays responsive while the engine thinks. After a command that
// ran a turn, the worker also sends the engine's reasons for that turn.
//
// Beside protocol text the page sends three jobs, each answered by one message
// carrying the job's id back:
//   { read: { id, name, text } }   -> { record: { id, ...what the reader returns } }
//   { review: { id, width, height, moves, index, turnMs } }
//                                   -> { reviewed: { id, ...the review of that move } }
//   { solve: { id, width, height, moves } }
//                                   -> { solved: { id, side, outcome, line, nodes } }
// A review reviews one move, so the page can stop between moves; a solve
// answers whether the side to move wins by fours. All leave the engine's game
// in an unknown state: the page sets a game up anew after them.
importScripts('zelto-web.js');

const encoder = new TextEncoder();
let input = [];  // bytes of standard input; those before `read` are consumed
let read = 0;
let engine = null;
let ended = false;
let turned = false;  // the command being carried out ran a turn
const queue = [];    // messages that came before the engine was loaded

// Carries out every whole line queued. The engine reads its input unbuffered,
// so what is left in `input` is exactly what it has not read yet.
function run() {
  try {
    while (input.indexOf(10, read) !== -1) {
      turned = false;
      engine._zelto_command();
      // Read at once: the next command may change what it describes.
      if (turned) postMessage({ reasoning: JSON.parse(engine.UTF8ToString(engine._zelto_reasoning())) });
    }
  } catch (error) {
    died(error);
  }
  input = input.slice(read);
  read = 0;
}

// END or the end of input ends the engine with a status; anything else is a
// crash. Either way it takes no more input.
function died(error) {
  ended = true;
  if (error && error.name === 'ExitStatus') postMessage({ exit: error.status });
  else postMessage({ crash: String((error && error.message) || error) });
}

// Calls an entry that takes strings and returns JSON text; the strings go
// through the engine's heap, since a record can be megabytes.
function call(entry, numbers, ...strings) {
  const pointers = [];
  try {
    for (const text of strings) {
      // A copy in the heap from _malloc (the runtime's stringToNewUTF8, by
      // this emscripten's name for it); 0 when the heap cannot grow enough.
      const pointer = engine.allocateUTF8(text);
      if (!pointer) return { error: 'there is not enough memory to read it' };
      pointers.push(pointer);
    }
    return JSON.parse(engine.UTF8ToString(entry(...pointers, ...numbers)));
  } finally {
    for (const pointer of pointers) engine._free(pointer);
  }
}

function job(message) {
  if ('read' in message) {
    const { id, name, text } = message.read;
    postMessage({ record: { ...call(engine._zelto_record_read, [], name, text), id } });
  } else if ('review' in message) {
    const { id, width, height, moves, index, turnMs } = message.review;
    const reviewed = call((m) => engine._zelto_review_move(width, height, m, index, turnMs), [], moves);
    postMessage({ reviewed: { ...reviewed, id } });
  } else if ('solve' in message) {
    const { id, width, height, moves } = message.solve;
    postMessage({ solved: { ...call((m) => engine._zelto_solve(width, height, m), [], moves), id } });
  }
}

function handle(message) {
  if (ended) return;
  if (typeof message === 'string') {
    for (const byte of encoder.encode(message)) input.push(byte);
    run();
    return;
  }
  try {
    job(message);
  } catch (error) {
    died(error);
  }
}

// The engine is built with WebAssembly's 128-bit vector instructions. A
// browser without them cannot compile it; this module of one function that
// makes a vector tells whether that is why, so the page can say so.
const VECTOR_PROBE = new Uint8Array([
  0, 97, 115, 109, 1, 0, 0, 0, // header
  1, 4, 1, 96, 0, 0, // one type: no parameters, no results
  3, 2, 1, 0, // one function of that type
  10, 23, 1, 21, 0, 253, 12, ...new Array(16).fill(0), 26, 11, // v128.const 0, drop, end
]);
const NO_VECTORS = 'this browser does not run WebAssembly vector instructions (SIMD), which the engine needs; ' +
  'a browser released since 2023 does';

function canRunVectors() {
  return WebAssembly.validate(VECTOR_PROBE);
}

onmessage = (event) => {
  if (engine) handle(event.data);
  else queue.push(event.data);
};

createZelto({
  print: (line) => {
    // Only a turn writes its statistics line.
    if (line.startsWith('message time=')) turned = true;
    postMessage({ line });
  },
  printErr: (line) => postMessage({ stderr: line }),
  // No byte queued is the end of input, as at a closed pipe.
  stdin: () => (read < input.length ? input[read++] : null),
}).then(
  (module) => {
    engine = module;
    postMessage({ ready: true });
    for (const message of queue.splice(0)) handle(message);
  },
  (error) => postMessage({ crash: 'cannot load the engine: ' + (canRunVectors() ? error : NO_VECTORS) }),
);
