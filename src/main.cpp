#include "protocol.h"

int main() {
    fce_StartUp();
    for (;;) {
        fce_GetLine();
        fce_DoCommand();
    }
}
