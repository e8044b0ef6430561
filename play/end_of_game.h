#pragma once

#include "play/game_history.h"

// The screen a finished game hands its score to. The game layer knows only
// this interface; the score screen above it implements it.
class EndOfGameScreen {
  public:
    virtual ~EndOfGameScreen() = default;
    // Runs until the player leaves; sets returnToMenu false when the window is
    // closed. The history is the game's story, shown on request.
    virtual void Run(int score, const GameHistory& history, bool& returnToMenu) = 0;
};
