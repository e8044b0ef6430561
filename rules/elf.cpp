#include "rules/elf.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "rules/economy.h"

#include <stdexcept>
#include <vector>

namespace {

constexpr const char* ElfPackage = "data/elves.rkp";
constexpr Uint32 NotStopping = 0xFFFFFFFFu;
constexpr Uint32 CarrierStopMs = 3000;
constexpr int FindChanceSides = 10;
constexpr int FindingRoll = 5;

// With the magenta colour key; a picture that does not load is reported in the rules' words.
Sprite LoadKeyedElfPicture(const std::string& path) {
    Sprite picture;
    try {
        picture.Load(path);
    } catch (const FileLoadingFailed&) {
        throw std::runtime_error("Failed to load image!");
    }
    picture.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY);
    return picture;
}

int TowardsZero(int distance) {
    return distance > 0 ? 1 : (distance < 0 ? -1 : 0);
}

int ExploredIndex(int column, int row) {
    return column * MapRows + row;
}

bool IsBuildingIndex(const Economy& economy, int index) {
    return index >= 0 && static_cast<size_t>(index) < economy.buildings.size();
}

}  // namespace

Elf::Elf(int newType, int column, int row) {
    if (newType < Worker || newType > Carrier) {
        throw std::runtime_error("Elf type invalid: out of bounds!");
    }
    type = newType;
    picture = LoadMember(ElfPackage, ElfKindOf(type).picture, LoadKeyedElfPicture);
    x = column;
    y = row;
}

void Elf::FreePicture() {
    picture.Free();
}

void Elf::Draw(SDL_Surface* screen) const {
    if (!inside) {
        picture.Draw(screen, TileSize * x, TileSize * (y + 1));
    }
}

void Elf::WalkTo(int column, int row) {
    dx = column - x;
    dy = row - y;
    walking = true;
}

void Elf::StartRoute(const Economy& economy) {
    // Without a real mine there is no route to walk.
    if (!IsBuildingIndex(economy, mineIndex)) {
        return;
    }
    toFoundry = false;
    onRoute = true;
    HeadFor(economy.buildings[mineIndex]);
}

void Elf::HeadFor(const Building& building) {
    dx = building.EntranceColumn() - x;
    dy = building.EntranceRow() - y;
}

void Elf::Step() {
    if (dy != 0) {
        const int step = TowardsZero(dy);
        y += step;
        dy -= step;
    }
    if (dx != 0) {
        const int step = TowardsZero(dx);
        x += step;
        dx -= step;
    }
}

void Elf::Update(Economy& economy) {
    switch (type) {
        case Worker:
            UpdateWorker(economy);
            break;
        case Geologist:
            UpdateGeologist(economy);
            break;
        case Carrier:
            UpdateCarrier(economy);
            break;
        default:
            break;
    }
}

void Elf::UpdateWorker(Economy& economy) {
    if (inside) {
        return;
    }
    if (!AtTarget()) {
        if (walking) {
            Step();
        }
        return;
    }
    if (!walking) {
        return;
    }
    for (Building& building : economy.buildings) {
        if (!building.IsDeposit() && building.EntranceColumn() == x && building.EntranceRow() == y &&
            building.workers < building.workersNeeded) {
            ++building.workers;
            employed = true;
            inside = true;
            return;
        }
    }
    // The place filled up on the way: the worker waits on the entrance for new orders.
    walking = false;
    employed = false;
}

void Elf::UpdateCarrier(const Economy& economy) {
    if (!onRoute) {
        return;
    }
    if (!AtTarget()) {
        Step();
        return;
    }
    const Uint32 now = Now();
    if (stopTimer == NotStopping) {
        stopTimer = now;
        inside = true;
        return;
    }
    if (now - stopTimer < CarrierStopMs) {
        return;
    }
    toFoundry = !toFoundry;
    stopTimer = NotStopping;
    inside = false;
    const int next = toFoundry ? foundryIndex : mineIndex;
    if (IsBuildingIndex(economy, next)) {
        HeadFor(economy.buildings[next]);
    }
}

void Elf::UpdateGeologist(const Economy& economy) {
    if (searchState == Finished) {
        return;
    }
    if (!AtTarget()) {
        Step();
        return;
    }
    explored[ExploredIndex(x, y)] = 1;
    if (searchState == Searching) {
        bool buildingStartsHere = false;
        for (const Building& building : economy.buildings) {
            if (building.x == x && building.y == y) {
                buildingStartsHere = true;
            }
        }
        const int roll = Random(1, FindChanceSides);
        if (roll == FindingRoll && !buildingStartsHere) {
            searchState = JustFound;
            return;
        }
        ChooseNextTarget();
    } else if (searchState == FoundBefore) {
        ChooseNextTarget();
    }
}

void Elf::ChooseNextTarget() {
    std::vector<int> unexplored;
    for (int column = 0; column < MapColumns; ++column) {
        for (int row = 0; row < MapRows; ++row) {
            if (explored[ExploredIndex(column, row)] == 0) {
                unexplored.push_back(ExploredIndex(column, row));
            }
        }
    }
    if (unexplored.empty()) {
        searchState = Finished;
        return;
    }
    const int chosen = unexplored[Random(0, static_cast<int>(unexplored.size()) - 1)];
    dx = chosen / MapRows - x;
    dy = chosen % MapRows - y;
}

int Elf::TakeFind() {
    if (type != Geologist || searchState != JustFound) {
        return 0;
    }
    searchState = FoundBefore;
    return Random(1, 2) == 1 ? OilFind : IronFind;
}

void Elf::MergeExplored(const Elf& other) {
    for (size_t i = 0; i < explored.size(); ++i) {
        if (other.explored[i] != 0) {
            explored[i] = 1;
        }
    }
}

const ElfKind& ElfKindOf(int type) {
    static const ElfKind kinds[] = {
        {nullptr, 0, nullptr},
        {"Hire worker [", 200, "worker.png"},
        {"Hire geologist [", 600, "geologist.png"},
        {"Hire carrier [", 400, "carrier.png"},
    };
    return kinds[type >= Worker && type <= Carrier ? type : 0];
}

int ElfCost(int type) {
    return ElfKindOf(type).cost;
}
