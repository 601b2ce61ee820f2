// zelto-review: reads a game record (SGF or PSQ) and reviews every move: the
// whole board's fives and wins by fours before and after it, then the
// engine's own turn on the position before it, printing the verdicts it
// finds and each game's summary, then the table of the players. With --final
// it solves only each game's final position. --report writes the players'
// report as an HTML page; --from reads reviewed games back from JSON lines
// files instead of reviewing, and reports on them.
//
// Usage: zelto-review (FILE [--game N] [--turn-ms MS] [--json] [--final] | --from JSONL...)
//                     [--report HTML] [--page-url URL]
// Exit status: 0 when the record was read and reviewed, 1 for a record that
// cannot be read (or a report that cannot be written), 2 for a bad command line.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "record.h"
#include "report.h"
#include "review.h"

namespace {

constexpr const char* USAGE =
    "usage: zelto-review (FILE [--game N] [--turn-ms MS] [--json] [--final] | --from JSONL...) "
    "[--report HTML] [--page-url URL]";
constexpr int DEFAULT_TURN_MS = 1000;
constexpr int MAX_TURN_MS = 3600000;

struct Options {
    const char* file = nullptr;
    int game = 0;  // 0: every game
    int turnMs = DEFAULT_TURN_MS;
    bool json = false;
    bool final = false;            // only each game's final position
    const char* report = nullptr;  // the HTML page of the players' report
    const char* pageUrl = DEFAULT_PAGE_URL;
    std::vector<const char*> from;  // JSON lines files of games reviewed before
};

// A whole number from low to high, or false.
bool ParseNumber(const char* text, int low, int high, int& value) {
    char* end;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// Whether the report's options go with the others, after printing what is wrong when not.
bool CheckReportOptions(const Options& options) {
    const char* wrong = nullptr;
    if (!options.from.empty() && (options.file || options.game || options.json || options.final))
        wrong = "--from reads games reviewed before: FILE, --game, --json and --final do not apply";
    else if (options.report && options.final)
        wrong = "--report needs the verdicts, which --final does not give";
    if (wrong) std::fprintf(stderr, "zelto-review: %s\n%s\n", wrong, USAGE);
    return !wrong;
}

// The command line, or false after printing what is wrong with it.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        const bool valued =
            arg == "--game" || arg == "--turn-ms" || arg == "--report" || arg == "--page-url";
        if (valued && i + 1 == argc) {
            std::fprintf(stderr, "zelto-review: %s needs a value\n%s\n", arg.c_str(), USAGE);
            return false;
        }
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--final") {
            options.final = true;
        } else if (arg == "--from") {
            while (i + 1 < argc && argv[i + 1][0] != '-') options.from.push_back(argv[++i]);
            if (options.from.empty()) {
                std::fprintf(stderr, "zelto-review: --from needs a file\n%s\n", USAGE);
                return false;
            }
        } else if (arg == "--report") {
            options.report = argv[++i];
        } else if (arg == "--page-url") {
            options.pageUrl = argv[++i];
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
        } else if (options.file) {
            std::fprintf(stderr, "zelto-review: one file at a time\n%s\n", USAGE);
            return false;
        } else {
            options.file = argv[i];
        }
    }
    if (!options.file && options.from.empty()) std::fprintf(stderr, "%s\n", USAGE);
    return (options.file || !options.from.empty()) && CheckReportOptions(options);
}

// The whole file, or false with the reason in `error`.
bool ReadFile(const char* path, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(path, "rb");
    if (file) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        // A folder opens, and fails at the first read.
        const bool failed = std::ferror(file);
        const int readError = errno;
        std::fclose(file);
        if (!failed) return true;
        errno = readError;
    }
    error = std::string(path) + ": cannot read: " + std::strerror(errno);
    return false;
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
    std::string text =
        "game " + std::to_string(game.number) + ": " + std::to_string(game.moves.size()) + " moves";
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
    json["game"] = game.number;
    json["size"] = {game.width, game.height};
    json["winner"] = game.winner == Player::None ? Json(nullptr) : Json(PlayerName(game.winner));
    json["moves"] = Json::array();
    for (const MoveReview& r : reviews) json["moves"].push_back(MoveToJson(r));
    json["final"] = FinalToJson(final);
    return json;
}

// A reviewed game as the report reads it: as --json writes it, with the
// file as its source and the sides' names where the record gives none.
Json ReportGame(const Options& options, const RecordGame& game,
                const std::vector<MoveReview>& reviews, const FinalReview& final) {
    Json json = GameToJson(game, reviews, final);
    if (!json.contains("source")) json["source"] = options.file;
    if (!json.contains("players")) json["players"] = {{"black", "Black"}, {"white", "White"}};
    return json;
}

