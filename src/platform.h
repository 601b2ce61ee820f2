// The one place that knows the operating system: events, the worker thread,
// the millisecond clock, console detection, the stdout lock and process exit.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace plat {

// A Win32-style event built from a mutex, a condition variable and a flag.
// An auto-reset event releases exactly one Wait per Set; a manual-reset event
// stays signalled until Reset.
class Event {
public:
    Event(bool manualReset, bool initiallySignalled)
        : manual_(manualReset), signalled_(initiallySignalled) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Blocks without a time limit until the event is signalled; an auto-reset
    // event consumes the signal.
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    const bool manual_;
    bool signalled_;
};

// Starts a detached thread that runs fn(arg) for the life of the process.
void StartThread(void (*fn)(void*), void* arg);

// Milliseconds from a steady clock as a 32-bit count that wraps. It may move
// in steps of a few milliseconds (the kernel tick on Linux).
std::uint32_t GetTickCount();

// Replaces the clock (tests fix it, and with it the random seed); nullptr
// restores the steady clock.
using TickSource = std::uint32_t (*)();
void SetTickSource(TickSource source);

// True when standard input is an interactive console rather than a pipe or file.
bool StdinIsConsole();

// Prepares standard input for the line reader: on Windows it reads bytes
// unchanged (binary mode). Called once at start-up.
void SetUpStdio();

// The lock that every writer to standard output holds for a whole line.
std::mutex& StdoutLock();

// Flushes standard output and ends the process at once with the given status.
// Never runs static destructors: the worker may be parked on an event.
[[noreturn]] void Exit(int status);

// Replaces the end of the process in Exit, after the flush: the fuzzer
// unwinds back to its own loop instead of dying. The hook must not return;
// nullptr restores the real exit.
using ExitHook = void (*)(int status);
void SetExitHook(ExitHook hook);

}  // namespace plat
