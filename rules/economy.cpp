#include "rules/economy.h"

#include <utility>

namespace {

constexpr int32_t FactoryWood = 10;
constexpr int32_t FactorySteel = 5;
constexpr int32_t FactoryPlastic = 3;

}  // namespace

Economy::Economy() = default;

Economy::~Economy() {
    // Records free their own pictures. The buildings' go first, then the elves',
    // then, with the members, the preview's.
    buildings.clear();
    elves.clear();
}

void Economy::UpdateBuildings(SDL_Surface* screen) {
    for (Building& building : buildings) {
        building.Draw(screen);
        if (!building.IsWorking() || !building.ProductionDue()) {
            continue;
        }
        const BuildingKind& kind = building.Kind();
        wood += kind.woodMade;
        steel += kind.steelMade;
        plastic += kind.plasticMade;
        if (kind.sellsStock) {
            RunFactoryCycle();
        }
    }
}

void Economy::RunFactoryCycle() {
    // Each material sells on its own: a cycle uses whatever is in stock.
    int32_t income = 0;
    if (wood >= FactoryWood) {
        income += 200;
        wood -= FactoryWood;
    }
    if (steel >= FactorySteel) {
        income += 300;
        steel -= FactorySteel;
    }
    if (plastic >= FactoryPlastic) {
        income += 500;
        plastic -= FactoryPlastic;
    }
    money += income;
}

void Economy::UpdateElves() {
    // By index: a find appends to the building list, never to the elves.
    for (size_t i = 0; i < elves.size(); ++i) {
        elves[i].Update(*this);
        if (elves[i].type != Geologist) {
            continue;
        }
        const int find = elves[i].TakeFind();
        if (find == Elf::IronFind) {
            AddBuilding(Iron, elves[i].x, elves[i].y);
        } else if (find == Elf::OilFind) {
            AddBuilding(Oil, elves[i].x, elves[i].y);
        }
    }
    ShareExploredTiles();
}

void Economy::ShareExploredTiles() {
    size_t first = 0;
    while (first < elves.size() && elves[first].type != Geologist) {
        ++first;
    }
    if (first == elves.size()) {
        return;
    }
    for (size_t i = first + 1; i < elves.size(); ++i) {
        if (elves[i].type == Geologist) {
            elves[first].MergeExplored(elves[i]);
        }
    }
    for (size_t i = first + 1; i < elves.size(); ++i) {
        if (elves[i].type == Geologist) {
            elves[i].MergeExplored(elves[first]);
        }
    }
}

void Economy::DrawElves(SDL_Surface* screen) {
    for (const Elf& elf : elves) {
        elf.Draw(screen);
    }
}

void Economy::AddBuilding(int type, int column, int row) {
    Building building;
    building.Load(type);
    building.SetPosition(column, row);
    buildings.push_back(std::move(building));
}
