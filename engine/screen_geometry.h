#pragma once

// Where things sit on the game's screen, in pixels from its top-left corner.
// Plain constants without SDL: the build tool that draws the top bar reads
// them too, so that its counters' fields and quit button lie where the game
// writes and clicks.

inline constexpr int ScreenWidth = 640;
inline constexpr int ScreenHeight = 480;

// The top bar spans the screen's width; the map's cells start at the left
// edge right below it.
inline constexpr int TopBarHeight = 32;
inline constexpr int MapTop = TopBarHeight;

// The top bar's numbers, left to right: money, wood, steel, plastic.
inline constexpr int CounterX[4] = {203, 359, 462, 583};
inline constexpr int CounterY = 8;

// A rectangle by its top-left corner, width and height.
struct ScreenArea {
    int x, y, w, h;

    constexpr bool Contains(int px, int py) const { return x <= px && px < x + w && y <= py && py < y + h; }
};

// The top bar's quit button; a click anywhere on it counts.
inline constexpr ScreenArea QuitButtonArea{7, 4, 132, 21};
