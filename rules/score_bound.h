#pragma once

#include <cstdint>

// Upper bounds of what a game can earn under the catalogue, the stocks' rules and the
// clock. docs/SCORE_BOUND.md gives the reasoning; the score server's limit must not be
// below ScoreBound().

// The slowest frame the bound allows for. The clock counts a second at the first frame
// that starts a second or more after the last count, so a counted second lasts less than
// a second and one frame. Four frames a second is slower than anyone plays.
inline constexpr uint32_t SlowestFrameMs = 250;

// Map tiles one building of the type takes, with its share of the offices that upkeep
// its workers.
double TilesWithUpkeep(int type);

// The most score one map tile can add per second of play, however the map is filled:
// producers and factories in the best mix, or producers alone keeping their stock.
double ScorePerTileSecond();

// The starting money plus every map tile earning ScorePerTileSecond() for the whole of
// the longest game, rounded up.
int64_t ScoreBound();
