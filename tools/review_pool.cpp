// Worker processes for the reviewer. Each worker gets a pipe of tasks (a
// game's index, 8 bytes) and a pipe of results (a frame: the index, the two
// lengths, then the text and the JSON). A worker is given its next game as
// soon as it sends a result, so slow games do not hold the others back; the
// results wait in `ready` until every game before them is out. A worker ends
// when its task pipe closes, and on Linux when this process dies (a kill of
// the command leaves none running).
#include "review_pool.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#if defined(_WIN32)
#define ZELTO_POOL_FORK 0
#else
#define ZELTO_POOL_FORK 1
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#endif

namespace pool {

namespace {

// In this process, one game after another.
std::string RunHere(std::size_t count, const std::function<Output(std::size_t)>& review,
                    const std::function<bool(std::size_t, const Output&)>& done) {
    for (std::size_t i = 0; i < count; i++)
        if (!done(i, review(i))) break;
    return "";
}

#if ZELTO_POOL_FORK

// Writes all of `size` bytes, or false.
bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Reads exactly `size` bytes: 1, 0 at the end of the pipe before any, -1 on
// an error or an end in the middle.
int ReadAll(int fd, void* data, std::size_t size) {
    char* p = static_cast<char*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = read(fd, p + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) return got == 0 ? 0 : -1;
        got += static_cast<std::size_t>(n);
    }
    return 1;
}

struct Frame {
    std::uint64_t index, textSize, jsonSize;
};

// A worker's loop: a game for each index read, until the pipe closes.
[[noreturn]] void WorkerMain(int tasks, int results,
                             const std::function<Output(std::size_t)>& review) {
    std::uint64_t index;
    while (ReadAll(tasks, &index, sizeof index) == 1) {
        const Output out = review(static_cast<std::size_t>(index));
        const Frame frame{index, out.text.size(), out.json.size()};
        if (!WriteAll(results, &frame, sizeof frame) ||
            !WriteAll(results, out.text.data(), out.text.size()) ||
            !WriteAll(results, out.json.data(), out.json.size()))
            _exit(1);
    }
    // _exit: the buffers and destructors inherited from the parent are its own.
    _exit(0);
}

struct Worker {
    pid_t pid = -1;
    int tasks = -1;    ///< our end of its task pipe, -1 once closed
    int results = -1;  ///< our end of its result pipe
    bool busy = false;
    std::uint64_t game = 0;  ///< the game it is reviewing, while busy
};

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// Ends every worker: closes its pipes, then kills and waits for it.
void StopAll(std::vector<Worker>& workers, bool kill) {
    for (Worker& w : workers) CloseFd(w.tasks);
    for (Worker& w : workers) {
        if (w.pid > 0) {
            if (kill) ::kill(w.pid, SIGKILL);
            while (waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        CloseFd(w.results);
        w.pid = -1;
    }
}

// Starts one worker; false when the system will not.
bool Start(Worker& w, const std::function<Output(std::size_t)>& review,
           const std::vector<Worker>& others) {
    int tasks[2], results[2];
    if (pipe(tasks) != 0) return false;
    if (pipe(results) != 0) {
        close(tasks[0]);
        close(tasks[1]);
        return false;
    }
    // Nothing buffered may be written twice, once by each process.
    std::fflush(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        for (const int fd : {tasks[0], tasks[1], results[0], results[1]}) close(fd);
        return false;
    }
    if (pid == 0) {
#if defined(__linux__)
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);
#endif
        (void)parent;
        // A worker writes only to its result pipe; the others' pipes are not its own.
        for (const Worker& o : others) {
            if (o.tasks >= 0) close(o.tasks);
            if (o.results >= 0) close(o.results);
        }
        close(tasks[1]);
        close(results[0]);
        WorkerMain(tasks[0], results[1], review);
    }
    close(tasks[0]);
    close(results[1]);
    w.pid = pid;
    w.tasks = tasks[1];
    w.results = results[0];
    return true;
}

#endif  // ZELTO_POOL_FORK

}  // namespace

bool CanStartWorkers() {
    return ZELTO_POOL_FORK != 0;
}

std::string Run(std::size_t count, int workers, const std::function<Output(std::size_t)>& review,
                const std::function<bool(std::size_t, const Output&)>& done) {
#if ZELTO_POOL_FORK
    if (workers <= 1 || count <= 1) return RunHere(count, review, done);
    // A write to a worker that has died must fail, not end this process.
    signal(SIGPIPE, SIG_IGN);
    std::vector<Worker> pool(static_cast<std::size_t>(workers) < count ? workers : count);
    for (Worker& w : pool)
        if (!Start(w, review, pool)) {
            StopAll(pool, true);
            return std::string("cannot start a worker process: ") + std::strerror(errno);
        }
    std::size_t next = 0, emitted = 0;
    std::map<std::size_t, Output> ready;
    std::string error;
    // Gives an idle worker its next game, or closes its task pipe when none is left.
    auto feed = [&](Worker& w) {
        if (next < count) {
            w.game = next++;
            w.busy = true;
            if (!WriteAll(w.tasks, &w.game, sizeof w.game)) error = "a worker process ended early";
        } else {
            CloseFd(w.tasks);
        }
    };
    for (Worker& w : pool) feed(w);
    bool stopped = false;
    while (error.empty() && !stopped && emitted < count) {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        for (Worker& w : pool)
            if (w.busy) {
                fds.push_back({w.results, POLLIN, 0});
                owners.push_back(&w);
            }
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            error = std::string("poll: ") + std::strerror(errno);
            break;
        }
        for (std::size_t k = 0; k < fds.size() && error.empty(); k++) {
            if (fds[k].revents == 0) continue;
            Worker& w = *owners[k];
            Frame frame;
            Output out;
            bool ok = ReadAll(w.results, &frame, sizeof frame) == 1 && frame.index == w.game;
            if (ok) {
                out.text.resize(frame.textSize);
                out.json.resize(frame.jsonSize);
                ok = ReadAll(w.results, out.text.data(), out.text.size()) != -1 &&
                     ReadAll(w.results, out.json.data(), out.json.size()) != -1;
            }
            if (!ok) {
                error = "a worker process died while reviewing game " + std::to_string(w.game + 1) +
                        " of the run";
                break;
            }
            w.busy = false;
            ready.emplace(static_cast<std::size_t>(frame.index), std::move(out));
            feed(w);
        }
        for (auto it = ready.begin(); it != ready.end() && it->first == emitted && !stopped;
             it = ready.erase(it)) {
            stopped = !done(emitted, it->second);
            emitted++;
        }
    }
    StopAll(pool, !error.empty() || stopped);
    return error;
#else
    (void)workers;
    return RunHere(count, review, done);
#endif
}

}  // namespace pool
