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

// The facts of one building or deposit type: one row of the catalogue.
struct BuildingKind {
    const char* menuLabel;  // the build menu's text before the price; nullptr when not for sale
    int32_t cost;
    int32_t width;
    int32_t height;
    int32_t workersNeeded;
    int32_t upkeep;     // elves the building upkeeps
    int32_t mustCover;  // the deposit type the footprint must cover; 0 for none
    bool oreFed;        // works only with a carrier, and more carriers make it faster
    Uint32 interval;    // production interval in ms (an ore-fed one with one carrier); 0 for none
    int32_t woodMade;   // what a production cycle adds to the stocks
    int32_t steelMade;
    int32_t plasticMade;
    bool sellsStock;       // a cycle turns the stocks into money
    int32_t animatedTile;  // index into the footprint, row by row from the top left; -1 for none
    std::vector<const char*> basePictures;
    std::vector<const char*> workFrames;
    std::vector<const char*> panelLines;  // the information panel's fixed lines; none for a deposit
};

// The row of a type; a code that names no type (0 before loading) reads an empty 1 x 1 row.
const BuildingKind& BuildingKindOf(int type);

// The production interval in ms of a kind, an ore-fed one with so many carriers;
// 0 for a kind that never produces.
Uint32 ProductionInterval(const BuildingKind& kind, int carriers);
// The shortest interval the kind reaches, however many carriers it gets.
Uint32 FastestInterval(const BuildingKind& kind);

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
    const BuildingKind& Kind() const { return BuildingKindOf(type); }
    int Width() const { return Kind().width; }
    int Height() const { return Kind().height; }
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
