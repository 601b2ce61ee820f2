// Game records. SGF: any number of game trees, each the main line of its
// variations, moves ";B[..]" and ";W[..]" with cells as a column letter then
// a row letter (a..z, then A..Z), the size in SZ[n] or SZ[w:h]; every other
// property is read past but the players' names, PB and PW. PSQ: a first line
// that gives the size as "WxH", then one move a line "x,y,ms" counted from 1;
// the first line that is no move ends the moves, and may begin the trailer:
// the first and the second player's names on a line each, then "-1", then
// anything.
#include "record.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "lines.h"
#include "search.h"

namespace {

constexpr std::uint32_t FIXED_SEED = 12345;

// A move as the record wrote it, for messages.
struct MoveSource {
    int line;
    std::string text;
};

// One game as read, before it is played out.
struct ReadGame {
    RecordGame game;
    std::vector<MoveSource> sources;
};

std::string Cell(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

std::string SizeText(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// Text of the record as a message shows it: on one line, control characters
// as '?', and cut short after 24 characters.
std::string Shown(std::string_view text) {
    constexpr size_t LONGEST = 24;
    std::string shown;
    for (const char c : text.substr(0, LONGEST))
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    return text.size() > LONGEST ? shown + "..." : shown;
}

// Reads a number without sign from text[pos..], saturating far above any
// board; false when no digit is there.
bool ReadNumber(std::string_view text, size_t& pos, int& value) {
    const size_t start = pos;
    long long v = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; pos++)
        v = std::min<long long>(v * 10 + (text[pos] - '0'), INT_MAX);
    value = static_cast<int>(v);
    return pos > start;
}

// Plays the read moves out and turns a bad one into the record's message.
bool Finish(ReadGame& read, std::string& error) {
    std::string reason;
    const int bad = PlayOut(read.game, reason);
    if (bad < 0) return true;
    const MoveSource& source = read.sources[bad];
    error = "game " + std::to_string(read.game.number) + ", move " + std::to_string(bad + 1) + " " +
            source.text + " (line " + std::to_string(source.line) + "): " + reason;
    return false;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string_view Trim(std::string_view v) {
    while (!v.empty() && IsSpace(v.front())) v.remove_prefix(1);
    while (!v.empty() && IsSpace(v.back())) v.remove_suffix(1);
    return v;
}

// A player's name as a record gives it, on one line: control characters (an
// SGF value's line breaks too) become spaces, and the spaces around it go.
// An empty name keeps `name` as it was.
void SetName(std::string& name, std::string_view given) {
    std::string clean(given);
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    const std::string_view trimmed = Trim(clean);
    if (!trimmed.empty()) name = trimmed;
}

// Reads SGF game trees. Only the main line of a tree counts: its first
// variation at every branch; the others are read past.
class SgfReader {
public:
    explicit SgfReader(std::string_view text) : text_(text) {}

    // Every game of the text, or false with error_ set.
    bool ReadAll(std::vector<ReadGame>& games) {
        SkipSpace();
        while (pos_ < text_.size()) {
            if (text_[pos_] != '(')
                return Fail(0, "text after game " + std::to_string(games.size()));
            ReadGame read;
            read.game.number = static_cast<int>(games.size()) + 1;
            if (!ReadTree(read) || !Finish(read, error_)) return false;
            games.push_back(std::move(read));
            SkipSpace();
        }
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    // The game tree at '(' with its variations, to its closing ')'.
    bool ReadTree(ReadGame& read) {
        const int number = read.game.number;
        int depth = 0, mainDepth = 0;
        bool mainClosed = false, sized = false;
        do {
            SkipSpace();
            if (pos_ >= text_.size()) return Fail(number, "the game is not closed by ')'");
            const char c = text_[pos_];
            const bool onMain = !mainClosed && depth == mainDepth;
            if (c == '(') {
                if (onMain) mainDepth++;
                depth++;
                Advance();
            } else if (c == ')') {
                if (onMain) mainClosed = true;
                depth--;
                Advance();
            } else if (c == ';') {
                Advance();
                if (!ReadNode(read, onMain, sized)) return false;
            } else {
                return Fail(number, "unexpected '" + Shown(std::string_view(&c, 1)) + "'");
            }
        } while (depth > 0);
        if (!sized) return Fail(number, "no board size (SZ)");
        return true;
    }

    // One node's properties; on the main line, its move and the game's size.
    bool ReadNode(ReadGame& read, bool onMain, bool& sized) {
        const int number = read.game.number;
        bool moved = false;
        for (;;) {
            SkipSpace();
            const size_t start = pos_;
            std::string id;
            // Lower-case letters of old identifiers ("GaMe") are not part of the name.
            for (; pos_ < text_.size() && IsLetter(text_[pos_]); pos_++)
                if (text_[pos_] >= 'A' && text_[pos_] <= 'Z') id += text_[pos_];
            if (pos_ == start) return true;
            const int line = line_;
            std::vector<std::string> values;
            SkipSpace();
            while (pos_ < text_.size() && text_[pos_] == '[') {
                std::string value;
                if (!ReadValue(number, value)) return false;
                values.push_back(std::move(value));
                SkipSpace();
            }
            if (values.empty()) return Fail(number, "property " + Shown(id) + " without a value");
            if (!onMain) continue;
            if (id == "B" || id == "W") {
                if (moved) return Fail(number, "two moves in one node", line);
                moved = true;
                if (!AddMove(read, id, values, line)) return false;
            } else if (id == "AB" || id == "AW" || id == "AE") {
                return Fail(number, "setup stones (" + id + ") are not supported", line);
            } else if (id == "SZ") {
                if (!read.game.moves.empty())
                    return Fail(number, "board size after the first move", line);
                if (!ReadSize(number, values[0], line, read.game)) return false;
                sized = true;
            } else if (id == "PB" || id == "PW") {
                SetName(id == "PB" ? read.game.black : read.game.white, values[0]);
            } else if (id == "GM") {
                if (Trim(values[0]) != "4")
                    return Fail(number, "not a Gomoku record (GM[" + Shown(values[0]) + "])", line);
            }
        }
    }

    // A move property on the main line, in turn, with its cell.
    bool AddMove(ReadGame& read, const std::string& id, const std::vector<std::string>& values,
                 int line) {
        const int number = read.game.number;
        const int index = static_cast<int>(read.game.moves.size());
        const std::string text = id + "[" + Shown(values[0]) + "]";
        const std::string where = "move " + std::to_string(index + 1) + " " + text + ": ";
        if (read.game.width == 0)
            return Fail(number, where + "a move before the board size (SZ)", line);
        if ((id == "B") != (Mover(index) == Player::Black))
            return Fail(number, where + PlayerName(Mover(index)) + " is to move", line);
        if (values.size() != 1 || values[0].size() != 2)
            return Fail(number, where + "not a cell (two letters, column then row)", line);
        const int x = Coordinate(values[0][0]), y = Coordinate(values[0][1]);
        if (x < 0 || y < 0) return Fail(number, where + "not a cell (letters a-z, A-Z)", line);
        read.game.moves.push_back({x, y});
        read.sources.push_back({line, text});
        return true;
    }

    // SZ[n] or SZ[w:h], a board the engine plays.
    bool ReadSize(int number, const std::string& value, int line, RecordGame& game) {
        const std::string_view v = Trim(value);
        size_t pos = 0;
        int w = 0, h = 0;
        bool good = ReadNumber(v, pos, w);
        h = w;
        if (good && pos < v.size() && v[pos] == ':') {
            pos++;
            good = ReadNumber(v, pos, h);
        }
        if (!good || pos != v.size())
            return Fail(number, "bad board size SZ[" + Shown(value) + "]", line);
        if (!PlayableSize(w, h))
            return Fail(
                number,
                "a " + SizeText(w, h) + " board, which the engine cannot play (5 to 100 a side)",
                line);
        game.width = w;
        game.height = h;
        return true;
    }

    // The text of one value, from '[' to the ']' that no backslash escapes.
    bool ReadValue(int number, std::string& value) {
        const int line = line_;
        Advance();
        for (;;) {
            if (pos_ >= text_.size()) return Fail(number, "a value '[' is not closed by ']'", line);
            char c = text_[pos_];
            if (c == ']') break;
            if (c == '\\' && pos_ + 1 < text_.size()) {
                Advance();
                c = text_[pos_];
            }
            value += c;
            Advance();
        }
        Advance();
        return true;
    }

    // A column or row letter: a..z are 0..25, A..Z 26..51; -1 for anything else.
    static int Coordinate(char c) {
        if (c >= 'a' && c <= 'z') return c - 'a';
        if (c >= 'A' && c <= 'Z') return c - 'A' + 26;
        return -1;
    }

    void Advance() {
        if (text_[pos_] == '\n') line_++;
        pos_++;
    }

    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) Advance();
    }

    // Sets the message "game N, line L: what" (game 0 is left out) and fails;
    // the line is the current one unless given.
    bool Fail(int number, const std::string& what, int line = 0) {
        error_ = number > 0 ? "game " + std::to_string(number) + ", " : "";
        error_ += "line " + std::to_string(line > 0 ? line : line_) + ": " + what;
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    std::string error_;
};

// The lines of a text without their line ends.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The board size of a PSQ first line: the first word "WxH" (a comma may
// follow it); false when there is none.
bool PsqSize(std::string_view header, int& w, int& h) {
    for (size_t start = 0; start < header.size(); start++) {
        if (start > 0 && !IsSpace(header[start - 1])) continue;
        size_t pos = start;
        if (!ReadNumber(header, pos, w) || pos >= header.size() || header[pos] != 'x') continue;
        pos++;
        if (!ReadNumber(header, pos, h)) continue;
        if (pos == header.size() || header[pos] == ',' || IsSpace(header[pos])) return true;
    }
    return false;
}

// A PSQ move line "x,y,ms" or "x,y", spaces allowed around the numbers.
bool PsqMove(std::string_view line, int& x, int& y) {
    int values[3];
    int count = 0;
    size_t pos = 0;
    for (;;) {
        while (pos < line.size() && IsSpace(line[pos])) pos++;
        if (count == 3 || !ReadNumber(line, pos, values[count])) return false;
        count++;
        while (pos < line.size() && IsSpace(line[pos])) pos++;
        if (pos == line.size()) break;
        if (line[pos] != ',') return false;
        pos++;
    }
    x = values[0];
    y = values[1];
    return count >= 2;
}

// Reads the trailer that follows a PSQ's moves from lines[first]: nothing but
// blank lines, "-1" alone, or the first and the second player's names, then
// "-1" and anything. A move after the names and before "-1" means that a line
// among the moves was not one, and the moves after it would be lost.
bool ReadPsqTrailer(const std::vector<std::string_view>& lines, size_t first, RecordGame& game,
                    std::string& error) {
    size_t i = first;
    while (i < lines.size() && Trim(lines[i]).empty()) i++;
    if (i == lines.size() || Trim(lines[i]) == "-1") return true;
    SetName(game.black, lines[i]);
    if (i + 1 < lines.size()) SetName(game.white, lines[i + 1]);
    for (i += 2; i < lines.size() && Trim(lines[i]) != "-1"; i++) {
        int x, y;
        if (PsqMove(lines[i], x, y)) {
            error = "line " + std::to_string(i + 1) + ": a move (" + Shown(lines[i]) +
                    ") after the players' names (line " + std::to_string(first + 1) + ")";
            return false;
        }
    }
    return true;
}

// Reads the one game of a PSQ text whose first line gives the size.
bool ReadPsq(std::string_view text, std::vector<ReadGame>& games, std::string& error) {
    const std::vector<std::string_view> lines = Lines(text);
    ReadGame read;
    read.game.number = 1;
    int w = 0, h = 0;
    PsqSize(lines[0], w, h);
    if (!PlayableSize(w, h)) {
        error = "line 1: a " + SizeText(w, h) +
                " board, which the engine cannot play (5 to 100 a side)";
        return false;
    }
    read.game.width = w;
    read.game.height = h;
    size_t i = 1;
    for (; i < lines.size(); i++) {
        int x, y;
        if (!PsqMove(lines[i], x, y)) break;
        // Counted from 1 in the record; a 0 becomes -1, off the board.
        read.game.moves.push_back({x - 1, y - 1});
        read.sources.push_back({static_cast<int>(i) + 1, Shown(lines[i])});
    }
    if (!Finish(read, error) || !ReadPsqTrailer(lines, i, read.game, error)) return false;
    games.push_back(std::move(read));
    return true;
}

}  // namespace

bool PlayableSize(int boardWidth, int boardHeight) {
    return boardWidth >= MIN_BOARD && boardHeight >= MIN_BOARD && boardWidth <= MAX_BOARD &&
           boardHeight <= MAX_BOARD;
}

void ClearBoard(int boardWidth, int boardHeight) {
    width = boardWidth;
    height = boardHeight;
    for (int x = 0; x < width; x++)
        for (int y = 0; y < height; y++) SetCell(x, y, CELL_EMPTY);
    g_MyLastMove = g_OpponentLastMove = NO_MOVE;
    for (int& count : g_CountMove) count = 0;
    seed = FIXED_SEED;
}

int PlayOut(RecordGame& game, std::string& reason) {
    ClearBoard(game.width, game.height);
    game.winner = Player::None;
    for (size_t i = 0; i < game.moves.size(); i++) {
        const TMyMove m = game.moves[i];
        const int index = static_cast<int>(i);
        if (game.winner != Player::None) {
            reason = "a move after " + std::string(PlayerName(game.winner)) + "'s five";
        } else if (m.x < 0 || m.y < 0 || m.x >= game.width || m.y >= game.height) {
            reason = "the cell is off the " + SizeText(game.width, game.height) + " board";
        } else if (!isFree(m.x, m.y)) {
            reason = "the cell " + Cell(m.x, m.y) + " already holds a stone";
        } else {
            const int side = Mover(index) == Player::Black ? SIDE_MINE : SIDE_OPPONENT;
            if (IsWin(m.x, m.y, side)) game.winner = Mover(index);
            SetCell(m.x, m.y, side);
            continue;
        }
        return index;
    }
    return -1;
}

const char* PlayerName(Player player) {
    switch (player) {
        case Player::Black: return "black";
        case Player::White: return "white";
        default: return "none";
    }
}

Record ReadRecord(std::string_view name, std::string_view text) {
    Record record;
    std::vector<ReadGame> games;
    // A byte-order mark and blank lines may come first.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    const size_t first = std::find_if_not(text.begin(), text.end(), IsSpace) - text.begin();
    int w, h;
    bool good;
    const bool sgf = first < text.size() && text[first] == '(';
    if (sgf) {
        SgfReader reader(text);
        good = reader.ReadAll(games);
        record.error = reader.Error();
    } else if (first == 0 && !text.empty() && PsqSize(Lines(text)[0], w, h)) {
        good = ReadPsq(text, games, record.error);
    } else {
        good = false;
        record.error = "not an SGF or PSQ record";
    }
    if (!good) {
        record.error = std::string(name) + ": " + record.error;
        return record;
    }
    for (ReadGame& read : games) {
        read.game.source = std::string(name);
        if (sgf) read.game.source += "#" + std::to_string(read.game.number);
        record.games.push_back(std::move(read.game));
    }
    return record;
}
