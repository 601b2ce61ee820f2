// Double threats and the threat-sequence search.
#pragma once

// Double threats.
bool Is2Threat(int x, int y, int side);
bool CanI2Threat(bool testOnly);
bool CanOpponent2Threat(bool testOnly);

// Threat sequences: chains of single threats that end in a win for the attacker.
bool Is1Threat(int x, int y, int side, bool lineOnly);
bool DefenseMove1Threat(int x, int y, int defender, int depthLimit, bool lineOnly);
bool CanI1Threat(bool testOnly, int depthLimit, bool lineOnly);
bool CanOpponent1Threat(bool testOnly, int depthLimit, bool lineOnly);

// Set when the threat-sequence search gives up at its time check; the turn
// driver clears it. Only readers outside the search (the browser page) look
// at it: nothing in the engine does.
extern bool g_ThreatSearchCut;
