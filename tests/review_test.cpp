// The record readers on good and malformed records, and the reviewer's
// verdicts on small positions, above all on moves that must get none.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform.h"
#include "record.h"
#include "review.h"

// Found by argument-dependent lookup, so beside TMyMove in the global namespace.
static bool operator==(TMyMove a, TMyMove b) {
    return a.x == b.x && a.y == b.y;
}

namespace {

// Each malformed record gets one message: the file's name, then where and what.
TEST(ReadRecord, RefusesMalformedRecordsWithOneMessage) {
    const struct {
        const char* text;
        const char* message;  // what follows "f.sgf: "
    } cases[] = {
        {"", "not an SGF or PSQ record"},
        {"hello\n1,1,0\n", "not an SGF or PSQ record"},
        {"\n15x15\n8,8,0\n", "not an SGF or PSQ record"},
        {"(;FF[4]GM[4]SZ[15];B[hh]", "game 1, line 1: the game is not closed by ')'"},
        {"(;SZ[15]\nC[a comment\n", "game 1, line 2: a value '[' is not closed by ']'"},
        {"(;SZ[15];B[hh]) junk", "line 1: text after game 1"},
        {"(;SZ[15];B[hh]W[ii])", "game 1, line 1: two moves in one node"},
        {"(;SZ[15]AB[aa][bb];W[hh])", "game 1, line 1: setup stones (AB) are not supported"},
        {"(;SZ[15];B[hh];AW[aa])", "setup stones (AW) are not supported"},
        {"(;GM[1]SZ[19];B[aa])", "game 1, line 1: not a Gomoku record (GM[1])"},
        {"(;FF[4];B[aa])", "move 1 B[aa]: a move before the board size (SZ)"},
        {"(;FF[4]GM[4])", "game 1, line 1: no board size (SZ)"},
        {"(;SZ[4];B[aa])", "a 4x4 board, which the engine cannot play (5 to 100 a side)"},
        {"(;SZ[15:101])", "a 15x101 board, which the engine cannot play"},
        {"(;SZ[fifteen])", "bad board size SZ[fifteen]"},
        {"(;SZ[15];B[hh];SZ[19])", "board size after the first move"},
        {"(;SZ[15];W[hh])", "move 1 W[hh]: black is to move"},
        {"(;SZ[15];B[hh];B[ii])", "move 2 B[ii]: white is to move"},
        {"(;SZ[15];B[])", "move 1 B[]: not a cell (two letters, column then row)"},
        {"(;SZ[15];B[h8])", "move 1 B[h8]: not a cell (letters a-z, A-Z)"},
        {"(;SZ[15];B[h\nh])", "game 1, line 1: move 1 B[h?h]: not a cell"},
        {"(;SZ[15];B[hh];W[abcdefghijklmnopqrstuvwxyz])", "W[abcdefghijklmnopqrstuvwx...]: not"},
        {"(;SZ[15];B[hh];W[pa])", "game 1, move 2 W[pa] (line 1): the cell is off the 15x15 board"},
        {"(;SZ[15];B[hh];W[hh])", "game 1, move 2 W[hh] (line 1): the cell 7,7 already holds"},
        {"(;SZ[15];B[aa])\n(;SZ[15];B[aa];W[bb];B[aa])", "game 2, move 3 B[aa] (line 2)"},
        {"(;SZ[9];B[aa];W[ai];B[ba];W[bi];B[ca];W[ci];B[da];W[di];B[ea];W[ei])",
         "move 10 W[ei] (line 1): a move after black's five"},
        {"X 15x15, 1:1, 0\n8,8,0\n8,8,0\n", "game 1, move 2 8,8,0 (line 3): the cell 7,7 already"},
        {"X 15x15, 1:1, 0\n16,1,0\n", "move 1 16,1,0 (line 2): the cell is off the 15x15 board"},
        {"X 15x15, 1:1, 0\n0,1,0\n", "move 1 0,1,0 (line 2): the cell is off the 15x15 board"},
        {"X 3x3, 1:1, 0\n1,1,0\n", "line 1: a 3x3 board, which the engine cannot play"},
        {"X 9x9\n1,1\n1,9\n2,1\n2,9\n3,1\n3,9\n4,1\n4,9\n5,1\n5,9\n",
         "move 10 5,9 (line 11): a move after black's five"},
    };
    for (const auto& c : cases) {
        const Record record = ReadRecord("f.sgf", c.text);
        EXPECT_TRUE(record.games.empty()) << c.text;
        EXPECT_EQ(record.error.rfind("f.sgf: ", 0), 0u) << record.error;
        EXPECT_NE(record.error.find(c.message), std::string::npos)
            << c.text << "\n gave: " << record.error << "\n want: " << c.message;
        EXPECT_EQ(record.error.find('\n'), std::string::npos) << record.error;
    }
}

// Records as match runners write them: several games a file, comments and
// properties of their own, variations, line ends of either kind.
TEST(ReadRecord, ReadsGamesAsRunnersWriteThem) {
    const struct {
        const char* text;
        std::vector<std::vector<TMyMove>> games;
        std::vector<Player> winners;
        int width, height;  // of the last game
    } cases[] = {
        {"(;FF[4]GM[4]GN[1]EV[A x B]RO[1.1]RU[0]SZ[15]PB[A]PW[B]RE[0]TE[Draw]\n"
         ";B[ln]C[0ms];W[ik]C[1ms];B[jk]C[1ms])\n"
         "(;FF[4]GM[4]SZ[30:15]C[a \\] bracket; (not a node)]\r\n;B[aa];W[Ab])\n",
         {{{11, 13}, {8, 10}, {9, 10}}, {{0, 0}, {26, 1}}},
         {Player::None, Player::None},
         30,
         15},
        // The main line is the first variation at every branch.
        {"\xEF\xBB\xBF(;SZ[15];B[hh](;W[ii];B[jj](;W[aa])(;W[bb]))(;W[cc]))",
         {{{7, 7}, {8, 8}, {9, 9}, {0, 0}}},
         {Player::None},
         15,
         15},
        {"(;SZ[9]GaMe[4];B[aa];W[ai];B[ba];W[bi];B[ca];W[ci];B[da];W[di];B[ea])",
         {{{0, 0}, {0, 8}, {1, 0}, {1, 8}, {2, 0}, {2, 8}, {3, 0}, {3, 8}, {4, 0}}},
         {Player::Black},
         9,
         9},
        {"(;SZ[15])", {{}}, {Player::None}, 15, 15},
        // The moves end at the first line that is no move; the rest is ignored.
        {"NAME 20x20, 11:11, 0\r\n8,8,0\r\n 1 , 2 ,15\r\n9,8\r\nengine-a.exe\r\n3,3,3\r\n-1\r\n",
         {{{7, 7}, {0, 1}, {8, 7}}},
         {Player::None},
         20,
         20},
        {"X 5x6,\n1,1,0\n5,6,0\n2,2,0\n4,6,0\n3,3,0\n3,6,0\n4,4,0\n2,6,0\n5,5,0\n",
         {{{0, 0}, {4, 5}, {1, 1}, {3, 5}, {2, 2}, {2, 5}, {3, 3}, {1, 5}, {4, 4}}},
         {Player::Black},
         5,
         6},
    };
    for (const auto& c : cases) {
        const Record record = ReadRecord("r", c.text);
        ASSERT_EQ(record.error, "") << c.text;
        ASSERT_EQ(record.games.size(), c.games.size()) << c.text;
        for (size_t i = 0; i < c.games.size(); i++) {
            EXPECT_EQ(record.games[i].number, static_cast<int>(i) + 1);
            EXPECT_EQ(record.games[i].moves, c.games[i]) << c.text;
            EXPECT_EQ(record.games[i].winner, c.winners[i]) << c.text;
        }
        EXPECT_EQ(record.games.back().width, c.width) << c.text;
        EXPECT_EQ(record.games.back().height, c.height) << c.text;
    }
}

// The players' names and each game's source: PB and PW, or the two lines after
// a PSQ's moves as a tournament's judge writes them; "Black" and "White"
// without them.
TEST(ReadRecord, NamesThePlayersAndTheGames) {
    const struct {
        const char* text;
        const char* black;
        const char* white;
        const char* source;  // of the last game
        size_t moves;
    } cases[] = {
        {"Freestyle 15x15, 11:11, 0\r\n8,8,0\r\n9,9,0\r\n10,10,1203\r\nENGINE25.zip\r\n"
         "Pente Master\r\n-1\r\n0,Freestyle15_1\r\n7,7,7\r\n",
         "ENGINE25.zip", "Pente Master", "r", 3},
        {"X 15x15, 1:1, 0\n8,8,0\n  first  \n\tsecond\n-1\n", "first", "second", "r", 1},
        {"X 15x15, 1:1, 0\n8,8,0\n-1\nA.zip\nB.zip\n8,9,0\n", "Black", "White", "r", 1},
        {"X 15x15, 1:1, 0\n8,8,0\n\n\n", "Black", "White", "r", 1},
        {"X 15x15, 1:1, 0\n8,8,0\nonly.exe\n", "only.exe", "White", "r", 1},
        {"X 15x15, 1:1, 0\n8,8,0\nA\nB\nround 3\n", "A", "B", "r", 1},
        {"(;SZ[15]PB[Ann\nLee]PW[ \x01 ];B[hh])", "Ann Lee", "White", "r#1", 1},
        {"(;SZ[15]PB[A];B[hh])(;SZ[15]PW[B];B[hh];W[ii])", "Black", "B", "r#2", 2},
    };
    for (const auto& c : cases) {
        const Record record = ReadRecord("r", c.text);
        ASSERT_EQ(record.error, "") << c.text;
        const RecordGame& game = record.games.back();
        EXPECT_EQ(game.black, c.black) << c.text;
        EXPECT_EQ(game.white, c.white) << c.text;
        EXPECT_EQ(game.source, c.source) << c.text;
        EXPECT_EQ(game.moves.size(), c.moves) << c.text;
    }
    // A move after the names: a line among the moves was none, and the rest would be lost.
    const Record lost = ReadRecord("f.psq", "X 15x15, 1:1, 0\n8,8,0\nok\n9,9,0\n10,10,0\n-1\n");
    EXPECT_EQ(lost.error, "f.psq: line 5: a move (10,10,0) after the players' names (line 3)");
    EXPECT_TRUE(lost.games.empty());
}

// The clock stands still, so no threat search is cut.
class Verdicts : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetTickSource(+[]() -> std::uint32_t { return 1000; });
    }
    void TearDown() override { plat::SetTickSource(nullptr); }

    // A 15x15 game of Black's and White's stones, taken in turn in the order
    // given (the last of each list is its side's last move), then `played`.
    static RecordGame Game(const std::vector<TMyMove>& black, const std::vector<TMyMove>& white,
                           TMyMove played) {
        RecordGame game;
        game.width = game.height = 15;
        for (size_t i = 0; i < black.size() || i < white.size(); i++) {
            if (i < black.size()) game.moves.push_back(black[i]);
            if (i < white.size()) game.moves.push_back(white[i]);
        }
        game.moves.push_back(played);
        std::string reason;
        EXPECT_EQ(PlayOut(game, reason), -1) << reason;
        return game;
    }

    static MoveReview Last(const RecordGame& game) {
        return ReviewMove(game, static_cast<int>(game.moves.size()) - 1, 1000);
    }
};

