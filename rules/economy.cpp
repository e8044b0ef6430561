#include "rules/economy.h"

#include <utility>

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
        for (const StockRules& stock : Stocks) {
            this->*stock.held += kind.*stock.made;
        }
        if (kind.sellsStock) {
            RunFactoryCycle();
        }
    }
}

void Economy::RunFactoryCycle() {
    // Each material sells on its own: a cycle uses whatever is in stock.
    int32_t income = 0;
    for (const StockRules& stock : Stocks) {
        int32_t& held = this->*stock.held;
        if (held >= stock.saleUnits) {
            income += stock.saleIncome;
            held -= stock.saleUnits;
        }
    }
    money += income;
}

int32_t Economy::Score() const {
    // Unsigned arithmetic wraps where signed overflow would be undefined.
    uint32_t score = static_cast<uint32_t>(money);
    for (const StockRules& stock : Stocks) {
        score += static_cast<uint32_t>(stock.scoreWeight) * static_cast<uint32_t>(this->*stock.held);
    }
    return static_cast<int32_t>(score);
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
