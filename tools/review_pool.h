// The reviewer's worker processes: games reviewed several at a time, each in
// a process of its own (the engine's state is global), their outputs handed
// back in the order of the games whatever order they finish in. The one
// piece of the reviewer that knows the operating system: on Linux and other
// systems with fork it starts worker processes; elsewhere every game runs in
// this process, one at a time.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace pool {

// What the review of one game gives back.
struct Output {
    std::string text;  ///< the lines of the plain output
    std::string json;  ///< the game's JSON line, without its line feed
};

// Whether worker processes can be started here.
bool CanStartWorkers();

// Reviews games 0 to count - 1 with review(i) on `workers` processes (in this
// process when workers is 1 or none can be started), and calls done(i, output)
// for each in order of i, as soon as it and every game before it are done.
// done returning false stops the run. Every worker has ended when Run
// returns; on Linux a worker also ends when this process is killed. Returns
// an empty string, or what went wrong (a worker that died, a failed pipe).
std::string Run(std::size_t count, int workers, const std::function<Output(std::size_t)>& review,
                const std::function<bool(std::size_t, const Output&)>& done);

}  // namespace pool
