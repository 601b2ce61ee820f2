#include "platform.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define ZELTO_ISATTY _isatty
#define ZELTO_FILENO _fileno
#else
#include <unistd.h>
#define ZELTO_ISATTY isatty
#define ZELTO_FILENO fileno
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

std::uint32_t SteadyTicks() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

std::atomic<TickSource> g_tickSource{nullptr};

}  // namespace

std::uint32_t GetTickCount() {
    TickSource source = g_tickSource.load(std::memory_order_relaxed);
    return source ? source() : SteadyTicks();
}

void SetTickSource(TickSource source) {
    g_tickSource.store(source, std::memory_order_relaxed);
}

bool StdinIsConsole() {
    return ZELTO_ISATTY(ZELTO_FILENO(stdin)) != 0;
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
    std::_Exit(status);
}

}  // namespace plat
