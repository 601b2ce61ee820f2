// zelto-review: reads game records (SGF or PSQ; files, folders of them, zip
// archives) and reviews every move: the whole board's fives and wins by fours
// before and after it, then the engine's own turn on the position before it.
// It prints the verdicts it finds and each game's summary, then the players'
// table and a closing line with the count of games and skipped records.
// Games are reviewed several at a time (-j), each game's output printed in
// the order of the games. --jsonl writes each game as a JSON line as soon as
// it is done, and --resume goes on with such a file; --report writes the
// players' report as an HTML page; --from reads reviewed games back from JSON
// lines files instead of reviewing. With --final it solves only each game's
// final position.
//
// Usage: zelto-review FILE... [--game N] [--turn-ms MS] [--json] [--final] [-j N]
//                     [--jsonl OUT [--resume]] [--report HTML] [--page-url URL]
//        zelto-review --from JSONL... [--report HTML] [--page-url URL]
// Exit status: 0 when every record was read and reviewed, 1 when one or more
// could not be read (each skipped with a message) or an output could not be
// written, 2 for a bad command line.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "archive.h"
#include "record.h"
#include "report.h"
#include "review.h"
#include "review_pool.h"

namespace {

constexpr const char* USAGE =
    "usage: zelto-review FILE... [--game N] [--turn-ms MS] [--json] [--final] [-j N] "
    "[--jsonl OUT [--resume]] [--report HTML] [--page-url URL] (each FILE an SGF or PSQ record, "
    "a folder of them or a .zip)\n"
    "       zelto-review --from JSONL... [--report HTML] [--page-url URL]";
constexpr int DEFAULT_TURN_MS = 1000;
constexpr int MAX_TURN_MS = 3600000;
constexpr int MAX_JOBS = 1024;

struct Options {
    std::vector<std::string> inputs;
    int game = 0;  // 0: every game
    int turnMs = DEFAULT_TURN_MS;
    bool json = false;
    bool final = false;  // only each game's final position
    int jobs = 0;        // 0: one for each core
    const char* jsonl = nullptr;
    bool resume = false;
    const char* report = nullptr;  // the HTML page of the players' report
    const char* pageUrl = DEFAULT_PAGE_URL;
    bool from = false;  // the inputs are JSON lines files of games reviewed before
};

// A whole number from low to high, or false.
bool ParseNumber(const char* text, int low, int high, int& value) {
    char* end;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// What is wrong with a combination of options, or null.
const char* WrongCombination(const Options& options) {
    std::error_code error;
    if (options.inputs.empty()) return options.from ? "--from needs a file" : "";
    if (options.from &&
        (options.game || options.json || options.final || options.jsonl || options.jobs))
        return "--from reads games reviewed before: --game, --json, --final, -j and --jsonl do "
               "not apply";
    if (options.report && options.final)
        return "--report needs the verdicts, which --final does not give";
    if (options.resume && !options.jsonl) return "--resume goes on with the file of --jsonl";
    if (options.game != 0 &&
        (options.inputs.size() > 1 || std::filesystem::is_directory(options.inputs[0], error) ||
         IsZipName(options.inputs[0])))
        return "--game reviews a game of one record file";
    return nullptr;
}

// The command line, or false after printing what is wrong with it.
bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        // -jN as well as -j N.
        std::string glued;
        if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0) {
            glued = arg.substr(2);
            arg = "-j";
        }
        const bool valued = arg == "--game" || arg == "--turn-ms" || arg == "--report" ||
                            arg == "--page-url" || arg == "-j" || arg == "--jsonl";
        if (valued && glued.empty() && i + 1 == argc) {
            std::fprintf(stderr, "zelto-review: %s needs a value\n%s\n", arg.c_str(), USAGE);
            return false;
        }
        if (arg == "--json") {
            options.json = true;
        } else if (arg == "--final") {
            options.final = true;
        } else if (arg == "--from") {
            options.from = true;
        } else if (arg == "--resume") {
            options.resume = true;
        } else if (arg == "--report") {
            options.report = argv[++i];
        } else if (arg == "--page-url") {
            options.pageUrl = argv[++i];
        } else if (arg == "--jsonl") {
            options.jsonl = argv[++i];
        } else if (arg == "-j") {
            if (!ParseNumber(glued.empty() ? argv[++i] : glued.c_str(), 1, MAX_JOBS,
                             options.jobs)) {
                std::fprintf(stderr, "zelto-review: -j takes a number of games at once, 1 to %d\n",
                             MAX_JOBS);
                return false;
            }
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
    const char* wrong = WrongCombination(options);
    if (wrong && *wrong) std::fprintf(stderr, "zelto-review: %s\n", wrong);
    if (wrong) std::fprintf(stderr, "%s\n", USAGE);
    return !wrong;
}

// What an errno says.
std::string Reason(int error) {
    return std::strerror(error);
}

// The whole file, or false with the reason in `error`.
bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
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
    error = path + ": cannot read: " + Reason(errno);
    return false;
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

// The closing line: "13,020 games reviewed, 3 records skipped", with the
// games found in the file of --resume among them when there are any:
// "13,020 games reviewed (9,000 of them before, in out.jsonl), ...".
std::string Closing(long long reviewed, long long resumed, long long skipped, const char* jsonl) {
    std::string text = Grouped(reviewed) + (reviewed == 1 ? " game" : " games") + " reviewed";
    if (resumed > 0) text += " (" + Grouped(resumed) + " of them before, in " + jsonl + ")";
    return text + ", " + Grouped(skipped) + (skipped == 1 ? " record" : " records") + " skipped";
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

// One game as --json lists it and --jsonl writes it.
Json GameToJson(const RecordGame& game, const std::vector<MoveReview>& reviews,
                const FinalReview& final) {
    Json json;
    json["source"] = game.source;
    json["game"] = game.number;
    json["players"] = {{"black", game.black}, {"white", game.white}};
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

// Reviews one game: its plain output (a line for each verdict, then the
// summary) and its JSON line.
pool::Output ReviewGame(const RecordGame& game, const Options& options) {
    std::vector<MoveReview> reviews;
    pool::Output out;
    if (options.final) reviews = Unjudged(game);
    for (int i = 0; !options.final && i < static_cast<int>(game.moves.size()); i++) {
        reviews.push_back(ReviewMove(game, i, options.turnMs));
        const MoveReview& r = reviews.back();
        if (r.verdict == Verdict::None) continue;
        out.text += game.source + ", move " + std::to_string(i + 1) + ", " + PlayerName(r.player) +
                    " " + std::to_string(r.move.x) + "," + std::to_string(r.move.y) + ": " +
                    VerdictName(r.verdict) + ": " + r.text + "\n";
    }
    const FinalReview final = ReviewFinal(game);
    out.text += Summary(game, options.final ? std::vector<MoveReview>{} : reviews, final) + "\n";
    out.json = JsonText(GameToJson(game, reviews, final));
    return out;
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

// Calls `take` with each line of `text` (blank lines skipped) that holds a
// JSON object, or prints what is wrong with the first line that does not and
// returns false; so does `take`, with its own message, returning one.
bool ReadJsonLines(const std::string& path, const std::string& text,
                   const std::function<std::string(const Json&)>& take) {
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
            const Json game = Json::parse(line.begin(), line.end());
            problem = game.is_object() ? take(game) : "not a game object";
        } catch (const Json::parse_error& e) {
            problem = "not JSON: " + ParseReason(e.what());
        }
        if (!problem.empty()) {
            // The list that --json prints is no JSON lines file.
            if (line.front() == '[') problem += " (one game object a line, not a list of them)";
            std::fprintf(stderr, "zelto-review: %s: line %d: %s\n", path.c_str(), number,
                         problem.c_str());
            return false;
        }
    }
    return true;
}

// The report's file opened for writing, or null after printing why it cannot be.
std::FILE* OpenReport(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        std::fprintf(stderr, "zelto-review: %s: cannot write: %s\n", path, Reason(errno).c_str());
    return file;
}

// Writes the report's page and closes its file: 0, or 1 after printing what failed.
int WriteReport(std::FILE* file, const Options& options, const PlayerReport& report) {
    const std::string html = ReportHtml(report, options.pageUrl);
    const bool written = std::fwrite(html.data(), 1, html.size(), file) == html.size();
    const int writeError = errno;
    if (std::fclose(file) == 0 && written) return 0;
    std::fprintf(stderr, "zelto-review: %s: cannot write: %s\n", options.report,
                 Reason(written ? errno : writeError).c_str());
    return 1;
}

// --from: the report on the games of JSON lines files, reviewed before.
int ReportFromFiles(const Options& options) {
    PlayerReport report;
    for (const std::string& path : options.inputs) {
        std::string text, error;
        if (!ReadFile(path, text, error)) {
            std::fprintf(stderr, "zelto-review: %s\n", error.c_str());
            return 1;
        }
        if (!ReadJsonLines(path, text, [&](const Json& game) { return report.Add(game); }))
            return 1;
    }
    std::FILE* file = options.report ? OpenReport(options.report) : nullptr;
    if (options.report && !file) return 1;
    std::printf("%s", ReportText(report).c_str());
    std::fflush(stdout);
    return file ? WriteReport(file, options, report) : 0;
}

// The games to review: every record's games among the inputs, in order. A
// record that cannot be read is reported on standard error and counted in
// `skipped`.
std::vector<RecordGame> ReadGames(const Options& options, long long& skipped) {
    std::vector<RecordGame> games;
    ReadInputs(options.inputs, [&](const ArchiveEntry& entry) {
        const auto skip = [&](const std::string& message) {
            std::fprintf(stderr, "zelto-review: %s\n", message.c_str());
            skipped++;
        };
        if (!entry.error.empty()) return skip(entry.error);
        Record record = ReadRecord(entry.source, entry.text);
        if (!record.error.empty()) return skip(record.error);
        const int count = static_cast<int>(record.games.size());
        if (options.game > count)
            return skip(entry.source + ": no game " + std::to_string(options.game) +
                        ", the record holds " + std::to_string(count));
        for (RecordGame& game : record.games)
            if (options.game == 0 || game.number == options.game) games.push_back(std::move(game));
    });
    return games;
}

// The games already in the JSON lines file that --resume goes on with, by
// source, each counted into `report`. A last line cut short by an
// interrupted run is cut off the file. False after printing what is wrong.
bool ReadResumed(const char* path, std::map<std::string, int>& done, long long& count,
                 PlayerReport* report) {
    std::string text, error;
    std::error_code missing;
    if (!std::filesystem::exists(path, missing)) return true;
    if (!ReadFile(path, text, error)) {
        std::fprintf(stderr, "zelto-review: %s\n", error.c_str());
        return false;
    }
    const size_t whole = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    if (whole < text.size()) {
        std::error_code cut;
        std::filesystem::resize_file(path, whole, cut);
        if (cut) {
            std::fprintf(stderr, "zelto-review: %s: cannot cut its last, unfinished line: %s\n",
                         path, cut.message().c_str());
            return false;
        }
        text.resize(whole);
    }
    return ReadJsonLines(path, text, [&](const Json& game) -> std::string {
        const auto source = game.find("source");
        if (source == game.end() || !source->is_string()) return "a game without its \"source\"";
        std::string problem = report ? report->Add(game) : "";
        if (problem.empty()) {
            done[source->get<std::string>()]++;
            count++;
        }
        return problem;
    });
}

// The file of --jsonl: whole lines appended, each written out at once. On
// systems with signals, a signal that would end the process waits while a
// line is written, so an interrupted run leaves whole lines.
class LineFile {
public:
    LineFile() = default;
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;
    ~LineFile() { Close(); }

    // Opens `path`, appending to it or emptying it; "" or what went wrong.
    std::string Open(const char* path, bool append) {
        path_ = path;
#if defined(_WIN32)
        file_ = std::fopen(path, append ? "ab" : "wb");
        if (!file_) return path_ + ": cannot write: " + Reason(errno);
#else
        fd_ = open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC), 0666);
        if (fd_ < 0) return path_ + ": cannot write: " + Reason(errno);
#endif
        return "";
    }

