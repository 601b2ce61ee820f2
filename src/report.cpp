#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// The boards the page shows, and the one its links leave out.
constexpr int PAGE_DEFAULT_SIZE = 15;
constexpr int PAGE_MIN_SIZE = 5;
constexpr int PAGE_MAX_SIZE = 30;

constexpr const char* REPLACEMENT = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
// By side: 0 Black, 1 White.
constexpr const char* SIDE_KEYS[2] = {"black", "white"};
constexpr const char* DEFAULT_NAMES[2] = {"Black", "White"};
constexpr Player SIDES[2] = {Player::Black, Player::White};

// The verdicts in words, for the page, and the colour of each in the chart
// (a palette that colour-blind readers tell apart).
constexpr const char* FAULT_LABELS[FAULT_COUNT] = {"missed five", "missed block",
                                                   "missed win by fours", "allowed win by fours"};
constexpr const char* FAULT_COLOURS[FAULT_COUNT] = {"#d55e00", "#e69f00", "#0072b2", "#009e73"};

// A name's characters shown in the chart; a longer one is cut with an ellipsis.
constexpr int CHART_NAME_CHARS = 24;

// What one game object says, read and checked before anything is counted.
struct GameFacts {
    std::string source;
    int game = 0;
    std::string names[2];
    int width = 0, height = 0;
    Player winner = Player::None;
    int moves[2] = {};
    std::array<int, FAULT_COUNT> faults[2] = {};
    std::vector<int> loserWins;
    std::vector<TMyMove> played;
};

// 0 for Black, 1 for White.
int SideIndex(Player player) {
    return player == Player::White ? 1 : 0;
}

