// Runs the engine in this Web Worker, as a manager runs it in a process: the
// page's text becomes the engine's standard input, and every line the engine
// writes goes back to the page. A turn runs here, on the worker's one thread,
// so the page stays responsive while the engine thinks.
importScripts('zelto-web.js');

const encoder = new TextEncoder();
let input = [];  // bytes of standard input; those before `read` are consumed
let read = 0;
let engine = null;
let ended = false;

// Carries out every whole line queued. The engine reads its input unbuffered,
// so what is left in `input` is exactly what it has not read yet.
function run() {
  if (!engine || ended) return;
  try {
    while (input.indexOf(10, read) !== -1) engine._zelto_command();
  } catch (error) {
    // END or the end of input ends the engine with a status; anything else
    // is a crash. Either way it takes no more input.
    ended = true;
    if (error && error.name === 'ExitStatus') postMessage({ exit: error.status });
    else postMessage({ crash: String((error && error.message) || error) });
  }
  input = input.slice(read);
  read = 0;
}

onmessage = (event) => {
  for (const byte of encoder.encode(event.data)) input.push(byte);
  run();
};

createZelto({
  print: (line) => postMessage({ line }),
  printErr: (line) => postMessage({ stderr: line }),
  // No byte queued is the end of input, as at a closed pipe.
  stdin: () => (read < input.length ? input[read++] : null),
}).then(
  (module) => {
    engine = module;
    postMessage({ ready: true });
    run();
  },
  (error) => postMessage({ crash: 'cannot load the engine: ' + error }),
);
