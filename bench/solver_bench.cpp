// zelto-solver-bench: the solver on a fixed suite of positions, every position
// of every game of a record (before each move, and after the last), for the
// side to move, and what it proved there. The last line, the signature, is a
// 64-bit FNV-1a hash over every position's outcome, line and node count in
// suite order: it changes when any answer or the tree searched does, never
// when only speed does.
//
// Usage: zelto-solver-bench [games.sgf]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "record.h"
#include "solver.h"

#ifndef ZELTO_SOLVER_GAMES
#define ZELTO_SOLVER_GAMES "solver_games.sgf"
#endif

namespace {

// 64-bit FNV-1a.
struct Fnv1a {
    std::uint64_t hash = 14695981039346656037ull;
    void Add(const std::string& text) {
        for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
};

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : ZELTO_SOLVER_GAMES;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "zelto-solver-bench: cannot read %s\n", path);
        return 2;
    }
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const Record record = ReadRecord(path, text);
    if (!record.error.empty()) {
        std::fprintf(stderr, "zelto-solver-bench: %s\n", record.error.c_str());
        return 2;
    }
    FoursSolver solver;
    Fnv1a signature;
    long long positions = 0, nodes = 0, wins = 0, noWins = 0, cuts = 0;
    double totalMs = 0, slowestMs = 0;
    std::printf("%-5s %7s %9s %5s %6s %4s %10s %9s\n", "game", "size", "positions", "wins",
                "no-win", "cut", "nodes", "ms");
    for (const RecordGame& game : record.games) {
        long long gameNodes = 0, gameWins = 0, gameNoWins = 0, gameCuts = 0;
        double gameMs = 0;
        const int count = static_cast<int>(game.moves.size());
        solver.SetUp(game.width, game.height);
        for (int i = 0; i <= count; i++) {
            const Color toMove = i % 2 == 0 ? Color::Black : Color::White;
            const auto start = std::chrono::steady_clock::now();
            const FoursResult result = solver.Solve(toMove);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            if (result.outcome != Outcome::Finished) {
                char head[48];
                std::snprintf(head, sizeof head, "%s %llu", OutcomeName(result.outcome),
                              static_cast<unsigned long long>(result.nodes));
                std::string answer = head;
                for (const TMyMove m : result.line) {
                    char cell[24];
                    std::snprintf(cell, sizeof cell, " %d,%d", m.x, m.y);
                    answer += cell;
                }
                answer += '\n';
                signature.Add(answer);
                positions++;
                gameNodes += static_cast<long long>(result.nodes);
                gameWins += result.outcome == Outcome::Win;
                gameNoWins += result.outcome == Outcome::NoWin;
                gameCuts += result.outcome == Outcome::Cut;
                gameMs += ms;
                slowestMs = ms > slowestMs ? ms : slowestMs;
            }
            if (i < count) solver.Place(game.moves[i], toMove);
        }
        std::printf("%-5d %3dx%-3d %9d %5lld %6lld %4lld %10lld %9.1f\n", game.number, game.width,
                    game.height, count + 1, gameWins, gameNoWins, gameCuts, gameNodes, gameMs);
        nodes += gameNodes;
        wins += gameWins;
        noWins += gameNoWins;
        cuts += gameCuts;
        totalMs += gameMs;
    }
    std::printf("Positions: %lld (%lld wins, %lld no-wins, %lld cut)\n", positions, wins, noWins,
                cuts);
    std::printf("Nodes searched: %lld\n", nodes);
    std::printf("Total time: %.0f ms, slowest position %.2f ms\n", totalMs, slowestMs);
    std::printf("Positions/second: %.0f\n", totalMs > 0 ? positions * 1000.0 / totalMs : 0.0);
    std::printf("Nodes/second: %.0f\n", totalMs > 0 ? nodes * 1000.0 / totalMs : 0.0);
    std::printf("Signature: %016llx\n", static_cast<unsigned long long>(signature.hash));
    return 0;
}
