#pragma once

#include "engine/image.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

// Codes 1 to 6 are also the build menu's items.
enum BuildingType : int32_t {
    Office = 1,
    Woodworker = 2,
    Factory = 3,
    Plastics = 4,
    Foundry = 5,
    Mine = 6,
    Iron = 7,
    Oil = 8,
};

// The price of a building type; throws "Invalid building type when getting cost!".
int BuildingCost(int type);

// One building or deposit on the map: a plain record that owns its pictures.
// Move-only; the economy holds them by value and names them by index.
class Building {
  public:
    Building();

    // Loads the type's pictures from "data/buildings.rkp". Throws.
    void Load(int type);
    void FreePictures();
    void SetPosition(int column, int row);
    void GetPosition(int& column, int& row) const;
    int Width() const;
    int Height() const;
    int EntranceColumn() const { return x; }
    int EntranceRow() const { return y + Height() - 1; }
    bool Contains(int column, int row) const;
    bool IsDeposit() const { return type == Iron || type == Oil; }
    // True at most once per production interval; restarts the interval when true.
    bool ProductionDue();
    bool IsWorking() const;
    // Advances the working animation and blits the building.
    void Draw(SDL_Surface* screen);

    int32_t type = 0;
    int32_t x = 0;
    int32_t y = 0;
    std::vector<Sprite> pictures;
    std::vector<Sprite> workFrames;
    Uint32 animTimer = 0;
    int32_t animFrame = 0;
    int32_t workersNeeded = 0;
    int32_t workers = 0;
    int32_t carriers = 0;
    int32_t upkeptElves = 0;
    Uint32 productionTimer = 0;
};
