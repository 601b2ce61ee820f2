// zelto-review: reads game records (SGF or PSQ; files, folders of them, zip
// archives) and reviews every move: the whole board's fives and wins by fours
// before and after it, then the engine's own turn on the position before it,
// printing the verdicts it finds, each game's summary, and a closing line with
// the count of games and skipped records. With --final it solves only each
// game's final position.
//
// Usage: zelto-review FILE... [--game N] [--turn-ms MS] [--json] [--final]
// Exit status: 0 when every record was read and reviewed, 1 when one or more
// could not be read (each skipped with a message), 2 for a bad command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "archive.h"
#include "record.h"
#include "review.h"

namespace {

constexpr const char* USAGE =
    "usage: zelto-review FILE... [--game N] [--turn-ms MS] [--json] [--final] (each FILE an SGF "
    "or PSQ record, a folder of them or a .zip)";
constexpr int DEFAULT_TURN_MS = 1000;
constexpr int MAX_TURN_MS = 3600000;

struct Options {
    std::vector<std::string> inputs;
    int game = 0;  // 0: every game
    int turnMs = DEFAULT_TURN_MS;
    bool json = false;
    bool final = false;  // only each game's final position
};

// A whole number from low to high, or false.
bool ParseNumber(const char* text, int low, int high, int& value) {
    char* end;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// The command line, or false after printing what is wrong with it.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool valued = arg == "--game" || arg == "--turn-ms";
        if (valued && i + 1 == argc) {
            std::fprintf(stderr, "zelto-review: %s needs a value\n%s\n", arg.c_str(), USAGE);
            return false;
        }
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--final") {
            options.final = true;
        } else if (arg == "--game") {
            if (!ParseNumber(argv[++i], 1, 1000000000, options.game)) {
                std::fprintf(stderr, "zelto-review: --game takes a game number from 1\n");
                return false;
            }
        } else if (arg == "--turn-ms") {
            if (!ParseNumber(argv[++i], 1, MAX_TURN_MS, options.turnMs)) {
                std::fprintf(stderr, "zelto-review: --turn-ms takes milliseconds from 1 to %d\n",
                             MAX_TURN_MS);
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "zelto-review: unknown option %s\n%s\n", arg.c_str(), USAGE);
            return false;
        } else {
            options.inputs.push_back(arg);
        }
    }
    if (options.inputs.empty()) {
        std::fprintf(stderr, "%s\n", USAGE);
        return false;
    }
    std::error_code error;
    if (options.game != 0 &&
        (options.inputs.size() > 1 || std::filesystem::is_directory(options.inputs[0], error) ||
         IsZipName(options.inputs[0]))) {
        std::fprintf(stderr, "zelto-review: --game reviews a game of one record file\n");
        return false;
    }
    return true;
}

// A count with a comma between each three digits: 13,020.
std::string Grouped(long long n) {
    const std::string digits = std::to_string(n);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); i++) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

// The closing line: "13,020 games reviewed, 3 records skipped".
std::string Closing(long long reviewed, long long skipped) {
    return Grouped(reviewed) + (reviewed == 1 ? " game" : " games") + " reviewed, " +
           Grouped(skipped) + (skipped == 1 ? " record" : " records") + " skipped";
}

// The last move with a whole-board verdict against the side that lost, or null.
const MoveReview* TurningPoint(const RecordGame& game, const std::vector<MoveReview>& reviews) {
    const MoveReview* turn = nullptr;
    if (game.winner == Player::None) return turn;
    for (const MoveReview& r : reviews)
        if (r.player != game.winner && r.verdict != Verdict::None && r.kind != VerdictKind::Chain)
            turn = &r;
    return turn;
}

// "black wins by fours: 7,7 (8,8) five at 9,9", "white has no win by fours", or cut.
std::string FinalText(const FinalReview& final) {
    const std::string side = PlayerName(final.toMove);
    if (final.cut) return side + " to move: the search for a win by fours was cut";
    if (final.forced.side == Player::None) return side + " to move has no win by fours";
    std::string text = side + " to move wins by fours:";
    for (size_t i = 0; i < final.forced.line.size(); i++) {
        const TMyMove m = final.forced.line[i];
        const std::string cell = std::to_string(m.x) + "," + std::to_string(m.y);
        text += " " + (i % 2 ? "(" + cell + ")" : cell);
    }
    return text;
}

