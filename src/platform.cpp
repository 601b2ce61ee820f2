#include "platform.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <time.h>
#include <unistd.h>
#endif

namespace plat {

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = true;
    }
    if (manual_)
        cv_.notify_all();
    else
        cv_.notify_one();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

void Event::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return signalled_; });
    if (!manual_) signalled_ = false;
}

void StartThread(void (*fn)(void*), void* arg) {
    std::thread(fn, arg).detach();
}

namespace {

// The threat search reads the clock before every answer it tries, about two
// million times a second, so the read must be cheap. On Linux the coarse
// monotonic clock is read from memory the kernel shares, without the time
// stamp counter (about a quarter of the cost in a virtual machine); it moves
// once per kernel tick (1 to 10 ms), about as often as the system timer the
// engine's clock once counted on Windows.
std::uint32_t SteadyTicks() {
#ifdef __linux__
    timespec now;
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) == 0)
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(now.tv_sec) * 1000 +
                                          static_cast<std::uint64_t>(now.tv_nsec) / 1000000);
#endif
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

std::atomic<TickSource> g_tickSource{nullptr};
ExitHook g_exitHook = nullptr;

}  // namespace

std::uint32_t GetTickCount() {
    TickSource source = g_tickSource.load(std::memory_order_relaxed);
    return source ? source() : SteadyTicks();
}

void SetTickSource(TickSource source) {
    g_tickSource.store(source, std::memory_order_relaxed);
}

bool StdinIsConsole() {
#ifdef _WIN32
    // Only a console has a console mode: the call fails on a pipe or a file.
    // (_isatty would also call the NUL device a console.)
    DWORD mode;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
    return isatty(STDIN_FILENO) != 0;
#endif
}

void SetUpStdio() {
#ifdef __EMSCRIPTEN__
    // In the browser, input arrives from the page in pieces. Unbuffered, the
    // line reader takes only the bytes it needs, so whatever is still queued
    // in the page's Web Worker is exactly the input not yet read.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
#endif
#ifdef _WIN32
    // The line reader must see the bytes as sent. In text mode the C library
    // would turn CR LF into LF (hiding a second carriage return) and take a
    // Ctrl-Z byte for the end of input, ending the engine mid-game. Replies
    // stay in text mode and so end in CR LF, as Windows programs' lines do.
    _setmode(_fileno(stdin), _O_BINARY);
#endif
}

std::mutex& StdoutLock() {
    static std::mutex lock;
    return lock;
}

void Exit(int status) {
    {
        // Never cut a line that the other thread is writing.
        std::lock_guard<std::mutex> lock(StdoutLock());
        std::fflush(stdout);
    }
    if (g_exitHook) g_exitHook(status);
#ifdef _WIN32
    // ExitProcess would stop the worker wherever it is and then run the DLL
    // and thread-library detach code, which can wait forever on a lock the
    // worker held. The replies are already in the pipe, so nothing is lost.
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
    std::_Exit(status);
}

void SetExitHook(ExitHook hook) {
    g_exitHook = hook;
}

}  // namespace plat
