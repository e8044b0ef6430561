#pragma once

#include "play/end_of_game.h"
#include "play/play_state.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// Colours of the test content; none is a menu red, the text grey or black.
inline constexpr SDL_Color TopBarColour{10, 20, 30, 0};
inline constexpr SDL_Color TopBarDownColour{40, 50, 60, 0};

inline constexpr SDL_Color TextGrey{217, 217, 217, 0};
inline constexpr SDL_Color Black{0, 0, 0, 0};
inline constexpr SDL_Color DarkRed{128, 0, 0, 0};
inline constexpr SDL_Color FrameRed{200, 0, 0, 0};
inline constexpr SDL_Color HighlightRed{180, 0, 0, 0};

// Writes the five game packages into data/; "build.wav" is left out when
// given as "", and any other text is stored as it is; nullptr is a sound.
void WriteGamePackages(const char* buildWav = nullptr);

// An end-of-game screen that only records what it was given.
class FakeEndOfGame : public EndOfGameScreen {
  public:
    void Run(int score, const GameHistory& history, bool& returnToMenu) override {
        ++calls;
        lastScore = score;
        lastHistory = history;
        returnToMenu = returnToMenu && !closeWindow;
    }
    int calls = 0;
    int lastScore = 0;
    GameHistory lastHistory;
    bool closeWindow = false;  // behave as if the window were closed on it
};

// A loaded game on the dummy screen with the test clock, driven by pushed
// events. The screen, the sound output and the font are opened once for the
// program: the mixer library cannot be started a second time in one process.
class PlayTest : public ::testing::Test {
  protected:
    void SetUp() override;

    // Creates and loads the play state and starts its frames.
    void StartGame();

    void Point(int x, int y) { SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y)); }
    // The pointer to (x, y) and a press of the button there.
    void Press(int x, int y, Uint8 button = SDL_BUTTON_LEFT);
    void PressKey(SDLKey key);
    void Frame() { state->RunFrame(); }
    // Points, runs a frame, presses and runs a frame: the way a player clicks
    // on what was just drawn.
    void Click(int x, int y, Uint8 button = SDL_BUTTON_LEFT);

    static SDL_Surface* Screen();
    static bool PixelIs(int x, int y, SDL_Color colour) { return AnyPixel(Screen(), x, y, x, y, colour); }

    int AddBuilding(int type, int column, int row, int workers = 0);

    ClockGuard clock{5000};
    FakeEndOfGame endOfGame;
    std::unique_ptr<PlayState> state;
};