// The member `key` of a JSON object, or null when it has none.
const Json* Field(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// Whether a JSON value is a whole number from low to high (low <= 0 <= high), into out.
bool IntegerIn(const Json& value, long long low, long long high, int& out) {
    long long v;
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(high)) return false;
        v = static_cast<long long>(u);
    } else if (value.is_number_integer()) {
        v = value.get<std::int64_t>();
    } else {
        return false;
    }
    if (v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

// Whether a JSON value is the string text.
bool IsText(const Json& value, const char* text) {
    return value.is_string() && value.get_ref<const std::string&>() == text;
}

// The side a JSON value names, "black" or "white", or None.
Player SideNamed(const Json& value) {
    for (int side = 0; side < 2; side++)
        if (IsText(value, SIDE_KEYS[side])) return SIDES[side];
    return Player::None;
}

// The Fault of a verdict of a kind, or -1 for one the report does not count.
int FaultOf(Verdict verdict, VerdictKind kind) {
    if (verdict == Verdict::MissedWin && kind == VerdictKind::Five) return 0;
    if (verdict == Verdict::MissedBlock && kind == VerdictKind::Five) return 1;
    if (verdict == Verdict::MissedWin && kind == VerdictKind::Fours) return 2;
    if (verdict == Verdict::AllowedWin && kind == VerdictKind::Fours) return 3;
    return -1;
}

// A move object's "verdict" into `verdict`, or false when it is none of the reviewer's.
bool ReadVerdict(const Json& value, Verdict& verdict) {
    verdict = Verdict::None;
    if (value.is_null()) return true;
    for (const Verdict v : {Verdict::MissedWin, Verdict::MissedBlock, Verdict::AllowedWin})
        if (IsText(value, VerdictName(v))) verdict = v;
    return verdict != Verdict::None;
}

// A move object's "kind" into `kind`, or false when it is none of the reviewer's.
bool ReadKind(const Json& value, VerdictKind& kind) {
    kind = VerdictKind::None;
    if (value.is_null()) return true;
    for (const VerdictKind k : {VerdictKind::Five, VerdictKind::Fours, VerdictKind::Chain})
        if (IsText(value, VerdictKindName(k))) kind = k;
    return kind != VerdictKind::None;
}

// The players' names, the source and the game number, none of which must be there.
std::string ReadLabels(const Json& game, GameFacts& facts) {
    const Json* players = Field(game, "players");
    if (players && !players->is_null()) {
        if (!players->is_object()) return "\"players\" is not {\"black\": name, \"white\": name}";
        for (int side = 0; side < 2; side++) {
            const Json* name = Field(*players, SIDE_KEYS[side]);
            if (!name || name->is_null()) continue;
            if (!name->is_string())
                return std::string("\"players\": the name of \"") + SIDE_KEYS[side] +
                       "\" is not text";
            facts.names[side] = name->get<std::string>();
        }
    }
    for (int side = 0; side < 2; side++)
        if (facts.names[side].empty()) facts.names[side] = DEFAULT_NAMES[side];
    const Json* source = Field(game, "source");
    if (source && !source->is_null()) {
        if (!source->is_string()) return "\"source\" is not text";
        facts.source = source->get<std::string>();
    }
    const Json* number = Field(game, "game");
    if (number && !number->is_null() && !IntegerIn(*number, 1, INT32_MAX, facts.game))
        return "\"game\" is not a game number from 1";
    return "";
}

// One move object, the index-th of its game, into the facts, or what is wrong with it.
std::string ReadMove(const Json& move, int index, std::vector<bool>& taken, GameFacts& facts) {
    const std::string at = "move " + std::to_string(index + 1) + ": ";
    if (!move.is_object()) return at + "not a move object";
    const Json* number = Field(move, "move");
    int n = 0;
    if (!number || !IntegerIn(*number, 0, INT32_MAX, n) || n != index + 1)
        return at + "\"move\" is not " + std::to_string(index + 1);
    const Player mover = Mover(index);
    const Json* player = Field(move, "player");
    if (!player || SideNamed(*player) != mover)
        return at + "\"player\" is not \"" + PlayerName(mover) + "\"";
    const Json* x = Field(move, "x");
    const Json* y = Field(move, "y");
    TMyMove cell;
    if (!x || !y || !IntegerIn(*x, 0, facts.width - 1, cell.x) ||
        !IntegerIn(*y, 0, facts.height - 1, cell.y))
        return at + "\"x\" and \"y\" are not a cell of the " + std::to_string(facts.width) + "x" +
               std::to_string(facts.height) + " board";
    const size_t slot = static_cast<size_t>(cell.x) * facts.height + cell.y;
    if (taken[slot])
        return at + "the cell " + std::to_string(cell.x) + "," + std::to_string(cell.y) +
               " was played before";
    taken[slot] = true;
    Verdict verdict;
    VerdictKind kind;
    const Json* verdictField = Field(move, "verdict");
    const Json* kindField = Field(move, "kind");
    if (!verdictField || !ReadVerdict(*verdictField, verdict))
        return at + "\"verdict\" is not null, \"missed-win\", \"missed-block\" or \"allowed-win\"";
    if (!kindField || !ReadKind(*kindField, kind))
        return at + "\"kind\" is not null, \"five\", \"fours\" or \"chain\"";
    const Json* forced = Field(move, "forced");
    Player forcedSide = Player::None;
    if (forced && forced->is_object()) {
        const Json* side = Field(*forced, "side");
        if (side) forcedSide = SideNamed(*side);
    }
    if (!forced || (!forced->is_null() && forcedSide == Player::None))
        return at + "\"forced\" is not null or {\"side\": \"black\"|\"white\", ...}";

    const int side = SideIndex(mover);
    facts.moves[side]++;
    const int fault = FaultOf(verdict, kind);
    if (fault >= 0) facts.faults[side][fault]++;
    if (facts.winner != Player::None && mover != facts.winner && forcedSide == mover)
        facts.loserWins.push_back(index + 1);
    facts.played.push_back(cell);
    return "";
}

// Reads a game object whole, or says what is wrong with it.
std::string ReadGame(const Json& game, GameFacts& facts) {
    if (!game.is_object()) return "not a game object";
    const std::string labels = ReadLabels(game, facts);
    if (!labels.empty()) return labels;
    const Json* size = Field(game, "size");
    if (!size || !size->is_array() || size->size() != 2 ||
        !IntegerIn((*size)[0], 0, 1000, facts.width) ||
        !IntegerIn((*size)[1], 0, 1000, facts.height) || !PlayableSize(facts.width, facts.height))
        return "\"size\" is not [width, height] of a board of 5 to 100 a side";
    const Json* winner = Field(game, "winner");
    if (!winner || !(winner->is_null() || SideNamed(*winner) != Player::None))
        return "\"winner\" is not null, \"black\" or \"white\"";
    facts.winner = SideNamed(*winner);
    const Json* moves = Field(game, "moves");
    if (!moves || !moves->is_array()) return "\"moves\" is not a list of moves";
    std::vector<bool> taken(static_cast<size_t>(facts.width) * facts.height);
    for (size_t i = 0; i < moves->size(); i++) {
        const std::string error = ReadMove((*moves)[i], static_cast<int>(i), taken, facts);
        if (!error.empty()) return error;
    }
    if (facts.winner != Player::None &&
        (facts.played.empty() || Mover(static_cast<int>(facts.played.size()) - 1) != facts.winner))
        return std::string("\"winner\" is ") + PlayerName(facts.winner) +
               ", who did not make the last move";
    return "";
}

// Counts a game's result for the side that played `me`.
void CountResult(Results& results, Player me, Player winner) {
    if (winner == Player::None)
        results.draws++;
    else if (winner == me)
        results.wins++;
    else
        results.losses++;
}

// The text as valid UTF-8 without control characters: each byte that starts
// no valid sequence, and each control character, becomes U+FFFD.
std::string CleanText(std::string_view text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        char32_t code = 0;
        if (c < 0x80) {
            length = 1, code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2, code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3, code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4, code = c & 0x07;
        }
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; k++) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            valid = (d & 0xC0) == 0x80;
            code = (code << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if (valid && ((length == 3 && code < 0x800) || (code >= 0xD800 && code <= 0xDFFF) ||
                      (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            valid = false;
        if (!valid) {
            out += REPLACEMENT;
            i++;
            continue;
        }
        const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
        if (control)
            out += REPLACEMENT;
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

// The characters of UTF-8 text (code points, not bytes).
int CharCount(std::string_view text) {
    int count = 0;
    for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// The first `chars` characters of clean UTF-8 text, the last an ellipsis when it is cut.
std::string Shortened(const std::string& text, int chars) {
    if (CharCount(text) <= chars) return text;
    size_t end = 0;
    for (int kept = 0; end < text.size(); end++) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && kept++ == chars - 1) break;
    }
    return text.substr(0, end) + "\xE2\x80\xA6";
}

// A number with two decimals.
std::string Fixed2(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// A number as short as it reads, for the chart's ticks and coordinates.
std::string Short(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// "1 game", "2 games".
std::string Counted(size_t count, const char* noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// "15x15".
std::string SizeText(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// "3/35/2".
std::string ResultsText(const Results& results) {
    return std::to_string(results.wins) + "/" + std::to_string(results.losses) + "/" +
           std::to_string(results.draws);
}

// "15x15 3/35/2, 20x20 1/0/0".
std::string BoardsText(const PlayerStats& player) {
    std::string text;
    for (const auto& [size, results] : player.bySize)
        text += (text.empty() ? "" : ", ") + SizeText(size.first, size.second) + " " +
                ResultsText(results);
    return text;
}

// A side's move numbers, in order: "move 9", "moves 14, 20-26": a run of three
// or more of its moves one after another is written as its first and last.
std::string MovesText(const std::vector<int>& numbers) {
    std::string text;
    for (size_t i = 0; i < numbers.size();) {
        size_t last = i;
        while (last + 1 < numbers.size() && numbers[last + 1] == numbers[last] + 2) last++;
        text += (text.empty() ? "" : ", ") + std::to_string(numbers[i]);
        if (last >= i + 2)
            text += "-" + std::to_string(numbers[last]);
        else
            last = i;
        i = last + 1;
    }
    return (numbers.size() == 1 ? "move " : "moves ") + text;
}

// "Black" or "White".
const char* SideTitle(Player player) {
    return player == Player::White ? "White" : "Black";
}

// Where a game comes from, in clean text: "games.sgf, game 3".
std::string GameLabel(const LostWin& game) {
    std::string label = game.source.empty() ? "(no source)" : CleanText(game.source);
    if (game.game > 0) label += ", game " + std::to_string(game.game);
    return label;
}

// Every board size of the report, in order.
std::vector<std::pair<int, int>> Sizes(const std::vector<const PlayerStats*>& players) {
    std::vector<std::pair<int, int>> sizes;
    for (const PlayerStats* p : players)
        for (const auto& entry : p->bySize) sizes.push_back(entry.first);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

// Rows of cells as lines, each column as wide as its widest cell; columns
// named in `left` are aligned left, the others right.
std::string Aligned(const std::vector<std::vector<std::string>>& rows,
                    const std::vector<bool>& left) {
    std::vector<int> widths(left.size());
    for (const auto& row : rows)
        for (size_t c = 0; c < row.size(); c++) widths[c] = std::max(widths[c], CharCount(row[c]));
    std::string text;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < row.size(); c++) {
            const std::string pad(widths[c] - CharCount(row[c]), ' ');
            line += (c ? "  " : "") + (left[c] ? row[c] + pad : pad + row[c]);
        }
        line.erase(line.find_last_not_of(' ') + 1);
        text += line + "\n";
    }
    return text;
}

// The step between the chart's ticks, 1, 2 or 5 times a power of ten, for
// about five ticks up to max (> 0).
double TickStep(double max) {
    const double raw = max / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * power >= raw * (1 - 1e-9)) return m * power;
    return 10 * power;
}

// The chart of the four rates of each player, a group of horizontal bars a
// player, as inline SVG.
std::string ChartSvg(const std::vector<const PlayerStats*>& players) {
    constexpr double LABELS = 210, PLOT = 610, RIGHT = 40, TOP = 48, BAR = 6, BAR_GAP = 1,
                     GROUP_GAP = 11, AXIS = 56;
    constexpr double GROUP = FAULT_COUNT * (BAR + BAR_GAP) - BAR_GAP + GROUP_GAP;
    const double plotHeight = GROUP * static_cast<double>(players.size());
    const double chartWidth = LABELS + PLOT + RIGHT, chartHeight = TOP + plotHeight + AXIS;
    double max = 0;
    for (const PlayerStats* p : players)
        for (const int count : p->faults) max = std::max(max, Per100(count, p->moves));
    const double step = TickStep(max > 0 ? max : 1);
    const int ticks = std::max(1, static_cast<int>(std::ceil(max / step - 1e-9)));
    const double top = step * ticks;
    const auto X = [&](double rate) { return LABELS + PLOT * rate / top; };

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" width=\"" +
                      Short(chartWidth) + "\" height=\"" + Short(chartHeight) +
                      "\" viewBox=\"0 0 " + Short(chartWidth) + " " + Short(chartHeight) +
                      "\" aria-labelledby=\"chart-title\">\n"
                      "<title id=\"chart-title\">Whole-board verdicts per 100 of each player's "
                      "moves</title>\n";
    // The legend, on one line above the plot.
    double x = LABELS;
    for (int f = 0; f < FAULT_COUNT; f++) {
        svg += "<rect x=\"" + Short(x) + "\" y=\"14\" width=\"14\" height=\"14\" rx=\"2\" fill=\"" +
               FAULT_COLOURS[f] + "\"/><text x=\"" + Short(x + 20) +
               "\" y=\"25.5\" class=\"legend\">" + FAULT_LABELS[f] + "</text>\n";
        x += 38 + 7.2 * CharCount(FAULT_LABELS[f]);
    }
    // Bands behind every other player, then the grid and the ticks.
    for (size_t i = 1; i < players.size(); i += 2)
        svg += "<rect x=\"0\" y=\"" + Short(TOP + GROUP * static_cast<double>(i) - 4) +
               "\" width=\"" + Short(LABELS + PLOT) + "\" height=\"" + Short(GROUP) +
               "\" fill=\"#f4f6fa\"/>\n";
    for (int t = 0; t <= ticks; t++) {
        const std::string tx = Short(X(step * t));
        svg += "<line x1=\"" + tx + "\" y1=\"" + Short(TOP - 4) + "\" x2=\"" + tx + "\" y2=\"" +
               Short(TOP + plotHeight) + "\" stroke=\"" + (t ? "#dde1e8" : "#5b6270") +
               "\"/><text x=\"" + tx + "\" y=\"" + Short(TOP + plotHeight + 16) +
               "\" text-anchor=\"middle\" class=\"tick\">" + Short(step * t) + "</text>\n";
    }
    svg += "<line x1=\"" + Short(LABELS) + "\" y1=\"" + Short(TOP + plotHeight) + "\" x2=\"" +
           Short(LABELS + PLOT) + "\" y2=\"" + Short(TOP + plotHeight) +
           "\" stroke=\"#5b6270\"/>\n";
    svg += "<text x=\"" + Short(LABELS + PLOT / 2) + "\" y=\"" + Short(TOP + plotHeight + 40) +
           "\" text-anchor=\"middle\" class=\"axis\">verdicts per 100 of the player's own "
           "moves</text>\n";
    svg += "<text x=\"14\" y=\"" + Short(TOP + plotHeight / 2) +
           "\" text-anchor=\"middle\" class=\"axis\" transform=\"rotate(-90 14 " +
           Short(TOP + plotHeight / 2) + ")\">player</text>\n";
    // Each player: its name, then a bar a verdict.
    for (size_t i = 0; i < players.size(); i++) {
        const PlayerStats& p = *players[i];
        const std::string name = CleanText(p.name);
        const double y = TOP + GROUP * static_cast<double>(i);
        svg += "<g><title>" + HtmlEscape(name) + "</title><text x=\"" + Short(LABELS - 8) +
               "\" y=\"" + Short(y + (GROUP - GROUP_GAP) / 2 + 4) +
               "\" text-anchor=\"end\" class=\"name\">" +
               HtmlEscape(Shortened(name, CHART_NAME_CHARS)) + "</text></g>\n";
        for (int f = 0; f < FAULT_COUNT; f++) {
            const double rate = Per100(p.faults[f], p.moves);
            svg += "<rect x=\"" + Short(LABELS) + "\" y=\"" + Short(y + f * (BAR + BAR_GAP)) +
                   "\" width=\"" + Short(X(rate) - LABELS) + "\" height=\"" + Short(BAR) +
                   "\" fill=\"" + FAULT_COLOURS[f] + "\"><title>" + HtmlEscape(name) + ": " +
                   FAULT_LABELS[f] + ", " + Fixed2(rate) + " per 100 moves (" +
                   std::to_string(p.faults[f]) + " in " + std::to_string(p.moves) +
                   ")</title></rect>\n";
        }
    }
    return svg + "</svg>\n";
}

constexpr const char* PAGE_STYLE = R"(
body { font-family: "DejaVu Sans", "Segoe UI", Helvetica, Arial, sans-serif; color: #1d2330;
       background: #fff; margin: 0 auto; max-width: 1120px; padding: 20px 28px 40px;
       line-height: 1.4; }
h1 { font-size: 1.45em; margin: 0 0 2px; }
h2 { font-size: 1.1em; margin: 26px 0 6px; }
p { margin: 4px 0 10px; }
.note { color: #586070; font-size: 0.86em; max-width: 62em; }
table { border-collapse: collapse; font-size: 0.88em; }
th, td { padding: 3px 9px; border-bottom: 1px solid #e2e5eb; }
th { background: #eef1f6; font-weight: 600; text-align: center; white-space: nowrap; }
th.sub { font-weight: 400; color: #586070; font-size: 0.92em; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.rate { color: #586070; }
td.name { font-weight: 600; max-width: 20em; overflow-wrap: anywhere; }
td.text { max-width: 22em; overflow-wrap: anywhere; }
tbody tr:nth-child(even) { background: #f8f9fb; }
.key { display: inline-block; width: 0.8em; height: 0.8em; border-radius: 2px;
       margin-right: 0.35em; vertical-align: -0.05em; }
svg { max-width: 100%; height: auto; }
svg text { font-family: "DejaVu Sans", "Segoe UI", Helvetica, Arial, sans-serif; fill: #1d2330; }
svg .legend, svg .name { font-size: 12px; }
svg .tick { font-size: 11px; fill: #586070; }
svg .axis { font-size: 12px; fill: #3a4150; }
a { color: #0062a8; }
.row { display: flex; flex-wrap: wrap; gap: 0 56px; align-items: flex-start; }
)";

// The players' table of the page.
std::string PlayersTable(const std::vector<const PlayerStats*>& players) {
    std::string html =
        "<table>\n<thead>\n<tr><th rowspan=\"2\">Player</th><th rowspan=\"2\">Games</th>"
        "<th rowspan=\"2\">Won</th><th rowspan=\"2\">Lost</th><th rowspan=\"2\">Drawn</th>"
        "<th rowspan=\"2\">Moves</th>";
    for (int f = 0; f < FAULT_COUNT; f++)
        html += std::string("<th colspan=\"2\"><span class=\"key\" style=\"background: ") +
                FAULT_COLOURS[f] + "\"></span>" + FAULT_LABELS[f] + "</th>";
    html += "</tr>\n<tr>";
    for (int f = 0; f < FAULT_COUNT; f++)
        html += "<th class=\"sub\">n</th><th class=\"sub\">/100</th>";
    html += "</tr>\n</thead>\n<tbody>\n";
    for (const PlayerStats* p : players) {
        html += "<tr><td class=\"name\">" + HtmlEscape(p->name) + "</td>";
        for (const int n : {p->games, p->total.wins, p->total.losses, p->total.draws, p->moves})
            html += "<td class=\"num\">" + std::to_string(n) + "</td>";
        for (int f = 0; f < FAULT_COUNT; f++)
            html += "<td class=\"num\">" + std::to_string(p->faults[f]) +
                    "</td><td class=\"num rate\">" + Fixed2(Per100(p->faults[f], p->moves)) +
                    "</td>";
        html += "</tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

// The table of each player's results by board.
std::string BoardsTable(const std::vector<const PlayerStats*>& players) {
    const std::vector<std::pair<int, int>> sizes = Sizes(players);
    std::string html = "<table>\n<thead>\n<tr><th>Player</th>";
    for (const auto& [w, h] : sizes) html += "<th>" + SizeText(w, h) + "</th>";
    html += "</tr>\n</thead>\n<tbody>\n";
    for (const PlayerStats* p : players) {
        html += "<tr><td class=\"name\">" + HtmlEscape(p->name) + "</td>";
        for (const auto& size : sizes) {
            const auto it = p->bySize.find(size);
            html += "<td class=\"num\">" +
                    (it == p->bySize.end() ? std::string("&#8211;") : ResultsText(it->second)) +
                    "</td>";
        }
        html += "</tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

// The table of the games whose loser once won by fours.
std::string LostWinsTable(const std::vector<LostWin>& games, const std::string& pageUrl) {
    std::string html =
        "<table>\n<thead>\n<tr><th>Game</th><th>Black</th><th>White</th><th>Lost</th>"
        "<th>Won by fours before its</th><th>Review</th></tr>\n</thead>\n<tbody>\n";
    for (const LostWin& g : games) {
        const std::string link = ReviewLink(pageUrl, g.width, g.height, g.played);
        html += "<tr><td class=\"text\">" + HtmlEscape(GameLabel(g)) + "</td><td class=\"name\">" +
                HtmlEscape(g.black) + "</td><td class=\"name\">" + HtmlEscape(g.white) +
                "</td><td>" + SideTitle(g.loser) + "</td><td class=\"text\">" + MovesText(g.moves) +
                "</td><td>" +
                (link.empty() ? "not on the page (" + SizeText(g.width, g.height) + ")"
                              : "<a href=\"" + HtmlEscape(link) + "\">review</a>") +
                "</td></tr>\n";
    }
    return html + "</tbody>\n</table>\n";
}

}  // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::MissedFive: return "missed five";
        case Fault::MissedBlock: return "missed block";
        case Fault::MissedFours: return "missed fours";
        case Fault::AllowedFours: return "allowed fours";
    }
    return "none";
}

std::string PlayerReport::Add(const Json& game) {
    GameFacts facts;
    const std::string error = ReadGame(game, facts);
    if (!error.empty()) return error;
    games_++;
    for (int side = 0; side < 2; side++) {
        PlayerStats& player = players_[facts.names[side]];
        player.name = facts.names[side];
        player.games++;
        CountResult(player.total, SIDES[side], facts.winner);
        CountResult(player.bySize[{facts.width, facts.height}], SIDES[side], facts.winner);
        player.moves += facts.moves[side];
        for (int f = 0; f < FAULT_COUNT; f++) player.faults[f] += facts.faults[side][f];
    }
    if (!facts.loserWins.empty()) {
        LostWin lost;
        lost.source = facts.source;
        lost.game = facts.game;
        lost.black = facts.names[0];
        lost.white = facts.names[1];
        lost.loser = facts.winner == Player::Black ? Player::White : Player::Black;
        lost.moves = facts.loserWins;
        lost.width = facts.width;
        lost.height = facts.height;
        lost.played = facts.played;
        lostWins_.push_back(std::move(lost));
    }
    return "";
}

std::vector<const PlayerStats*> PlayerReport::Players() const {
    std::vector<const PlayerStats*> players;
    for (const auto& entry : players_) players.push_back(&entry.second);
    std::stable_sort(
        players.begin(), players.end(),
        [](const PlayerStats* a, const PlayerStats* b) { return a->games > b->games; });
    return players;
}

double Per100(int count, int moves) {
    return moves > 0 ? 100.0 * count / moves : 0.0;
}

std::string ReviewLink(const std::string& pageUrl, int boardWidth, int boardHeight,
                       const std::vector<TMyMove>& moves) {
    if (boardWidth != boardHeight || boardWidth < PAGE_MIN_SIZE || boardWidth > PAGE_MAX_SIZE)
        return "";
    std::string link = pageUrl.substr(0, pageUrl.find('#')) + "#moves=";
    for (size_t i = 0; i < moves.size(); i++)
        link += (i ? ";" : "") + std::to_string(moves[i].x) + "," + std::to_string(moves[i].y);
    if (boardWidth != PAGE_DEFAULT_SIZE) link += "&size=" + std::to_string(boardWidth);
    return link + "&review=on";
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    for (const char c : CleanText(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string ReportText(const PlayerReport& report) {
    const std::vector<const PlayerStats*> players = report.Players();
    std::string text = Counted(report.Games(), "game") + ", " + Counted(players.size(), "player") +
                       "; whole-board verdicts on each player's own moves: count (per "
                       "100 moves)\n";
    std::vector<std::vector<std::string>> rows = {
        {"player", "games", "won", "lost", "drawn", "moves"}};
    for (int f = 0; f < FAULT_COUNT; f++) rows[0].push_back(FaultName(static_cast<Fault>(f)));
    rows[0].push_back("boards (won/lost/drawn)");
    for (const PlayerStats* p : players) {
        std::vector<std::string> row = {CleanText(p->name),
                                        std::to_string(p->games),
                                        std::to_string(p->total.wins),
                                        std::to_string(p->total.losses),
                                        std::to_string(p->total.draws),
                                        std::to_string(p->moves)};
        for (int f = 0; f < FAULT_COUNT; f++)
            row.push_back(std::to_string(p->faults[f]) + " (" +
                          Fixed2(Per100(p->faults[f], p->moves)) + ")");
        row.push_back(BoardsText(*p));
        rows.push_back(row);
    }
    std::vector<bool> left(rows[0].size(), false);
    left.front() = left.back() = true;
    text += Aligned(rows, left);
    const std::vector<LostWin>& lost = report.LostWins();
    text += Counted(lost.size(), "game") + " where the loser once had a win by fours" +
            (lost.empty() ? "" : ":") + "\n";
    for (const LostWin& g : lost)
        text += "  " + GameLabel(g) + " (Black " + CleanText(g.black) + ", White " +
                CleanText(g.white) + "): " + SideTitle(g.loser) +
                " lost, and won by fours before its " + MovesText(g.moves) + "\n";
    return text;
}

std::string ReportHtml(const PlayerReport& report, const std::string& pageUrl) {
    const std::vector<const PlayerStats*> players = report.Players();
    int moves = 0;
    for (const PlayerStats* p : players) moves += p->moves;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
        "<title>Zelto review: " +
        Counted(report.Games(), "game") + "</title>\n<style>" + PAGE_STYLE +
        "</style>\n</head>\n<body>\n<h1>Zelto review: the players</h1>\n<p>" +
        Counted(report.Games(), "game") + ", " + Counted(players.size(), "player") + ", " +
        Counted(moves, "move") +
        ".</p>\n<p class=\"note\">Each count is of the verdicts that the whole board "
        "proves (a five, or a win by fours) on the player's own moves: a five it did not make, "
        "a five of the opponent's it did not block, a win by fours it did not start, and a move "
        "after which the opponent won by fours where another stone would have stopped it. "
        "A game that no five ended counts as drawn.</p>\n";
    html += "<h2>Players</h2>\n" + PlayersTable(players);
    html += "<h2>Verdicts per 100 moves</h2>\n";
    html += players.empty() ? "<p>No games.</p>\n" : ChartSvg(players);
    // The two narrower tables side by side where the page is wide enough.
    html +=
        "<div class=\"row\">\n<section>\n<h2>Results by board</h2>\n<p class=\"note\">"
        "Won/lost/drawn.</p>\n" +
        BoardsTable(players) + "</section>\n";
    const std::vector<LostWin>& lost = report.LostWins();
    html += "<section>\n<h2>Games the loser could have won by fours</h2>\n<p class=\"note\">" +
            Counted(lost.size(), "game") +
            " in which the side that lost was winning by fours before one of its moves (a-b: "
            "each of its moves from a to b). A link opens the game in the review of Zelto's "
            "page at <code>" +
            HtmlEscape(pageUrl.substr(0, pageUrl.find('#'))) + "</code>.</p>\n";
    if (!lost.empty()) html += LostWinsTable(lost, pageUrl);
    html += "</section>\n</div>\n";
    return html + "</body>\n</html>\n";
}
