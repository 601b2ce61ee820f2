// Wins and open fours among the candidates of the current depth.
#pragma once

bool CanIWin();
bool CanOpponentWin();
bool CanI4Open(bool testOnly);
bool CanOpponent4Open(bool testOnly);
