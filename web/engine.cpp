// The engine's entry for the browser, built with emscripten into the module
// that engine-worker.js loads. The Web Worker queues the page's protocol text
// as standard input and calls zelto_command once for every whole line it has
// queued. No worker thread is started, so each turn runs inline on the Web
// Worker's one thread while the page stays responsive, and the replies leave
// through standard output a line at a time.
#include <emscripten.h>

#include "platform.h"
#include "protocol.h"

extern "C" {
// Reads one command line (a BOARD block reads on to its DONE) and carries it out.
void zelto_command();
}

EMSCRIPTEN_KEEPALIVE void zelto_command() {
    fce_GetLine();
    fce_DoCommand();
}

int main() {
    plat::SetUpStdio();
    return 0;
}
