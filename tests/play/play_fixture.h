#pragma once

#include "play/end_of_game.h"
#include "play/play_state.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <SDL.h>

#include <memory>
#include <string>
#include <vector>

// Colours of the test content; none is a menu red, the text grey or black.
inline constexpr SDL_Color TopBarColour{10, 20, 30, 0};
inline constexpr SDL_Color TopBarDownColour{40, 50, 60, 0};
inline constexpr SDL_Color GroundColour{0, 200, 0, 0};
inline constexpr SDL_Color RockColour{0, 100, 100, 0};
inline constexpr SDL_Color OfficeColour{0, 0, 200, 0};
inline constexpr SDL_Color BuildingColour{90, 60, 30, 0};

inline constexpr SDL_Color TextGrey{217, 217, 217, 0};
inline constexpr SDL_Color Black{0, 0, 0, 0};
inline constexpr SDL_Color DarkRed{128, 0, 0, 0};
inline constexpr SDL_Color FrameRed{200, 0, 0, 0};
inline constexpr SDL_Color HighlightRed{180, 0, 0, 0};

bool SameColour(SDL_Color a, SDL_Color b);
std::string ColourText(SDL_Color c);

// A WAV file of the given length of silence (8 kHz, 8 bits, mono).
std::string SilentWav(int milliseconds);

// Writes the five game packages into data/ of the working folder; a sound
// member given as "" is left out, and any other text is stored as it is.
void WriteGamePackages(const std::string& buildWav = SilentWav(1500));

// An end-of-game screen that only records what it was given.
class FakeEndOfGame : public EndOfGameScreen {
  public:
    void Run(int score, bool& returnToMenu) override;
    int calls = 0;
    int lastScore = 0;
    bool closeWindow = false;  // behave as if the window were closed on it
};

// A loaded game on the dummy screen with the test clock, driven by pushed events.
// The screen, the sound output and the font are opened once for the program:
// the mixer library cannot be started a second time in one process.
class PlayTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates and loads the play state and starts its frames.
    void StartGame();

    // The pointer to (x, y) and a press of the button there.
    void Press(int x, int y, Uint8 button = SDL_BUTTON_LEFT);
    void PressKey(SDLKey key);
    void PushQuit();
    void Point(int x, int y);
    void Frame() { state->RunFrame(); }
    // Moves the pointer there, runs one frame and presses: the way a player
    // clicks on what was just drawn.
    void Click(int x, int y, Uint8 button = SDL_BUTTON_LEFT);

    SDL_Surface* Screen() const;
    SDL_Color Pixel(int x, int y) const { return PixelColour(Screen(), x, y); }

    // A bought building in the economy's list (index returned).
    int AddBuilding(int type, int column, int row, int workers = 0);
    int AddElf(int type, int column = 0, int row = 0);
    // The first cells from the top left with room for a width x height
    // building on ground without objects and clear of every building.
    bool FindFreeSpot(int width, int height, int& column, int& row) const;
    bool FindBlockedCell(int& column, int& row) const;

    ClockGuard clock{5000};
    FakeEndOfGame endOfGame;
    std::unique_ptr<PlayState> state;
};

// Text checks against the font's own rendering: every pixel that the text
// covers shows its colour and, when exclusive, no other pixel of the text's
// box does (false where other texts may reach into the box).
::testing::AssertionResult ShowsText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color colour, bool exclusive = true);
// The same for the outlined texts: four grey copies around the inner one.
::testing::AssertionResult ShowsOutlinedText(SDL_Surface* screen, int x, int y, const std::string& text,
                                             SDL_Color inner, bool exclusive = true);
// Whether any pixel in the rectangle (both corners included) has the colour.
bool AnyPixel(SDL_Surface* screen, int x1, int y1, int x2, int y2, SDL_Color colour);
