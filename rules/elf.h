#pragma once

#include "engine/image.h"
#include "world/tile_map.h"

#include <SDL.h>

#include <array>
#include <cstdint>

enum ElfType : int32_t {
    Worker = 1,
    Geologist = 2,
    Carrier = 3,
};

class Economy;

// One hired elf: a plain record that owns its picture. Move-only.
class Elf {
public:
    // Loads the type's picture from "data/elves.rkp". Throws.
    Elf(int type, int column, int row);

    void FreePicture();
    void Draw(SDL_Surface* screen) const;
    void WalkTo(int column, int row);
    void StartRoute(const Economy& economy);
    void Update(Economy& economy);
    // 1 iron, 2 oil, 0 nothing to take.
    int TakeFind();
    void MergeExplored(const Elf& other);
    bool AtTarget() const { return dx == 0 && dy == 0; }

    int32_t type = 0;
    Sprite picture;
    int32_t x = 0;
    int32_t y = 0;
    bool onRoute = false;
    int32_t mineIndex = -1;
    int32_t foundryIndex = -1;
    bool toFoundry = false;
    Uint32 stopTimer = 0xFFFFFFFFu;
    std::array<uint8_t, MapColumns * MapRows> explored{};
    int32_t searchState = 0;
    bool employed = false;
    int32_t dy = 0;
    int32_t dx = 0;
    bool inside = false;
    bool walking = false;
};