    // Appends `line` and a line feed; "" or what went wrong.
    std::string Write(std::string line) {
        line += '\n';
#if defined(_WIN32)
        if (std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
            std::fflush(file_) == 0)
            return "";
        return path_ + ": cannot write: " + Reason(errno);
#else
        sigset_t ending, before;
        sigemptyset(&ending);
        for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, s);
        sigprocmask(SIG_BLOCK, &ending, &before);
        std::string error;
        for (size_t written = 0; written < line.size() && error.empty();) {
            const ssize_t n = write(fd_, line.data() + written, line.size() - written);
            if (n > 0)
                written += static_cast<size_t>(n);
            else if (n < 0 && errno != EINTR)
                error = path_ + ": cannot write: " + Reason(errno);
        }
        sigprocmask(SIG_SETMASK, &before, nullptr);
        return error;
#endif
    }

    // Closes the file; "" or what went wrong.
    std::string Close() {
#if defined(_WIN32)
        const bool failed = file_ && std::fclose(file_) != 0;
        file_ = nullptr;
#else
        const bool failed = fd_ >= 0 && close(fd_) != 0;
        fd_ = -1;
#endif
        return failed ? path_ + ": cannot write: " + Reason(errno) : "";
    }

private:
    std::string path_;
#if defined(_WIN32)
    std::FILE* file_ = nullptr;
