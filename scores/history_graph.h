#pragma once

#include "play/game_history.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <vector>

// The plot's rectangle on the screen, both corners included.
struct GraphFrame {
    int left, top, right, bottom;
};

struct GraphPoint {
    int x, y;
};

// A value axis from low (at the bottom) to high (at the top), labelled every
// step; every scale has GraphScaleSteps steps, so both sides' labels share
// the grid lines.
struct GraphScale {
    int32_t low = 0;
    int32_t high = 1;
    int32_t step = 1;
};
inline constexpr int GraphScaleSteps = 4;

// Where everything of the graph goes. Money reads against the left scale;
// wood, steel and plastic, which are far smaller numbers, against the right.
struct GraphLayout {
    GraphScale money;
    GraphScale goods;
    int32_t seconds = 1;     // playing time across the whole width
    int32_t minuteStep = 1;  // time labels every so many minutes
    std::array<std::vector<GraphPoint>, HistorySeriesCount> lines;
};

// The smallest scale of GraphScaleSteps round steps (1, 2 or 5 times a power
// of ten) that spans 0 and every value from lowest to highest.
GraphScale RoundScale(int32_t lowest, int32_t highest);
// The screen row of a value on a scale drawn in the frame.
int ScaleRow(const GraphScale& scale, const GraphFrame& frame, int32_t value);
// The graph's geometry: one point per sample and series, time from the left
// edge (0) to the right (the last sample's second).
GraphLayout LayOutHistoryGraph(const GameHistory& history, const GraphFrame& frame);

// The whole graph on a board of the end-of-game screen's look, with scales,
// time along the bottom and a legend; white texts in guiFont. The plot lies
// in HistoryPlot, each scale's labels beside it, centred on their grid lines.
inline constexpr GraphFrame HistoryPlot = {96, 76, 548, 344};
void DrawHistoryGraph(SDL_Surface* screen, const GameHistory& history);
