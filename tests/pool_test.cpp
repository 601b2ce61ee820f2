// The reviewer's worker processes: outputs in the order of the games
// whatever order they finish in, the same as in one process, a stop that
// ends every worker, and a worker that dies reported, not waited on forever.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "review_pool.h"

namespace {

// A game's output that says which game it is; later games are quicker, so
// that with several workers they finish first.
pool::Output Game(std::size_t i, std::size_t count) {
#if !defined(_WIN32)
    usleep(static_cast<useconds_t>((count - i) * 500));
#endif
    return {"text " + std::to_string(i) + "\n", std::string(i * 1000, 'j')};
}

std::vector<std::string> Collect(std::size_t count, int workers, std::string& error) {
    std::vector<std::string> seen;
    error = pool::Run(
        count, workers, [&](std::size_t i) { return Game(i, count); },
        [&](std::size_t i, const pool::Output& out) {
            seen.push_back(std::to_string(i) + ":" + out.text + std::to_string(out.json.size()));
            return true;
        });
    return seen;
}

#if !defined(_WIN32)
// Whether this process has a child left, running or unwaited.
bool HasChildren() {
    return waitpid(-1, nullptr, WNOHANG) != -1;
}
#endif

}  // namespace

TEST(ReviewPool, OutputsInOrderOfTheGamesAsInOneProcess) {
    std::string error;
    const std::vector<std::string> one = Collect(40, 1, error);
    ASSERT_EQ(error, "");
    ASSERT_EQ(one.size(), 40u);
    EXPECT_EQ(one[39], "39:text 39\n39000");
    for (const int workers : {2, 3, 8, 100}) {
        EXPECT_EQ(Collect(40, workers, error), one) << workers << " workers";
        EXPECT_EQ(error, "");
    }
    EXPECT_TRUE(Collect(0, 4, error).empty());
#if !defined(_WIN32)
    EXPECT_FALSE(HasChildren());
#endif
}

#if !defined(_WIN32)
TEST(ReviewPool, StopEndsEveryWorker) {
    std::vector<std::size_t> seen;
    const std::string error = pool::Run(
        1000, 3,
        [](std::size_t i) {
            return pool::Output{std::to_string(i), ""};
        },
        [&](std::size_t i, const pool::Output&) {
            seen.push_back(i);
            return i < 4;
        });
    EXPECT_EQ(error, "");
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    EXPECT_FALSE(HasChildren());
}

TEST(ReviewPool, AWorkerThatDiesIsReported) {
    std::vector<std::size_t> seen;
    const std::string error = pool::Run(
        20, 2,
        [](std::size_t i) {
            if (i == 7) raise(SIGKILL);
            return pool::Output{"", ""};
        },
        [&](std::size_t i, const pool::Output&) {
            seen.push_back(i);
            return true;
        });
    EXPECT_EQ(error, "a worker process died while reviewing game 8 of the run");
    // Every game before the one that died was handed on, none after it.
    EXPECT_LE(seen.size(), 7u);
    for (std::size_t i = 0; i < seen.size(); i++) EXPECT_EQ(seen[i], i);
    EXPECT_FALSE(HasChildren());
}
#endif
