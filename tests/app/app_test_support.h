#pragma once

#include "engine/video.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

// A clock that moves on by a fixed step every time it is read, so that a
// screen loop that waits for a time always gets there.
struct SteppingClock {
    SteppingClock(Uint32 start, Uint32 step) {
        next = start;
        stepSize = step;
        SetClock(Read);
    }
    ~SteppingClock() { SetClock(nullptr); }
    static Uint32 Read() {
        next += stepSize;
        return next - stepSize;
    }
    static Uint32 LastReading() { return next - stepSize; }
    static inline Uint32 next = 0;
    static inline Uint32 stepSize = 0;
};

// A TrueType font file from the system, standing in for the game's own.
inline const char* SystemFont = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-bold.otf";

// A screen, an empty event queue and a data/ folder; "data/gui.rkp" goes afterwards.
class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DrainEvents();
        std::filesystem::create_directories("data");
    }
    void TearDown() override { std::remove("data/gui.rkp"); }
    bool At(int x, int y, Uint8 r, Uint8 g, Uint8 b) const {
        const SDL_Color c = PixelColour(screen.Screen(), x, y);
        return c.r == r && c.g == g && c.b == b;
    }

    ScreenGuard screen;
};
