// The players' report on hand-made game objects: what it counts for whom,
// against a plain count of the same objects, the links to the page's review,
// the escaping of names, and the objects it refuses.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "report.h"

namespace {

// What the reviewer said of one move (from 1) of a hand-made game, and
// whether the mover won by fours before it.
struct Mark {
    int move;
    Verdict verdict = Verdict::None;
    VerdictKind kind = VerdictKind::None;
    bool forced = false;
};

// A game object as the reviewer writes it, of n moves along the rows of a
// board w wide, its moves made by MoveToJson; null names leave "players" out.
Json MakeGame(const char* source, const char* black, const char* white, int w, int h,
              const char* winner, int n, const std::vector<Mark>& marks = {}) {
    Json game = {{"source", source}, {"size", {w, h}}, {"moves", Json::array()}};
    game["winner"] = winner ? Json(winner) : Json(nullptr);
    if (black) game["players"] = {{"black", black}, {"white", white}};
    for (int i = 0; i < n; i++) {
        MoveReview r;
        r.index = i;
        r.player = Mover(i);
        r.move = {i % w, i / w};
        for (const Mark& m : marks) {
            if (m.move != i + 1) continue;
            r.verdict = m.verdict, r.kind = m.kind;
            if (m.forced) r.forced.side = r.player;
        }
        game["moves"].push_back(MoveToJson(r));
    }
    return game;
}

constexpr Verdict WIN = Verdict::MissedWin, BLOCK = Verdict::MissedBlock,
                  ALLOWED = Verdict::AllowedWin;
constexpr VerdictKind FIVE = VerdictKind::Five, FOURS = VerdictKind::Fours,
                      CHAIN = VerdictKind::Chain;

// Each side's results, moves and verdicts go to its own name, whatever its
// colour and board; the chain's verdicts and the winner's wins by fours are
// not counted, and only the loser's wins by fours list a game.
TEST(PlayerReport, CountsEachSideOfHandMadeGames) {
    const Json games[] = {
        MakeGame("t1.psq", "A", "B", 15, 15, "black", 9,
                 {{1, {}, {}, true},
                  {3, ALLOWED, FOURS},
                  {4, WIN, FOURS, true},
                  {6, {}, {}, true},
                  {8, BLOCK, FIVE}}),
        MakeGame("t2.psq", "B", "A", 20, 20, nullptr, 6, {{1, WIN, FIVE}, {2, WIN, CHAIN, true}}),
        MakeGame("t3.sgf", nullptr, nullptr, 15, 15, "white", 10,
                 {{1, {}, {}, true},
                  {3, {}, {}, true},
                  {5, {}, {}, true},
                  {7, WIN, FOURS},
                  {9, {}, {}, true}}),
        MakeGame("t4.sgf", "A", "A", 15, 15, "black", 5),
        MakeGame("t5.sgf", "", "", 15, 20, nullptr, 2),
    };
    PlayerReport report;
    for (const Json& game : games) ASSERT_EQ(report.Add(game), "");
    EXPECT_EQ(report.Games(), 5);

    using Sizes = std::map<std::pair<int, int>, std::vector<int>>;
    const struct {
        const char* name;
        std::vector<int> counts;  // games, won, lost, drawn, moves
        std::array<int, FAULT_COUNT> faults;
        Sizes bySize;
    } expected[] = {
        {"A", {4, 2, 1, 1, 13}, {0, 0, 0, 1}, {{{15, 15}, {2, 1, 0}}, {{20, 20}, {0, 0, 1}}}},
        {"B", {2, 0, 1, 1, 7}, {1, 1, 1, 0}, {{{15, 15}, {0, 1, 0}}, {{20, 20}, {0, 0, 1}}}},
        {"Black", {2, 0, 1, 1, 6}, {0, 0, 1, 0}, {{{15, 15}, {0, 1, 0}}, {{15, 20}, {0, 0, 1}}}},
        {"White", {2, 1, 0, 1, 6}, {0, 0, 0, 0}, {{{15, 15}, {1, 0, 0}}, {{15, 20}, {0, 0, 1}}}},
    };
    const std::vector<const PlayerStats*> players = report.Players();
    ASSERT_EQ(players.size(), std::size(expected));
    for (size_t i = 0; i < players.size(); i++) {
        const PlayerStats& p = *players[i];
        EXPECT_EQ(p.name, expected[i].name);
        EXPECT_EQ(std::vector<int>({p.games, p.total.wins, p.total.losses, p.total.draws, p.moves}),
                  expected[i].counts)
            << p.name;
        EXPECT_EQ(p.faults, expected[i].faults) << p.name;
        Sizes bySize;
        for (const auto& [size, r] : p.bySize) bySize[size] = {r.wins, r.losses, r.draws};
        EXPECT_EQ(bySize, expected[i].bySize) << p.name;
    }
    const std::vector<LostWin>& lost = report.LostWins();
    ASSERT_EQ(lost.size(), 2u);
    EXPECT_EQ(lost[0].moves, std::vector<int>({4, 6}));
    EXPECT_EQ(lost[1].moves, std::vector<int>({1, 3, 5, 9}));
    EXPECT_EQ(lost[0].played.size(), 9u);
    const std::string text = ReportText(report);
    EXPECT_NE(text.find("2 games where the loser once had a win by fours:\n"
                        "  t1.psq (Black A, White B): White lost, and won by fours before its "
                        "moves 4, 6\n"
                        "  t3.sgf (Black Black, White White): Black lost, and won by fours "
                        "before its moves 1-5, 9\n"),
              std::string::npos)
        << text;
}

// The column, in characters (code points), where the k-th word of a line ends.
int WordEnd(const std::string& line, int k) {
    int column = 0, words = 0;
    bool inWord = false;
    for (const char c : line) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;
        if (c == ' ' && inWord && words++ == k) return column;
        inWord = c != ' ';
        column++;
    }
    return column;
}

