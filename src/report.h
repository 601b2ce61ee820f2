// The report on many reviewed games, player by player: results, moves and the
// whole-board verdicts on each player's own moves, and the games that the
// loser could once have won by fours. It reads only game objects in the form
// the reviewer writes them as JSON, so it reads them back from files as well
// as it takes them from a run.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record.h"
#include "review.h"

// The page whose review opens a game (the local page of scripts/web.sh).
inline constexpr const char* DEFAULT_PAGE_URL = "http://127.0.0.1:8080/";

// The whole-board verdicts the report counts, in the order of its columns:
// missed-win of kind five, missed-block of kind five, missed-win of kind
// fours, allowed-win of kind fours.
enum class Fault { MissedFive, MissedBlock, MissedFours, AllowedFours };
inline constexpr int FAULT_COUNT = 4;

// "missed five", "missed block", "missed fours", "allowed fours".
const char* FaultName(Fault fault);

// Games won, lost and drawn; a game that no five ended counts as drawn.
struct Results {
    int wins = 0, losses = 0, draws = 0;
};

// One player's games and the verdicts on its own moves.
struct PlayerStats {
    std::string name;  ///< as the game objects give it, unchecked bytes
    int games = 0;
    Results total;
    std::map<std::pair<int, int>, Results> bySize;  ///< by {width, height}
    int moves = 0;                                  ///< the moves this player made
    std::array<int, FAULT_COUNT> faults{};          ///< by Fault
};

// A game with a winner whose loser, to move, once won by fours.
struct LostWin {
    std::string source;  ///< the game object's "source", or empty
    int game = 0;        ///< its "game" (the number in its file), or 0
    std::string black, white;
    Player loser = Player::None;
    std::vector<int> moves;  ///< the numbers of the loser's moves before which it won by fours
    int width = 0, height = 0;
    std::vector<TMyMove> played;  ///< every move of the game, Black first
};

// The counts of every game added so far.
class PlayerReport {
public:
    // Counts one game object; returns "" or, counting nothing of it, what is
    // wrong with it. Players are the names of "players" ("black", "white");
    // a missing or empty name is "Black" or "White". A player on both sides
    // of a game counts it once for each side.
    [[nodiscard]] std::string Add(const Json& game);

    // The games counted.
    int Games() const { return games_; }
    // The players, most games first, then by name in byte order.
    std::vector<const PlayerStats*> Players() const;
    // The games whose loser once won by fours, in the order added.
    const std::vector<LostWin>& LostWins() const { return lostWins_; }

private:
    int games_ = 0;
    std::map<std::string, PlayerStats> players_;
    std::vector<LostWin> lostWins_;
};

// count per 100 moves, 0 without moves.
double Per100(int count, int moves);

// The address that opens a game in the page's review: pageUrl (without any
// fragment of its own), then #moves=x,y;x,y;... in order of play, &size=N
// when the board is not 15, and &review=on; empty for a board the page does
// not show (square, 5 to 30 a side).
std::string ReviewLink(const std::string& pageUrl, int boardWidth, int boardHeight,
                       const std::vector<TMyMove>& moves);

// Text for HTML content and attribute values: &, <, >, " and ' escaped;
// bytes that are not UTF-8, and control characters, as U+FFFD.
std::string HtmlEscape(std::string_view text);

// The report as text: a table of the players, aligned, and the games whose
// loser once won by fours.
std::string ReportText(const PlayerReport& report);

// The report as one HTML page that needs nothing else: the players' table,
// their results by board, a chart of the verdicts per 100 moves and the
// games whose loser once won by fours, each with a link to its review.
std::string ReportHtml(const PlayerReport& report, const std::string& pageUrl = DEFAULT_PAGE_URL);
