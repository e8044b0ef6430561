#pragma once

// The screen a finished game hands its score to. The game layer knows only
// this interface; the score screen above it implements it.
class EndOfGameScreen {
  public:
    virtual ~EndOfGameScreen() = default;
    // Runs until the player leaves; sets returnToMenu false when the window is closed.
    virtual void Run(int score, bool& returnToMenu) = 0;
};