// One game's summary line.
std::string Summary(const RecordGame& game, const std::vector<MoveReview>& reviews,
                    const FinalReview& final) {
    int counts[4] = {};
    for (const MoveReview& r : reviews) counts[static_cast<int>(r.verdict)]++;
    std::string text = game.source + ": " + std::to_string(game.moves.size()) + " moves";
    if (!reviews.empty() || game.moves.empty())
        for (const Verdict v : {Verdict::MissedWin, Verdict::MissedBlock, Verdict::AllowedWin})
            text += ", " + std::to_string(counts[static_cast<int>(v)]) + " " + VerdictName(v);
    text += game.winner == Player::None
                ? ", no five on the board"
                : ", " + std::string(PlayerName(game.winner)) + " made five";
    if (const MoveReview* turn = TurningPoint(game, reviews))
        text += "; it turned at move " + std::to_string(turn->index + 1) + " (" +
                PlayerName(turn->player) + ", " + VerdictName(turn->verdict) + ")";
    if (final.analysed) text += "; " + FinalText(final);
    return text;
}

// One game as the --json list holds it.
Json GameToJson(const RecordGame& game, const std::vector<MoveReview>& reviews,
                const FinalReview& final) {
    Json json;
    json["source"] = game.source;
    json["game"] = game.number;
    json["black"] = game.black;
    json["white"] = game.white;
    json["size"] = {game.width, game.height};
    json["winner"] = game.winner == Player::None ? Json(nullptr) : Json(PlayerName(game.winner));
    json["moves"] = Json::array();
    for (const MoveReview& r : reviews) json["moves"].push_back(MoveToJson(r));
    json["final"] = FinalToJson(final);
    return json;
}

// The moves of a game listed without verdicts, for --final.
std::vector<MoveReview> Unjudged(const RecordGame& game) {
    std::vector<MoveReview> reviews;
    for (int i = 0; i < static_cast<int>(game.moves.size()); i++) {
        MoveReview r;
        r.index = i;
        r.player = Mover(i);
        r.move = game.moves[i];
        reviews.push_back(r);
    }
    return reviews;
}

// Reviews one game, printing each verdict as text as it is found.
std::vector<MoveReview> ReviewGame(const RecordGame& game, const Options& options) {
    if (options.final) return Unjudged(game);
    std::vector<MoveReview> reviews;
    for (int i = 0; i < static_cast<int>(game.moves.size()); i++) {
        reviews.push_back(ReviewMove(game, i, options.turnMs));
        const MoveReview& r = reviews.back();
        if (options.json || r.verdict == Verdict::None) continue;
        std::printf("%s, move %d, %s %d,%d: %s: %s\n", game.source.c_str(), i + 1,
                    PlayerName(r.player), r.move.x, r.move.y, VerdictName(r.verdict),
                    r.text.c_str());
        std::fflush(stdout);
    }
    return reviews;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    long long reviewed = 0, skipped = 0;
    bool first = true;
    if (options.json) std::printf("[");
    // A record that cannot be read is skipped with its message, and the rest go on.
    ReadInputs(options.inputs, [&](const ArchiveEntry& entry) {
        const auto skip = [&](const std::string& message) {
            std::fflush(stdout);
            std::fprintf(stderr, "zelto-review: %s\n", message.c_str());
            skipped++;
        };
        if (!entry.error.empty()) return skip(entry.error);
        const Record record = ReadRecord(entry.source, entry.text);
        if (!record.error.empty()) return skip(record.error);
        const int count = static_cast<int>(record.games.size());
        if (options.game > count)
            return skip(entry.source + ": no game " + std::to_string(options.game) +
                        ", the record holds " + std::to_string(count));
        for (const RecordGame& game : record.games) {
            if (options.game != 0 && game.number != options.game) continue;
            const std::vector<MoveReview> reviews = ReviewGame(game, options);
            const FinalReview final = ReviewFinal(game);
            if (options.json)
                std::printf("%s\n%s", first ? "" : ",",
                            JsonText(GameToJson(game, reviews, final)).c_str());
            else
                std::printf(
                    "%s\n",
                    Summary(game, options.final ? std::vector<MoveReview>{} : reviews, final)
                        .c_str());
            std::fflush(stdout);
            first = false;
            reviewed++;
        }
    });
    if (options.json)
        std::printf("\n]\n");
    else
        std::printf("%s\n", Closing(reviewed, skipped).c_str());
    return skipped > 0 ? 1 : 0;
}