// The board's facts come before the chain: White's quiet move lets Black's
// open three become an open four, which only a stone at either end stops.
TEST_F(Verdicts, AllowedWinThenMissedWinInTheOpenThreeGame) {
    const Record record =
        ReadRecord("x.sgf", "(;FF[4]GM[4]SZ[15];B[hh];W[aa];B[ih];W[ab];B[jh];W[ac];B[oo])");
    ASSERT_EQ(record.error, "");
    const RecordGame& game = record.games[0];
    const std::vector<TMyMove> ends = {{6, 7}, {10, 7}};
    for (int i = 0; i < 5; i++) EXPECT_EQ(ReviewMove(game, i, 1000).verdict, Verdict::None) << i;
    const MoveReview allowed = ReviewMove(game, 5, 1000);
    EXPECT_EQ(allowed.verdict, Verdict::AllowedWin);
    EXPECT_EQ(allowed.kind, VerdictKind::Fours);
    EXPECT_EQ(allowed.cells, ends);
    EXPECT_EQ(allowed.line, (std::vector<TMyMove>{{6, 7}, {5, 7}, {10, 7}}));
    EXPECT_EQ(allowed.forced.side, Player::None);
    EXPECT_EQ(allowed.text,
              "After this move Black wins by fours: 6,7 (5,7) five at 10,7; a White stone at 6,7 "
              "or 10,7 would have stopped it.");
    const MoveReview win = ReviewMove(game, 6, 1000);
    EXPECT_EQ(win.verdict, Verdict::MissedWin);
    EXPECT_EQ(win.cells, ends);
    EXPECT_EQ(win.text, "Black could have won by fours from 6,7 or 10,7: 6,7 (5,7) five at 10,7.");
    EXPECT_EQ(MoveJson(win),
              R"({"move":7,"player":"black","x":14,"y":14,"verdict":"missed-win","kind":"fours",)"
              R"("cells":[[6,7],[10,7]],"line":[[6,7],[5,7],[10,7]],)"
              R"("forced":{"side":"black","line":[[6,7],[5,7],[10,7]]},"cut":false,)"
              R"("text":"Black could have won by fours from 6,7 or 10,7: 6,7 (5,7) five at 10,7.",)"
              R"("engine":""})");
}

