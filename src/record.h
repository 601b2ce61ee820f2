// Game records: reads the games of an SGF or PSQ text into moves, each game
// checked by playing it out on the board. A tool of the reviewer, not of the
// search: it allocates, and it clobbers the engine's game state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "board.h"

// The players of a record; Black moves first.
enum class Player { None, Black, White };

// One game of a record.
struct RecordGame {
    std::string source;            ///< the game's name: the file's, with "#N" after an SGF game's
    int number = 0;                ///< 1 for the first game of the file
    int width = 0, height = 0;     ///< board size
    std::string black = "Black";   ///< the first player's name (PB, or a PSQ's trailer)
    std::string white = "White";   ///< the second player's name (PW, or a PSQ's trailer)
    std::vector<TMyMove> moves;    ///< in order of play, Black first
    Player winner = Player::None;  ///< the side whose move made five or more, if any
};

// What a record holds: every game, or the one message that says what is wrong.
struct Record {
    std::vector<RecordGame> games;
    std::string error;  ///< empty when every game was read
};

// Reads an SGF or PSQ text; `name` (the file's) begins every error message
// and every game's source: "name#N" for the Nth game of an SGF text, "name"
// for the one game of a PSQ text.
Record ReadRecord(std::string_view name, std::string_view text);

// Checks a game by playing it out on a cleared board of its size: every move
// on the board, on an empty cell, and none after a five. Sets the winner and
// leaves the final position on the board (Black's stones as the engine's).
// Returns -1, or the index of the first bad move with `reason` set.
int PlayOut(RecordGame& game, std::string& reason);

// Whether the engine plays a board of this size.
bool PlayableSize(int boardWidth, int boardHeight);

// Clears the board and the last moves and sets the size, as a new game does
// but without a reply line, and seeds the random generator with a fixed value
// so that every analysis of a position repeats.
void ClearBoard(int boardWidth, int boardHeight);

// The player who makes move `index` (0-based) of a game.
inline Player Mover(int index) {
    return index % 2 == 0 ? Player::Black : Player::White;
}

// "black" or "white" (or "none").
const char* PlayerName(Player player);
