#pragma once

#include "engine/image.h"
#include "engine/sound.h"
#include "engine/video.h"
#include "play/end_of_game.h"
#include "play/game_history.h"
#include "rules/economy.h"
#include "world/tile_map.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The object of one game, from "Begin" to the return of its frame loop.
// Constructed, loaded, run once and destroyed by the application.
//
// The fields are public in the manner of the economy's: the frame loop, the
// menus and the order flows all work on them, and tests drive a game by
// pushing events and reading them back.
class PlayState {
  public:
    // endOfGame may be null: a finished game then goes back to the main menu.
    explicit PlayState(EndOfGameScreen* endOfGame = nullptr);
    ~PlayState();
    PlayState(const PlayState&) = delete;
    PlayState& operator=(const PlayState&) = delete;

    // Map, top bar pictures and the three samples; starts the elf clock.
    // Throws on failure and may then be destroyed half loaded.
    void Load();
    // True: back to the main menu; false: the program ends.
    bool Run();

    // Run in three pieces, so that a caller can step through single frames:
    // Run() is StartFrames(), RunFrame() while running, then FinishFrames().
    void StartFrames();
    void RunFrame();
    // Scores a game whose clock ran out and shows the end-of-game screen;
    // returns returnToMenu.
    bool FinishFrames();

    void HandleEvents();
    void HandleKey(const SDL_Event& event);
    // The click state machine of the orders, menus and panels; acts on button
    // presses only and reads the pointer from the mouse state.
    void HandleMouseButton(const SDL_Event& event);

    // P or Pause: the clock stands still and a panel hides the map until the
    // key comes again.
    void TogglePause();
    bool Paused() const { return pause.has_value(); }

    void DrawCounters();
    void DrawTime();
    void DrawPausePanel();
    void SetMessage(std::string text, int32_t timeout);
    void ClearMessage();
    void DrawMessage();
    void DrawBuildMenu();
    void DrawQuitMenu();
    void RunScoreScreen(int32_t score);

    // money + 2 wood + 3 steel + 4 plastic, wrapping like 32-bit hardware.
    int32_t Score() const;

    TileMap map;
    bool running = false;
    std::array<Sprite, 2> topBarPictures;
    Economy economy;
    bool buildMenuOpen = false;
    int32_t buildMenuX = 0;
    int32_t buildMenuY = 0;
    int32_t buildMenuHover = -1;
    bool quitMenuOpen = false;
    int32_t quitMenuHover = -1;
    SDL_Color textColour;
    bool returnToMenu = true;
    std::string messageText;
    Uint32 messageSetAt = 0;
    int32_t messageTimeout = -1;
    Uint32 lastElfStep = 0;
    int32_t secondsLeft = 0;
    Uint32 lastSecondTick = 0;
    SampleHandle popSound;
    SampleHandle buildSound;
    SampleHandle walkSound;

    // The clock reached zero during the frames (also when the player left in
    // the same frame): the end-of-game screen follows.
    bool timeUp = false;
    // Money and stocks over the playing time, for the end-of-game screen.
    GameHistory history;

  private:
    void HandleLeftButton(int x, int y);
    void HandleRightButton(int x, int y);
    void DrawOverlays();
    void RecordHistory();

    EndOfGameScreen* endOfGame;
    std::optional<ClockPause> pause;
};

// The time display's text: "Time left: " minutes ":" seconds, unpadded.
std::string TimeLeftText(int32_t secondsLeft);
// A build and hire menu entry's label, 1 to 9: text, price and "]".
std::string BuildMenuLabel(int entry);
