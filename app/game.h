#pragma once

#include "app/settings.h"
#include "engine/sound.h"
#include "engine/video.h"
#include "scores/score_screen.h"

#include <cstdint>
#include <string>

// The application object: brings the platform up on construction, runs the
// title and the main-menu loop, and takes everything down again on
// destruction. Exactly one exists, for the whole run.
class Game : private ScreenWideKeys {
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
    // The settings of this run: the file's, with the command line's on top.
    Settings settings;
    // The player's settings file; empty when there is no folder for it.
    std::string settingsPath;

  private:
    void StartSoundMusicAndFont();
    void StartMusic();
    // Alt+Enter, M and F12, on whichever screen is up.
    KeyOutcome Take(const SDL_Event& event, bool typingLetters, std::string& notice) override;
    // False when the display keeps the mode it had.
    bool ToggleFullScreen();
    void ApplySoundSettings();
    // The place of a new screenshot, or why there is none.
    std::string TakeScreenshot();
    void SaveSettingsNow();
    // One game from a fresh play state; false when the program is to end.
    bool PlayOneGame();
};