// Adds a reviewed game to the report, or says why it cannot and returns false.
bool AddToReport(PlayerReport& report, const Options& options, const RecordGame& game,
                 const std::vector<MoveReview>& reviews, const FinalReview& final) {
    const std::string problem = report.Add(ReportGame(options, game, reviews, final));
    if (!problem.empty())
        std::fprintf(stderr, "zelto-review: %s: game %d: not reported: %s\n", options.file,
                     game.number, problem.c_str());
    return problem.empty();
}

// The reason in a message of the JSON reader, without its code and the line
// number of the one line it was given.
std::string ParseReason(const char* what) {
    std::string reason = what;
    const size_t code = reason.find("] ");
    if (code != std::string::npos) reason.erase(0, code + 2);
    const size_t line = reason.find("line 1, ");
    if (line != std::string::npos) reason.erase(line, 8);
    return reason;
}

// Adds the games of a JSON lines file (one game object a line, blank lines
// skipped) to the report, or prints what is wrong with it and returns false.
bool ReadJsonLines(const char* path, PlayerReport& report) {
    std::string text, error;
    if (!ReadFile(path, text, error)) {
        std::fprintf(stderr, "zelto-review: %s\n", error.c_str());
        return false;
    }
    int number = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        number++;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        std::string problem;
        try {
            problem = report.Add(Json::parse(line.begin(), line.end()));
        } catch (const Json::parse_error& e) {
            problem = "not JSON: " + ParseReason(e.what());
        }
        if (!problem.empty()) {
            // The list that --json prints is no JSON lines file.
            if (line.front() == '[') problem += " (one game object a line, not a list of them)";
            std::fprintf(stderr, "zelto-review: %s: line %d: %s\n", path, number, problem.c_str());
            return false;
        }
    }
    return true;
}

// The report's file opened for writing, or null after printing why it cannot be.
std::FILE* OpenReport(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        std::fprintf(stderr, "zelto-review: %s: cannot write: %s\n", path, std::strerror(errno));
    return file;
}

// Writes the report's page and closes its file: 0, or 1 after printing what failed.
int WriteReport(std::FILE* file, const Options& options, const PlayerReport& report) {
    const std::string html = ReportHtml(report, options.pageUrl);
    const bool written = std::fwrite(html.data(), 1, html.size(), file) == html.size();
    const int writeError = errno;
    if (std::fclose(file) == 0 && written) return 0;
    std::fprintf(stderr, "zelto-review: %s: cannot write: %s\n", options.report,
                 std::strerror(written ? errno : writeError));
    return 1;
}

// --from: the report on the games of JSON lines files, reviewed before.
int ReportFromFiles(const Options& options) {
    PlayerReport report;
    for (const char* path : options.from)
        if (!ReadJsonLines(path, report)) return 1;
    std::FILE* file = options.report ? OpenReport(options.report) : nullptr;
    if (options.report && !file) return 1;
    std::printf("%s", ReportText(report).c_str());
    return file ? WriteReport(file, options, report) : 0;
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
        std::printf("game %d, move %d, %s %d,%d: %s: %s\n", game.number, i + 1,
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
    if (!options.from.empty()) return ReportFromFiles(options);
    std::string text, error;
    if (!ReadFile(options.file, text, error)) {
        std::fprintf(stderr, "zelto-review: %s\n", error.c_str());
        return 1;
    }
    const Record record = ReadRecord(options.file, text);
    if (!record.error.empty()) {
        std::fprintf(stderr, "zelto-review: %s\n", record.error.c_str());
        return 1;
    }
    const int count = static_cast<int>(record.games.size());
    if (options.game > count) {
        std::fprintf(stderr, "zelto-review: %s: no game %d, the record holds %d\n", options.file,
                     options.game, count);
        return 1;
    }
    std::FILE* reportFile = options.report ? OpenReport(options.report) : nullptr;
    if (options.report && !reportFile) return 1;
    PlayerReport report;
    bool first = true;
    if (options.json) std::printf("[");
    for (const RecordGame& game : record.games) {
        if (options.game != 0 && game.number != options.game) continue;
        const std::vector<MoveReview> reviews = ReviewGame(game, options);
        const FinalReview final = ReviewFinal(game);
        if (!options.final && !AddToReport(report, options, game, reviews, final)) return 1;
        if (options.json)
            std::printf("%s\n%s", first ? "" : ",",
                        JsonText(GameToJson(game, reviews, final)).c_str());
        else
            std::printf(
                "%s\n",
                Summary(game, options.final ? std::vector<MoveReview>{} : reviews, final).c_str());
        std::fflush(stdout);
        first = false;
    }
    if (options.json) std::printf("\n]\n");
    if (!options.json && !options.final) std::printf("\n%s", ReportText(report).c_str());
    std::fflush(stdout);
    return reportFile ? WriteReport(reportFile, options, report) : 0;
}
