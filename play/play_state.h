#pragma once

#include "engine/image.h"
#include "engine/sound.h"
#include "play/end_of_game.h"
#include "rules/economy.h"
#include "world/tile_map.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <string>

// The object of one game, from "Begin" to the return of its frame loop.
// Constructed, loaded, run once and destroyed by the application.
class PlayState {
public:
    // endOfGame may be null: a finished game then goes back to the main menu.
    explicit PlayState(EndOfGameScreen* endOfGame = nullptr);
    ~PlayState();
    PlayState(const PlayState&) = delete;
    PlayState& operator=(const PlayState&) = delete;

    void Load();
    // True: back to the main menu; false: the program ends.
    bool Run();
};
