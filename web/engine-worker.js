// Runs the engine in this Web Worker, as a manager runs it in a process: the
// page's text becomes the engine's standard input, and every line the engine
// writes goes back to the page. A turn runs here, on the worker's one thread,
// so the page stays responsive while the engine thinks. After a command that
// ran a turn, the worker also sends the engine's reasons for that turn.
importScripts('zelto-web.js');

const encoder = new TextEncoder();
let input = [];  // bytes of standard input; those before `read` are consumed
let read = 0;
let engine = null;
let ended = false;
let turned = false;  // the command being carried out ran a turn

// Carries out every whole line queued. The engine reads its input unbuffered,
// so what is left in `input` is exactly what it has not read yet.
function run() {
  if (!engine || ended) return;
  try {
    while (input.indexOf(10, read) !== -1) {
      turned = false;
      engine._zelto_command();
      // Read at once: the next command may change what it describes.
      if (turned) postMessage({ reasoning: JSON.parse(engine.UTF8ToString(engine._zelto_reasoning())) });
    }
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
    run();
  },
  (error) => postMessage({ crash: 'cannot load the engine: ' + error }),
);
