#include "engine/image.h"
#include "engine/screen_geometry.h"
#include "engine/video.h"
#include "rules/economy.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

constexpr Uint32 PreviewHiddenMs = 250;
constexpr Uint32 PreviewPeriodMs = 750;

// The first building (deposits skipped) whose footprint holds the tile and
// whose type is the wanted one; -1 when none.
int FindBuilding(const std::vector<Building>& buildings, int column, int row, int type) {
    for (size_t i = 0; i < buildings.size(); ++i) {
        const Building& b = buildings[i];
        if (!b.IsDeposit() && b.type == type && b.Contains(column, row)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool IsElfOfType(const std::vector<Elf>& elves, int index, int type) {
    return index >= 0 && static_cast<size_t>(index) < elves.size() && elves[index].type == type;
}

bool Overlaps(const Building& a, const Building& b) {
    return a.x < b.x + b.Width() && b.x < a.x + a.Width() && a.y < b.y + b.Height() && b.y < a.y + a.Height();
}

}  // namespace

void Economy::StartPlacing(int type) {
    preview.FreePictures();
    // A failed load leaves no half-loaded preview on screen.
    placing = false;
    preview.Load(type);
    previewBlinkTimer = Now();
    placing = true;
}

void Economy::CancelPlacing() {
    preview.FreePictures();
    placing = false;
}

void Economy::MovePreview(int x, int y) {
    if (!placing) {
        return;
    }
    x = std::clamp(x, 0, ScreenWidth);
    y = std::clamp(y, TopBarHeight, ScreenHeight);
    int column = ColumnOfPoint(x);
    int row = RowOfPoint(y);
    if (column + preview.Width() > MapColumns) {
        column = MapColumns - preview.Width();
    }
    if (row + preview.Height() > MapRows) {
        row = MapRows - preview.Height();
    }
    preview.SetPosition(column, row);
}

void Economy::DrawPreview(SDL_Surface* screen, const TileMap& map) {
    if (!placing) {
        return;
    }
    const Uint32 now = Now();
    // Elapsed time by unsigned subtraction keeps the blink going across a clock wrap.
    const Uint32 elapsed = now - previewBlinkTimer;
    if (elapsed < PreviewHiddenMs) {
        return;
    }
    preview.Draw(screen);
    if (!IsSpotValid(map)) {
        const int px = TileSize * preview.x;
        const int py = TileSize * (preview.y + 1);
        const int w = TileSize * preview.Width();
        const int h = TileSize * preview.Height();
        DrawLine(screen, px, py, px + w, py + h, 255, 0, 0);
        DrawLine(screen, px, py + 1, px + w - 1, py + h, 255, 0, 0);
        DrawLine(screen, px + 1, py, px + w, py + h - 1, 255, 0, 0);
        DrawLine(screen, px, py + h, px + w, py, 255, 0, 0);
        DrawLine(screen, px, py + h - 1, px + w - 1, py, 255, 0, 0);
        DrawLine(screen, px + 1, py + h, px + w, py + 1, 255, 0, 0);
    }
    if (elapsed >= PreviewPeriodMs) {
        previewBlinkTimer = now;
    }
}

bool Economy::IsSpotValid(const TileMap& map) const {
    const int width = preview.Width();
    const int height = preview.Height();
    // The map's cell test has no range check, so a footprint off the map is refused here.
    if (preview.x < 0 || preview.y < 0 || preview.x + width > MapColumns || preview.y + height > MapRows) {
        return false;
    }
    for (int column = preview.x; column < preview.x + width; ++column) {
        for (int row = preview.y; row < preview.y + height; ++row) {
            if (map.IsBlocked(column, row)) {
                return false;
            }
        }
    }
    for (const Building& b : buildings) {
        if (!b.IsDeposit() && Overlaps(preview, b)) {
            return false;
        }
    }
    const int deposit = preview.Kind().mustCover;
    if (deposit != 0) {
        return std::any_of(buildings.begin(), buildings.end(), [&](const Building& b) {
            return b.type == deposit && preview.Contains(b.x, b.y);
        });
    }
    return true;
}

int Economy::BuyBuilding(const TileMap& map) {
    if (!placing) {
        return NothingPlaced;
    }
    if (!IsSpotValid(map)) {
        return InvalidSpot;
    }
    const int cost = BuildingCost(preview.type);
    if (money < cost) {
        return NotEnoughMoney;
    }
    // Load before paying, so a failed load costs nothing.
    Building bought;
    bought.Load(preview.type);
    bought.SetPosition(preview.x, preview.y);
    buildings.push_back(std::move(bought));
    money -= cost;
    return OrderDone;
}

int Economy::BuyElf(int menuItem) {
    // Menu items 7, 8 and 9 hire a worker, a geologist and a carrier.
    if (menuItem < 7 || menuItem > 9) {
        throw std::runtime_error("Invalid elf type in buying!");
    }
    const int type = menuItem - 6;
    const int cost = ElfCost(type);
    if (money < cost) {
        return NotEnoughMoney;
    }
    const bool officeHasRoom = std::any_of(buildings.begin(), buildings.end(),
                                           [](const Building& b) { return b.upkeptElves < b.Kind().upkeep; });
    if (!officeHasRoom) {
        return NoOfficeRoom;
    }
    pendingElfType = type;
    money -= cost;
    return OrderDone;
}

bool Economy::HireIntoOffice(int column, int row) {
    if (pendingElfType == -1) {
        return false;
    }
    const int office = FindBuilding(buildings, column, row, Office);
    if (office == -1 || buildings[office].upkeptElves >= buildings[office].Kind().upkeep) {
        return false;
    }
    elves.emplace_back(pendingElfType, column, row);
    buildings[office].upkeptElves += 1;
    pendingElfType = -1;
    return true;
}

bool Economy::SendWorker(int column, int row) {
    const int worker = selectedWorker;
    selectedWorker = -1;
    if (!IsElfOfType(elves, worker, Worker)) {
        return false;
    }
    for (const Building& b : buildings) {
        if (b.IsDeposit() || b.type == Office || !b.Contains(column, row)) {
            continue;
        }
        if (b.workers >= b.workersNeeded) {
            return false;
        }
        elves[worker].employed = true;
        elves[worker].WalkTo(b.EntranceColumn(), b.EntranceRow());
        return true;
    }
    return false;
}

bool Economy::ChooseMine(int column, int row) {
    const int carrier = selectedCarrier;
    selectedCarrier = -1;
    if (!IsElfOfType(elves, carrier, Carrier)) {
        return false;
    }
    const int mine = FindBuilding(buildings, column, row, Mine);
    if (mine == -1 || !buildings[mine].IsWorking()) {
        return false;
    }
    elves[carrier].mineIndex = mine;
    routeCarrier = carrier;
    return true;
}

bool Economy::ChooseFoundry(int column, int row) {
    const int carrier = routeCarrier;
    routeCarrier = -1;
    if (!IsElfOfType(elves, carrier, Carrier)) {
        return false;
    }
    const int mine = elves[carrier].mineIndex;
    // The route starts at the mine, so a carrier without a valid mine cannot take one.
    if (mine < 0 || static_cast<size_t>(mine) >= buildings.size()) {
        return false;
    }
    const int foundry = FindBuilding(buildings, column, row, Foundry);
    if (foundry == -1 || buildings[foundry].workers < buildings[foundry].workersNeeded) {
        return false;
    }
    buildings[foundry].carriers += 1;
    elves[carrier].foundryIndex = foundry;
    elves[carrier].StartRoute(*this);
    return true;
}
