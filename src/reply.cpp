// The reply writer: one whole line at a time under the stdout lock.
#include "reply.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform.h"

void fce_WriteToPipe(const char* format, ...) {
    std::lock_guard<std::mutex> lock(plat::StdoutLock());
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
}
