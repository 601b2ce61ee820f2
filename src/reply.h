// The reply writer: every line the engine sends to the manager.
#pragma once

#if defined(__GNUC__)
#define ZELTO_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define ZELTO_PRINTF(fmt, args)
#endif

// Writes one reply line under the stdout lock and flushes it.
void fce_WriteToPipe(const char* format, ...) ZELTO_PRINTF(1, 2);
