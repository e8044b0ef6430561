#include "scores/history_graph.h"

#include "engine/image.h"
#include "engine/screen_geometry.h"
#include "engine/text.h"

#include <algorithm>
#include <string>

namespace {

// The board of the end-of-game screen's pictures: an amber rim, a lighter
// edge and a dark blue body.
constexpr SDL_Color BoardRim = {227, 155, 46, 0};
constexpr SDL_Color BoardEdge = {62, 64, 100, 0};
constexpr SDL_Color BoardFill = {14, 16, 34, 0};
constexpr ScreenArea Board = {16, 16, 608, 396};
constexpr GraphFrame Plot = HistoryPlot;

struct SeriesLook {
    const char* name;
    SDL_Color colour;
};
// The goods' names as the help pages use them; colours that part on the dark board.
constexpr SeriesLook Looks[HistorySeriesCount] = {{"Money", {255, 216, 94, 0}},
                                                  {"Wood", {214, 140, 72, 0}},
                                                  {"Steel", {150, 196, 240, 0}},
                                                  {"Plastic", {236, 104, 196, 0}}};

constexpr int32_t MinuteSteps[] = {1, 2, 4, 5, 10, 15, 20, 30, 60};
constexpr int32_t MostMinuteLabels = 6;

int64_t FloorDivide(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// value * span / range, rounded to the nearest whole number; value and span not negative.
int Proportion(int64_t value, int64_t span, int64_t range) {
    return static_cast<int>((2 * value * span + range) / (2 * range));
}

void Fill(SDL_Surface* screen, int x1, int y1, int x2, int y2, SDL_Color c) {
    FillBox(screen, x1, y1, x2, y2, c.r, c.g, c.b);
}

void DrawWhite(SDL_Surface* screen, int x, int y, const std::string& text) {
    guiFont.Draw(screen, x, y, text, 255, 255, 255);
}

void DrawScaleLabels(SDL_Surface* screen, const GraphLayout& layout) {
    // Texts sit centred on their grid line: half of guiFont's 18-pixel line above it.
    const int half = 9;
    for (int i = 0; i <= GraphScaleSteps; ++i) {
        const int64_t money = layout.money.low + i * layout.money.step;
        const int64_t goods = layout.goods.low + i * layout.goods.step;
        const int y = ScaleRow(layout.money, Plot, static_cast<int32_t>(money));
        DrawLine(screen, Plot.left, y, Plot.right, y, BoardEdge.r, BoardEdge.g, BoardEdge.b);
        const std::string left = NumberToText(static_cast<int32_t>(money));
        DrawWhite(screen, Plot.left - 8 - guiFont.TextWidth(left), y - half, left);
        DrawWhite(screen, Plot.right + 8, y - half, NumberToText(static_cast<int32_t>(goods)));
    }
    for (int32_t minute = 0; minute * 60 <= layout.seconds; minute += layout.minuteStep) {
        const int x = Plot.left + Proportion(minute * 60, Plot.right - Plot.left, layout.seconds);
        DrawLine(screen, x, Plot.bottom, x, Plot.bottom + 4, 255, 255, 255);
        const std::string label = NumberToText(minute);
        DrawWhite(screen, x - guiFont.TextWidth(label) / 2, Plot.bottom + 6, label);
    }
    const std::string caption = "Minutes played";
    DrawWhite(screen, (Plot.left + Plot.right - guiFont.TextWidth(caption)) / 2, Plot.bottom + 24, caption);
}

}  // namespace

GraphScale RoundScale(int32_t lowest, int32_t highest) {
    const int64_t low = std::min<int64_t>(0, lowest);
    const int64_t high = std::max<int64_t>(0, highest);
    for (int64_t power = 1;; power *= 10) {
        for (int64_t factor : {1, 2, 5}) {
            const int64_t step = factor * power;
            const int64_t bottom = FloorDivide(low, step) * step;
            // The top stays a 32-bit number, so every label can be written as one.
            if (bottom + GraphScaleSteps * step >= high && bottom + GraphScaleSteps * step <= INT32_MAX) {
                GraphScale scale;
                scale.low = static_cast<int32_t>(bottom);
                scale.high = static_cast<int32_t>(bottom + GraphScaleSteps * step);
                scale.step = static_cast<int32_t>(step);
                return scale;
            }
            if (step > INT32_MAX / GraphScaleSteps) {
                // Values near the 32-bit limits: one step from the lowest to the limit.
                const int32_t wide = static_cast<int32_t>((INT32_MAX - low) / GraphScaleSteps);
                return GraphScale{static_cast<int32_t>(low),
                                  static_cast<int32_t>(low + GraphScaleSteps * wide), wide};
            }
        }
    }
}

int ScaleRow(const GraphScale& scale, const GraphFrame& frame, int32_t value) {
    const int64_t clamped = std::clamp<int64_t>(value, scale.low, scale.high);
    return frame.bottom -
           Proportion(clamped - scale.low, frame.bottom - frame.top, int64_t{scale.high} - scale.low);
}

GraphLayout LayOutHistoryGraph(const GameHistory& history, const GraphFrame& frame) {
    GraphLayout layout;
    const std::vector<HistorySample>& samples = history.Samples();
    int32_t lowest[2] = {0, 0};
    int32_t highest[2] = {0, 0};
    for (const HistorySample& sample : samples) {
        for (int series = 0; series < HistorySeriesCount; ++series) {
            const int side = series == MoneySeries ? 0 : 1;
            lowest[side] = std::min(lowest[side], sample.values[series]);
            highest[side] = std::max(highest[side], sample.values[series]);
        }
        layout.seconds = std::max(layout.seconds, sample.second);
    }
    layout.money = RoundScale(lowest[0], highest[0]);
    layout.goods = RoundScale(lowest[1], highest[1]);

    const int32_t minutes = (layout.seconds + 59) / 60;
    layout.minuteStep = minutes / MostMinuteLabels + 1;
    for (int32_t step : MinuteSteps) {
        if (minutes <= step * MostMinuteLabels) {
            layout.minuteStep = step;
            break;
        }
    }

    for (const HistorySample& sample : samples) {
        const int x =
            frame.left + Proportion(std::max(sample.second, 0), frame.right - frame.left, layout.seconds);
        for (int series = 0; series < HistorySeriesCount; ++series) {
            const GraphScale& scale = series == MoneySeries ? layout.money : layout.goods;
            layout.lines[series].push_back({x, ScaleRow(scale, frame, sample.values[series])});
        }
    }
    return layout;
}

void DrawHistoryGraph(SDL_Surface* screen, const GameHistory& history) {
    const ScreenArea& b = Board;
    Fill(screen, b.x, b.y, b.x + b.w - 1, b.y + b.h - 1, BoardRim);
    Fill(screen, b.x + 1, b.y + 1, b.x + b.w - 2, b.y + b.h - 2, BoardEdge);
    Fill(screen, b.x + 3, b.y + 3, b.x + b.w - 4, b.y + b.h - 4, BoardFill);
    DrawWhite(screen, 32, 26, "How the game went");
    const std::string goodsCaption = "Wood, steel, plastic";
    DrawWhite(screen, 32, 50, "Money");
    DrawWhite(screen, b.x + b.w - 16 - guiFont.TextWidth(goodsCaption), 50, goodsCaption);

    const GraphLayout layout = LayOutHistoryGraph(history, Plot);
    DrawScaleLabels(screen, layout);
    DrawLine(screen, Plot.left, Plot.top, Plot.left, Plot.bottom, 255, 255, 255);
    DrawLine(screen, Plot.right, Plot.top, Plot.right, Plot.bottom, 255, 255, 255);
    DrawLine(screen, Plot.left, Plot.bottom, Plot.right, Plot.bottom, 255, 255, 255);

    // Money last, on top: it is what the score is mostly made of.
    for (int series = HistorySeriesCount - 1; series >= 0; --series) {
        const SDL_Color c = Looks[series].colour;
        const std::vector<GraphPoint>& line = layout.lines[series];
        for (std::size_t i = 1; i < line.size(); ++i) {
            // Two pixels thick, so that a line stays visible along a grid line.
            for (int dy = 0; dy < 2; ++dy) {
                DrawLine(screen, line[i - 1].x, line[i - 1].y - dy, line[i].x, line[i].y - dy, c.r, c.g, c.b);
            }
        }
    }

    int x = 120;
    const int y = Plot.bottom + 46;
    for (const SeriesLook& look : Looks) {
        Fill(screen, x, y + 7, x + 17, y + 9, look.colour);
        DrawWhite(screen, x + 24, y, look.name);
        x += 24 + guiFont.TextWidth(look.name) + 36;
    }
}