// Random games among players with awkward names: the report and its text
// table must agree with a plain count of the same JSON.
TEST(PlayerReport, AgreesWithAPlainCountOfTheJson) {
    const char* names[] = {"Zelto", "<b>&\"x\"", "Zo\xC3\xAB", "\xE6\x9D\x8E\xE7\x99\xBD", "q"};
    const std::pair<Verdict, VerdictKind> verdicts[] = {
        {WIN, FIVE}, {BLOCK, FIVE}, {WIN, FOURS}, {ALLOWED, FOURS}, {WIN, CHAIN}, {ALLOWED, CHAIN}};
    unsigned long long seed = 12345;
    const auto below = [&](int n) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((seed >> 33) % static_cast<unsigned long long>(n));
    };
    std::vector<Json> games;
    for (int g = 0; g < 60; g++) {
        const int w = below(2) ? 15 : 20, n = 1 + below(40);
        std::vector<Mark> marks;
        for (int m = 1; m <= n; m++)
            if (below(3) == 0)
                marks.push_back(
                    {m, verdicts[below(6)].first, verdicts[below(6)].second, below(3) == 0});
        const char* winner = below(3) == 0 ? nullptr : (n % 2 ? "black" : "white");
        games.push_back(MakeGame("r", names[below(5)], names[below(5)], w, w, winner, n, marks));
    }

    std::map<std::string, std::array<int, 5 + FAULT_COUNT>> plain;  // games, w, l, d, moves, ...
    int lostWins = 0;
    for (const Json& game : games) {
        bool loserWon = false;
        for (const char* side : {"black", "white"}) {
            auto& c = plain[game["players"][side].get<std::string>()];
            c[0]++;
            c[game["winner"].is_null() ? 3 : game["winner"] == side ? 1 : 2]++;
            for (const Json& m : game["moves"]) {
                if (m["player"] != side) continue;
                c[4]++;
                const std::string v = m["verdict"].dump() + m["kind"].dump();
                c[5] += v == "\"missed-win\"\"five\"";
                c[6] += v == "\"missed-block\"\"five\"";
                c[7] += v == "\"missed-win\"\"fours\"";
                c[8] += v == "\"allowed-win\"\"fours\"";
                loserWon |= !game["winner"].is_null() && game["winner"] != side &&
                            !m["forced"].is_null() && m["forced"]["side"] == side;
            }
        }
        lostWins += loserWon;
    }

    PlayerReport report;
    for (const Json& game : games) ASSERT_EQ(report.Add(game), "");
    EXPECT_EQ(static_cast<int>(report.LostWins().size()), lostWins);
    std::map<std::string, std::vector<std::string>> rows;  // by name: the words of its row
    std::map<std::string, int> gamesEnd;                   // by name: where "games" ends
    std::istringstream lines(ReportText(report));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string word; in >> word;) words.push_back(word);
        if (words.empty() || !plain.count(words[0])) continue;
        rows[words[0]] = words;
        gamesEnd[words[0]] = WordEnd(line, 1);
    }
    ASSERT_EQ(rows.size(), plain.size()) << ReportText(report);
    for (const auto& [name, c] : plain) {
        std::vector<std::string> want = {name};
        for (int k = 0; k < 5; k++) want.push_back(std::to_string(c[k]));
        for (int f = 0; f < FAULT_COUNT; f++) {
            char rate[32];
            std::snprintf(rate, sizeof rate, "(%.2f)", c[4] ? 100.0 * c[5 + f] / c[4] : 0);
            want.push_back(std::to_string(c[5 + f]));
            want.push_back(rate);
        }
        EXPECT_EQ(std::vector<std::string>(rows[name].begin(), rows[name].begin() + 14), want);
        // Aligned by characters, not bytes, whatever the name's script.
        EXPECT_EQ(gamesEnd[name], gamesEnd.begin()->second) << name;
    }
}