#else
    int fd_ = -1;
#endif
};

bool StderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

// "about 3 h 20 min", "about 5 min", "about 40 s".
std::string TimeText(double seconds) {
    const long long s = static_cast<long long>(seconds + 0.5);
    if (s >= 3600)
        return "about " + std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
    if (s >= 60) return "about " + std::to_string((s + 30) / 60) + " min";
    return "about " + std::to_string(s) + " s";
}

// The progress line on a terminal's standard error: games done of the total,
// games per second and the time left, redrawn at most a few times a second.
// Off when standard error is not a terminal.
class Progress {
public:
    explicit Progress(long long total)
        : on_(StderrIsTerminal() && total > 0), total_(total), start_(Clock::now()) {}

    void Show(long long done) {
        if (!on_) return;
        const Clock::time_point now = Clock::now();
        if (shown_ && done < total_ && now - drawn_ < std::chrono::milliseconds(250)) return;
        const double seconds = std::chrono::duration<double>(now - start_).count();
        std::string line = Grouped(done) + " of " + Grouped(total_) + " games";
        if (done > 0 && seconds > 0) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "%.2f", done / seconds);
            line += std::string(", ") + rate + " games/s, " +
                    TimeText((total_ - done) * seconds / done) + " left";
        }
        std::fprintf(stderr, "\r%s\033[K", line.c_str());
        std::fflush(stderr);
        shown_ = true;
        drawn_ = now;
    }

    // Takes the line off before anything else is printed.
    void Clear() {
        if (!shown_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        shown_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool on_;
    long long total_;
    Clock::time_point start_, drawn_;
    bool shown_ = false;
};

// The games a run reviews, one for each core unless -j says otherwise.
int Jobs(const Options& options) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    const int jobs = options.jobs ? options.jobs : std::max(1, cores);
    if (jobs > 1 && !pool::CanStartWorkers()) {
        if (options.jobs)
            std::fprintf(stderr, "zelto-review: this build reviews one game at a time\n");
        return 1;
    }
    return jobs;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;
    if (options.from) return ReportFromFiles(options);

    long long skipped = 0;
    const std::vector<RecordGame> games = ReadGames(options, skipped);
    PlayerReport report;
    PlayerReport* counted = options.final ? nullptr : &report;
    std::map<std::string, int> done;
    long long lines = 0;
    if (options.resume && !ReadResumed(options.jsonl, done, lines, counted)) return 1;
    std::error_code missing;
    if (options.jsonl && !options.resume && std::filesystem::exists(options.jsonl, missing) &&
        std::filesystem::file_size(options.jsonl, missing) > 0 && !missing) {
        std::fprintf(stderr,
                     "zelto-review: %s holds games already: give --resume to go on with it, or "
                     "remove it\n",
                     options.jsonl);
        return 1;
    }
    // The games still to review: those of the inputs, but as many of each
    // source as the file of --resume holds already.
    std::vector<const RecordGame*> pending;
    long long resumed = 0;
    for (const RecordGame& game : games) {
        const auto it = done.find(game.source);
        if (it != done.end() && it->second > 0) {
            it->second--;
            resumed++;
        } else {
            pending.push_back(&game);
        }
    }
    LineFile jsonl;
    if (options.jsonl) {
        const std::string error = jsonl.Open(options.jsonl, options.resume);
        if (!error.empty()) {
            std::fprintf(stderr, "zelto-review: %s\n", error.c_str());
            return 1;
        }
    }
    std::FILE* reportFile = options.report ? OpenReport(options.report) : nullptr;
    if (options.report && !reportFile) return 1;

    Progress progress(static_cast<long long>(pending.size()));
    progress.Show(0);
    long long reviewed = 0;
    bool failed = false;
    const auto fail = [&](const std::string& message) {
        progress.Clear();
        std::fprintf(stderr, "zelto-review: %s\n", message.c_str());
        failed = true;
    };
    if (options.json) std::printf("[");
    const std::string error = pool::Run(
        pending.size(), Jobs(options),
        [&](std::size_t i) { return ReviewGame(*pending[i], options); },
        [&](std::size_t, const pool::Output& out) {
            progress.Clear();
            if (options.json)
                std::printf("%s\n%s", reviewed == 0 ? "" : ",", out.json.c_str());
            else
                std::fputs(out.text.c_str(), stdout);
            if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
                fail("cannot write the output: " + Reason(errno));
                return false;
            }
            if (options.jsonl) {
                const std::string problem = jsonl.Write(out.json);
                if (!problem.empty()) {
                    fail(problem);
                    return false;
                }
            }
            if (counted) {
                const std::string problem = counted->Add(Json::parse(out.json));
                if (!problem.empty()) fail("a game not reported: " + problem);
            }
            progress.Show(++reviewed);
            return true;
        });
    progress.Clear();
    if (!error.empty()) fail(error);
    const std::string closed = jsonl.Close();
    if (!closed.empty()) fail(closed);
    if (options.json) {
        std::printf("\n]\n");
    } else {
        if (counted && report.Games() > 0) std::printf("\n%s", ReportText(report).c_str());
        std::printf("%s\n", Closing(resumed + reviewed, resumed, skipped, options.jsonl).c_str());
    }
    std::fflush(stdout);
    if (reportFile && WriteReport(reportFile, options, report) != 0) failed = true;
    return failed || skipped > 0 ? 1 : 0;
}
