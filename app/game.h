#pragma once

#include "engine/sound.h"
#include "scores/score_screen.h"

#include <cstdint>

// The application object: brings the platform up on construction, runs the
// title and the main-menu loop, and takes everything down again on
// destruction. Exactly one exists, for the whole run.
class Game {
  public:
    // Start-up. A failure is reported on the standard error stream and ends
    // start-up there; the run then goes on as far as it can.
    Game(int argc, char* argv[]);
    // Shut-down, in order, whatever start-up reached.
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The title, then the main menu until "Quit". Always 0.
    int32_t Run();

    bool fullscreen = false;
    bool use32Bit = false;
    SongHandle music;
    ScoreServer scoreServer;

  private:
    void StartSoundMusicAndFont();
    void StartMusic();
    // One game from a fresh play state; false when the program is to end.
    bool PlayOneGame();
};