// The page's own link format, for the boards it shows and no others.
TEST(ReviewLink, MatchesThePagesLinks) {
    const std::vector<TMyMove> moves = {{7, 7}, {0, 0}, {8, 7}};
    const struct {
        const char* page;
        int w, h;
        std::vector<TMyMove> moves;
        const char* link;
    } cases[] = {
        {DEFAULT_PAGE_URL, 15, 15, moves, "http://127.0.0.1:8080/#moves=7,7;0,0;8,7&review=on"},
        {DEFAULT_PAGE_URL, 20, 20, moves,
         "http://127.0.0.1:8080/#moves=7,7;0,0;8,7&size=20&review=on"},
        {"https://x.org/z/", 5, 5, {{4, 0}}, "https://x.org/z/#moves=4,0&size=5&review=on"},
        {"https://x.org/z/", 30, 30, {}, "https://x.org/z/#moves=&size=30&review=on"},
        {"https://x.org/z/#moves=1,1&first=zelto",
         15,
         15,
         {{1, 2}},
         "https://x.org/z/#moves=1,2&review=on"},
        {DEFAULT_PAGE_URL, 15, 20, moves, ""},
        {DEFAULT_PAGE_URL, 31, 31, moves, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReviewLink(c.page, c.w, c.h, c.moves), c.link) << c.w << "x" << c.h;
}

// Every name and source is escaped, bytes that are not UTF-8 are replaced,
// the links are escaped as attributes, and the page loads and runs nothing.
TEST(ReportHtml, EscapesEverythingFromTheInput) {
    PlayerReport report;
    ASSERT_EQ(report.Add(MakeGame("a<b>&c.sgf", "<b>&\"x\"", "it's</td><script>", 15, 15, "black",
                                  7, {{4, WIN, FOURS, true}})),
              "");
    ASSERT_EQ(report.Add(MakeGame("w", "bad\xFF\xC3(", "tab\there", 20, 20, "black", 7,
                                  {{2, {}, {}, true}})),
              "");
    const std::string html = ReportHtml(report);
    for (const char* raw :
         {"<b>", "<script", "it's", "a<b>", "\xFF", "\t", "<link", "<img", "src=", "url("})
        EXPECT_EQ(html.find(raw), std::string::npos) << raw;
    for (const char* escaped :
         {"&lt;b&gt;&amp;&quot;x&quot;", "it&#39;s&lt;/td&gt;&lt;script&gt;",
          "a&lt;b&gt;&amp;c.sgf", "bad\xEF\xBF\xBD\xEF\xBF\xBD(", "tab\xEF\xBF\xBDhere",
          "href=\"http://127.0.0.1:8080/#moves=0,0;1,0;2,0;3,0;4,0;5,0;6,0&amp;size=20&amp;"
          "review=on\""})
        EXPECT_NE(html.find(escaped), std::string::npos) << escaped;
}

// A malformed object is refused with a reason, and nothing of it is counted.
TEST(PlayerReport, RefusesMalformedGamesAndCountsNothingOfThem) {
    const Json good = MakeGame("g", "A", "B", 15, 15, "black", 5, {{2, WIN, FOURS, true}});
    const auto changed = [&](const char* pointer, const Json& value) {
        Json game = good;
        if (value.is_discarded())
            game.erase(game.find(pointer));
        else
            game[Json::json_pointer(pointer)] = value;
        return game;
    };
    const Json gone(Json::value_t::discarded);
    const struct {
        Json game;
        const char* reason;
    } cases[] = {
        {Json::array(), "not a game object"},
        {changed("size", gone), "\"size\" is not"},
        {changed("/size", {4, 4}), "of 5 to 100 a side"},
        {changed("winner", gone), "\"winner\" is not"},
        {changed("/winner", "white"), "\"winner\" is white, who did not make the last move"},
        {changed("/players/white", 3), "the name of \"white\""},
        {changed("/moves/2", 7), "move 3: not a move object"},
        {changed("/moves/2/move", 4), "move 3: \"move\" is not 3"},
        {changed("/moves/2/player", "white"), "move 3: \"player\" is not \"black\""},
        {changed("/moves/1/x", 18446744073709551615ULL), "move 2: \"x\" and \"y\" are not"},
        {changed("/moves/1/y", -1), "move 2: \"x\" and \"y\" are not"},
        {changed("/moves/3/x", 0), "move 4: the cell 0,0 was played before"},
        {changed("/moves/1/verdict", "blunder"), "move 2: \"verdict\""},
        {changed("/moves/1/kind", "threes"), "move 2: \"kind\""},
        {changed("/moves/1/forced", {{"side", "red"}}), "move 2: \"forced\""},
    };
    PlayerReport report;
    ASSERT_EQ(report.Add(good), "");
    const std::string before = ReportText(report);
    for (const auto& c : cases) {
        const std::string reason = report.Add(c.game);
        EXPECT_NE(reason.find(c.reason), std::string::npos)
            << c.game.dump() << "\n gave: " << reason << "\n want: " << c.reason;
    }
    EXPECT_EQ(ReportText(report), before);
}

}  // namespace
