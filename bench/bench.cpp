// zelto-bench: plays one turn of the engine on each position of a fixed suite
// with a time budget that never cuts the search, and prints what each turn
// searched and decided. The last line, the signature, is a 64-bit FNV-1a hash
// over every position's nodes, depth, eval and move in suite order: it changes
// when any decision does, never when only speed does.
//
// Usage: zelto-bench [positions-file]
//
// A position is one line "name WIDTHxHEIGHT x,y x,y ..." with the stones in
// the order they were played; the last stone is the opponent's, the one
// before it the engine's, and so on back to the first. '#' starts a comment.
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "board.h"
#include "search.h"
#include "turn.h"

#ifndef ZELTO_BENCH_POSITIONS
#define ZELTO_BENCH_POSITIONS "positions.txt"
#endif

namespace {

// 64-bit FNV-1a.
struct Fnv1a {
    std::uint64_t hash = 14695981039346656037ull;
    void Add(const char* text) {
        for (; *text; text++) hash = (hash ^ static_cast<unsigned char>(*text)) * 1099511628211ull;
    }
};

// Candidates of the root whose boardValue equals the chosen cell's: more than
// one means the random generator broke a tie.
int Ties(TMyMove move) {
    int ties = 0;
    for (int i = 0; i < g_CountMove[0]; i++) {
        const TMyMove c = g_ListMove[i][0];
        ties += boardValue[c.x][c.y] == boardValue[move.x][move.y];
    }
    return ties;
}

struct Position {
    std::string name;
    int width = 0, height = 0;
    std::vector<TMyMove> moves;
};

bool ParsePosition(const std::string& line, Position& pos) {
    std::istringstream in(line);
    std::string size, move;
    if (!(in >> pos.name >> size)) return false;
    if (std::sscanf(size.c_str(), "%dx%d", &pos.width, &pos.height) != 2) return false;
    if (pos.width < MIN_BOARD || pos.height < MIN_BOARD || pos.width > MAX_BOARD ||
        pos.height > MAX_BOARD)
        return false;
    while (in >> move) {
        TMyMove m;
        if (std::sscanf(move.c_str(), "%d,%d", &m.x, &m.y) != 2) return false;
        if (m.x < 0 || m.y < 0 || m.x >= pos.width || m.y >= pos.height) return false;
        pos.moves.push_back(m);
    }
    return true;
}

// Sets up the position as a manager's BOARD block would, on a board cleared
// completely, with a fixed seed so the final choice among equals repeats.
bool SetUp(const Position& pos) {
    std::memset(board, 0, sizeof board);
    width = pos.width;
    height = pos.height;
    g_MyLastMove = g_OpponentLastMove = NO_MOVE;
    for (int& count : g_CountMove) count = 0;
    seed = 12345;
    const size_t n = pos.moves.size();
    for (size_t i = 0; i < n; i++) {
        const TMyMove m = pos.moves[i];
        if (board[m.x][m.y] != CELL_EMPTY) return false;
        if ((n - i) % 2 == 1)
            brain_opponents(m.x, m.y);
        else
            brain_my(m.x, m.y);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : ZELTO_BENCH_POSITIONS;
    std::ifstream file(path);
    if (!file) {
        std::fprintf(stderr, "zelto-bench: cannot read %s\n", path);
        return 2;
    }
    // The budget of a manager that sets no limit; the search is never cut.
    info_timeout_turn = INT_MAX;
    info_time_left = INT_MAX;

    std::printf("%-27s %7s %10s %5s %8s %7s %-11s %4s %9s\n", "position", "size", "nodes", "depth",
                "eval", "move", "stage", "ties", "ms");
    Fnv1a signature;
    long long totalNodes = 0;
    double totalMs = 0;
    int count = 0, lineNo = 0;
    std::string line;
    while (std::getline(file, line)) {
        lineNo++;
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        Position pos;
        if (!ParsePosition(line, pos) || !SetUp(pos)) {
            std::fprintf(stderr, "zelto-bench: %s:%d: bad position\n", path, lineNo);
            return 2;
        }
        const auto start = std::chrono::steady_clock::now();
        const TMyMove move = brain_turn();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const TMoveStats stats = fce_GetStats();
        char moveText[16];
        std::snprintf(moveText, sizeof moveText, "%d,%d", move.x, move.y);
        char ties[16] = "-";
        if (g_TurnStage == TurnStage::Positional)
            std::snprintf(ties, sizeof ties, "%d", Ties(move));
        std::printf("%-27s %3dx%-3d %10d %5d %8d %7s %-11s %4s %9.1f\n", pos.name.c_str(),
                    pos.width, pos.height, stats.nodes, stats.depth, stats.eval, moveText,
                    TurnStageName(g_TurnStage), ties, ms);
        char decided[64];
        std::snprintf(decided, sizeof decided, "%d %d %d %s\n", stats.nodes, stats.depth,
                      stats.eval, moveText);
        signature.Add(decided);
        totalNodes += stats.nodes;
        totalMs += ms;
        count++;
    }
    std::printf("Positions: %d\n", count);
    std::printf("Nodes searched: %lld\n", totalNodes);
    std::printf("Total time: %.0f ms\n", totalMs);
    std::printf("Nodes/second: %.0f\n", totalMs > 0 ? totalNodes * 1000.0 / totalMs : 0.0);
    std::printf("Signature: %016llx\n", static_cast<unsigned long long>(signature.hash));
    return 0;
}