// Black's four 0,0-3,3 on the diagonal stands from move 7; the chain, which
// looks near the last stones, sees it only at first.
TEST_F(Verdicts, FivesAnywhereOnTheBoard) {
    const Record record = ReadRecord(
        "x.sgf",
        "(;FF[4]GM[4]SZ[15];B[aa];W[oo];B[bb];W[mo];B[cc];W[om];B[dd];W[ko];B[oa];W[jj];B[ee])");
    ASSERT_EQ(record.error, "");
    const RecordGame& game = record.games[0];
    const std::vector<TMyMove> five = {{4, 4}};
    for (int i = 0; i < 11; i++) {
        const MoveReview r = ReviewMove(game, i, 1000);
        const bool judged = i == 7 || i == 8 || i == 9;
        EXPECT_EQ(r.verdict, i == 8   ? Verdict::MissedWin
                             : judged ? Verdict::MissedBlock
                                      : Verdict::None)
            << i;
        EXPECT_EQ(r.kind, judged ? VerdictKind::Five : VerdictKind::None) << i;
        EXPECT_EQ(r.cells, judged ? five : std::vector<TMyMove>{}) << i;
        // From move 8 on, Black to move makes five at once.
        EXPECT_EQ(r.forced.side, i == 8 || i == 10 ? Player::Black : Player::None) << i;
        if (r.forced.side != Player::None) {
            EXPECT_EQ(r.forced.line, five) << i;
        }
    }
    EXPECT_EQ(ReviewMove(game, 7, 1000).text,
              "Black would make five at 4,4; White had to block there.");
    EXPECT_EQ(ReviewMove(game, 8, 1000).text, "Black could make five at 4,4.");
    EXPECT_EQ(ReviewFinal(game).analysed, false);
}

