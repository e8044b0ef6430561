#pragma once

#include "engine/image.h"
#include "engine/video.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "world/tile_map.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// A game's clock: so many counted seconds, each at least SecondLength ms long.
inline constexpr int32_t GameSeconds = 1440;
inline constexpr Uint32 SecondLength = 1000;
// What a new game starts with; the stocks start empty.
inline constexpr int32_t StartingMoney = 5000;

// Results of Economy::BuyBuilding and Economy::BuyElf.
enum OrderResult : int32_t {
    OrderDone = 0,
    NothingPlaced = 1,
    NotEnoughMoney = 2,
    InvalidSpot = 3,
    NoOfficeRoom = 4,
};

// The rules state of one game: buildings, elves, money, stocks, and the state of
// the player's orders and panels. Lists only grow; records are named by index.
class Economy {
  public:
    Economy();
    ~Economy();
    Economy(const Economy&) = delete;
    Economy& operator=(const Economy&) = delete;

    int32_t Money() const { return money; }
    int32_t Wood() const { return wood; }
    int32_t Steel() const { return steel; }
    int32_t Plastic() const { return plastic; }
    // Money plus every stock at its score weight, wrapping like 32-bit arithmetic.
    int32_t Score() const;

    // Simulation. Every frame: draws each building in list order and lets the
    // working ones produce.
    void UpdateBuildings(SDL_Surface* screen);
    // Every 500 ms: one step of each elf in list order, a geologist's find put
    // on the map at once, then the geologists share what they explored.
    void UpdateElves();
    void DrawElves(SDL_Surface* screen);
    // Builds, loads and appends a building (used for deposits). Throws.
    void AddBuilding(int type, int column, int row);

    // Orders.
    void StartPlacing(int type);
    void CancelPlacing();
    void MovePreview(int x, int y);
    void DrawPreview(SDL_Surface* screen, const TileMap& map);
    bool IsSpotValid(const TileMap& map) const;
    int BuyBuilding(const TileMap& map);
    int BuyElf(int menuItem);
    bool HireIntoOffice(int column, int row);
    bool SendWorker(int column, int row);
    bool ChooseMine(int column, int row);
    bool ChooseFoundry(int column, int row);

    // Panels.
    bool OpenInfoPanel(int x, int y);
    bool InfoPanelClick(int x, int y);
    void DrawInfoPanel(Video& video, const Font& font, SDL_Color colour);
    std::vector<std::string> InfoPanelLines(int buildingIndex) const;
    void OpenFreeElvesPanel(int x, int y);
    bool FreeElvesClick(int x, int y);
    void DrawFreeElvesPanel(int mouseX, int mouseY, Video& video, const Font& font, SDL_Color colour);

    std::vector<Building> buildings;
    Building preview;
    Uint32 previewBlinkTimer = 0;
    bool placing = false;
    int32_t money = StartingMoney;
    int32_t wood = 0;
    int32_t steel = 0;
    int32_t plastic = 0;
    std::vector<Elf> elves;
    int32_t pendingElfType = -1;
    int32_t selectedBuilding = -1;
    int32_t infoPanelX = 0;
    int32_t infoPanelY = 0;
    bool freeElvesPanelOpen = false;
    int32_t freeElvesPanelX = 0;
    int32_t freeElvesPanelY = 0;
    int32_t freeElvesRow = 0;
    int32_t selectedWorker = -1;
    int32_t selectedCarrier = -1;
    int32_t routeCarrier = -1;

  private:
    // A factory's cycle: each stock sells on its own when enough of it is in stock.
    void RunFactoryCycle();
    // After every pass each geologist knows every tile any geologist explored.
    void ShareExploredTiles();
};

// The rules of one stock: the catalogue field that fills it, what a factory cycle
// sells of it, and what a unit still in stock adds to the score at the end.
struct StockRules {
    int32_t Economy::*held;
    int32_t BuildingKind::*made;
    int32_t saleUnits;  // a cycle sells this many when at least this many are in stock
    int32_t saleIncome;
    int32_t scoreWeight;
};

inline constexpr StockRules Stocks[] = {
    {&Economy::wood, &BuildingKind::woodMade, 10, 200, 2},
    {&Economy::steel, &BuildingKind::steelMade, 5, 300, 3},
    {&Economy::plastic, &BuildingKind::plasticMade, 3, 500, 4},
};
