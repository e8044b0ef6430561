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

// The facts of one elf type: one row of the catalogue.
struct ElfKind {
    const char* menuLabel;  // the hire menu's text before the price
    int32_t cost;
    const char* picture;  // member of "data/elves.rkp"
};

// The row of a type; a code that names no elf reads a row without label, price or picture.
const ElfKind& ElfKindOf(int type);

class Building;
// The price of hiring an elf of the type; 0 for a code that names no elf.
int ElfCost(int type);

class Economy;

// One hired elf: a plain record that owns its picture. Move-only.
// A worker walks to a building and works there for good; a carrier shuttles
// between its mine and its foundry; a geologist wanders to unexplored tiles
// and may find one deposit.
class Elf {
  public:
    // Search states of a geologist.
    static constexpr int32_t Searching = 0;
    static constexpr int32_t JustFound = 1;
    static constexpr int32_t FoundBefore = 2;
    static constexpr int32_t Finished = 3;
    // Results of TakeFind.
    static constexpr int NoFind = 0;
    static constexpr int IronFind = 1;
    static constexpr int OilFind = 2;

    // Loads the type's picture from "data/elves.rkp". Throws.
    Elf(int type, int column, int row);

    void FreePicture();
    void Draw(SDL_Surface* screen) const;
    void WalkTo(int column, int row);
    // Sets a carrier off towards the entrance of building mineIndex.
    void StartRoute(const Economy& economy);
    // One step of the elf's behaviour; the economy supplies the buildings.
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
    // One byte per tile, column-major: index = column * MapRows + row.
    std::array<uint8_t, MapColumns * MapRows> explored{};
    int32_t searchState = 0;
    bool employed = false;
    int32_t dy = 0;
    int32_t dx = 0;
    bool inside = false;
    bool walking = false;

  private:
    // One tile towards the target: a row first, then a column.
    void Step();
    void HeadFor(const Building& building);
    void UpdateWorker(Economy& economy);
    void UpdateCarrier(const Economy& economy);
    void UpdateGeologist(const Economy& economy);
    void ChooseNextTarget();
};