// A move that wins in its own way, or holds the threat off in another, gets
// no verdict though it is not the cell the engine found; a quiet move does.
TEST_F(Verdicts, NoneForAMoveThatWinsOrBlocksOtherwise) {
    const struct {
        const char* what;
        std::vector<TMyMove> black, white;
        TMyMove played;
        Verdict verdict;
        VerdictKind kind = VerdictKind::None;
    } cases[] = {
        // Black's open three in row 7 near the last moves, another far off in row 13.
        {"open four on the far three",
         {{1, 13}, {2, 13}, {3, 13}, {7, 7}, {8, 7}, {9, 7}},
         {{0, 0}, {14, 0}, {14, 14}, {12, 3}, {3, 3}, {7, 1}},
         {4, 13},
         Verdict::None},
        {"quiet move beside an open three",
         {{1, 13}, {2, 13}, {3, 13}, {7, 7}, {8, 7}, {9, 7}},
         {{0, 0}, {14, 0}, {14, 14}, {12, 3}, {3, 3}, {7, 1}},
         {5, 4},
         Verdict::MissedWin,
         VerdictKind::Fours},
        // A four the opponent must answer, made beside an open three.
        {"four elsewhere",
         {{2, 2}, {2, 3}, {2, 4}, {7, 7}, {8, 7}, {9, 7}},
         {{2, 1}, {14, 0}, {14, 14}, {12, 3}, {10, 12}, {7, 1}},
         {2, 5},
         Verdict::None},
        // An open four: either end makes five.
        {"the other five",
         {{5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{0, 0}, {14, 0}, {14, 14}, {7, 1}},
         {4, 7},
         Verdict::None},
        {"the other five, other end",
         {{5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{0, 0}, {14, 0}, {14, 14}, {7, 1}},
         {9, 7},
         Verdict::None},
        {"no five",
         {{5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{0, 0}, {14, 0}, {14, 14}, {7, 1}},
         {9, 9},
         Verdict::MissedWin,
         VerdictKind::Five},
        // White's four far from both last moves: Black's open three is no win
        // then, whatever Black plays.
        {"blocks a five the chain did not see",
         {{0, 9}, {13, 13}, {7, 7}, {8, 7}, {9, 7}},
         {{0, 10}, {0, 11}, {0, 12}, {0, 13}, {12, 2}},
         {0, 14},
         Verdict::None},
        // White to move against Black's split three . O O . O . in row 7.
        {"blocks the split three at its end",
         {{5, 7}, {6, 7}, {8, 7}},
         {{0, 0}, {14, 14}},
         {4, 7},
         Verdict::None},
        {"blocks the split three at its other end",
         {{5, 7}, {6, 7}, {8, 7}},
         {{0, 0}, {14, 14}},
         {9, 7},
         Verdict::None},
        {"leaves the split three",
         {{5, 7}, {6, 7}, {8, 7}},
         {{0, 0}, {14, 14}},
         {12, 2},
         Verdict::AllowedWin,
         VerdictKind::Fours},
        // White to move against Black's open four: any five cell is a block.
        {"blocks one end of an open four",
         {{5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{0, 0}, {14, 14}, {0, 14}},
         {9, 7},
         Verdict::None},
        {"blocks the other end of an open four",
         {{5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{0, 0}, {14, 14}, {0, 14}},
         {4, 7},
         Verdict::None},
        // A four of White's own is no answer to Black's five.
        {"four against a five",
         {{14, 0}, {5, 7}, {6, 7}, {7, 7}, {8, 7}},
         {{4, 7}, {1, 1}, {1, 2}, {1, 3}},
         {1, 4},
         Verdict::MissedBlock,
         VerdictKind::Five},
    };
    for (const auto& c : cases) {
        const MoveReview review = Last(Game(c.black, c.white, c.played));
        EXPECT_EQ(review.verdict, c.verdict) << c.what << ": " << review.text;
        EXPECT_EQ(review.kind, c.kind) << c.what;
        EXPECT_EQ(review.text.empty(), c.verdict == Verdict::None) << c.what;
    }
}

// Black's threat sequence: the cell the search found, another cell from which
// the same search wins, and quiet moves.
TEST_F(Verdicts, SequenceWinsOnlyForMovesThatStartNone) {
    const std::vector<TMyMove> black = {{8, 6}, {9, 6}, {8, 7}};
    const std::vector<TMyMove> white = {{0, 14}, {8, 9}, {10, 8}};
    const struct {
        TMyMove played;
        Verdict verdict;
    } cases[] = {
        {{7, 6}, Verdict::None},      {{10, 5}, Verdict::None},      {{8, 5}, Verdict::None},
        {{7, 7}, Verdict::MissedWin}, {{14, 0}, Verdict::MissedWin},
    };
    for (const auto& c : cases) {
        const MoveReview review = Last(Game(black, white, c.played));
        EXPECT_EQ(review.verdict, c.verdict) << c.played.x << "," << c.played.y;
        if (review.verdict != Verdict::None) {
            EXPECT_EQ(review.kind, VerdictKind::Chain);
            EXPECT_EQ(review.cells, (std::vector<TMyMove>{{7, 6}}));
            EXPECT_EQ(review.text, "Zelto found a winning sequence of threats starting at 7,6.");
        }
    }
}

TEST(Json, EscapesWhatANameMayHold) {
    EXPECT_EQ(JsonString("a \"b\" \\ c\n\x01 é"), "\"a \\\"b\\\" \\\\ c\\n\\u0001 é\"");
    // A name that is not UTF-8 is written, with a replacement character.
    EXPECT_EQ(JsonString("a\xff"), "\"a\xef\xbf\xbd\"");
    EXPECT_EQ(CellsJson({}), "[]");
    EXPECT_EQ(CellsJson({{1, 2}, {3, 4}}), "[[1,2],[3,4]]");
}

}  // namespace
