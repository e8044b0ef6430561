#include "rules/building.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "world/tile_map.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

constexpr const char* BuildingPackage = "data/buildings.rkp";
constexpr Uint32 AnimationStepMs = 200;
// More carriers bring ore faster, down to one cycle a second.
constexpr int OreStepMs = 500;
constexpr Uint32 FastestOreFedMs = 1000;

bool IsKnownType(int type) {
    return type >= Office && type <= Oil;
}

// Extracts one member and loads it with the magenta colour key.
Sprite LoadKeyedPicture(Package& package, const std::string& member) {
    Sprite picture = LoadPictureMember(package, member);
    picture.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY);
    return picture;
}

}  // namespace

const BuildingKind& BuildingKindOf(int type) {
    // clang-format off
    static const BuildingKind kinds[] = {
        // label               cost   w  h  staff upkeep cover ore    ms    wood steel plastic sells  animated
        // No type: a building not loaded yet, or a code out of range.
        {nullptr,              0,     1, 1, 0,    0,     0,    false, 0,    0,   0,    0,      false, -1,
         {}, {}, {}},
        {"Build office [",     700,   1, 1, 0,    4,     0,    false, 0,    0,   0,    0,      false, -1,
         {"office.png"},
         {},
         {"--- OFFICE ---", "Upkeeps elves."}},
        {"Build woodworker [", 1000,  1, 1, 1,    0,     0,    false, 2000, 3,   0,    0,      false, 0,
         {"woodworker.png"},
         {"woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png", "woodworkerw4.png"},
         {"--- WOODWORKER ---", "Provides wood."}},
        {"Build factory [",    2000,  2, 1, 2,    0,     0,    false, 3000, 0,   0,    0,      true,  1,
         {"factory1.png", "factory2.png"},
         {"factory2w1.png", "factory2w2.png"},
         {"--- FACTORY ---", "Manufactures toys", "from resources."}},
        {"Build plastics [",   10300, 2, 2, 6,    0,     Oil,  false, 4000, 0,   0,    2,      false, 0,
         {"plastics1.png", "plastics2.png", "plastics3.png", "plastics4.png"},
         {"plastics1w1.png", "plastics1w2.png"},
         {"--- PLASTICS ---", "Provides plastic."}},
        {"Build foundry [",    6000,  3, 1, 4,    0,     0,    true,  3000, 0,   3,    0,      false, 2,
         {"foundry1.png", "foundry2.png", "foundry3.png"},
         {"foundry3w1.png", "foundry3w2.png", "foundry3w3.png"},
         {"--- FOUNDRY ---", "Provides steel", "from iron ore."}},
        {"Build mine [",       4000,  1, 2, 3,    0,     Iron, false, 0,    0,   0,    0,      false, 0,
         {"mine1.png", "mine2.png"},
         {"mine1w1.png", "mine1w2.png"},
         {"--- MINE ---", "Provides iron ore."}},
        // The deposits: not for sale, never selected.
        {nullptr,              0,     1, 1, 0,    0,     0,    false, 0,    0,   0,    0,      false, -1,
         {"iron.png"}, {}, {}},
        {nullptr,              0,     1, 1, 0,    0,     0,    false, 0,    0,   0,    0,      false, -1,
         {"oil.png"}, {}, {}},
    };
    // clang-format on
    return kinds[IsKnownType(type) ? type : 0];
}

Uint32 FastestInterval(const BuildingKind& kind) {
    return kind.oreFed ? FastestOreFedMs : kind.interval;
}

Uint32 ProductionInterval(const BuildingKind& kind, int carriers) {
    if (!kind.oreFed) {
        return kind.interval;
    }
    const int stepped = static_cast<int>(kind.interval) - (carriers - 1) * OreStepMs;
    return std::max(FastestInterval(kind), static_cast<Uint32>(std::max(stepped, 0)));
}

int BuildingCost(int type) {
    const int cost = BuildingKindOf(type).cost;
    if (cost == 0) {
        throw std::runtime_error("Invalid building type when getting cost!");
    }
    return cost;
}

Building::Building() : animTimer(Now()), productionTimer(animTimer) {}

void Building::Load(int newType) {
    if (!IsKnownType(newType)) {
        throw std::runtime_error("Invalid building type: type out of bounds!");
    }
    const BuildingKind& kind = BuildingKindOf(newType);
    Package package(BuildingPackage);
    // Loaded aside, so a failure leaves the building as it was.
    std::vector<Sprite> newPictures;
    std::vector<Sprite> newFrames;
    for (const char* member : kind.basePictures) {
        newPictures.push_back(LoadKeyedPicture(package, member));
    }
    for (const char* member : kind.workFrames) {
        newFrames.push_back(LoadKeyedPicture(package, member));
    }
    package.Close();
    type = newType;
    x = 0;
    y = 0;
    pictures = std::move(newPictures);
    workFrames = std::move(newFrames);
    workersNeeded = kind.workersNeeded;
}

void Building::FreePictures() {
    pictures.clear();
    workFrames.clear();
}

void Building::SetPosition(int column, int row) {
    x = column;
    y = row;
}

void Building::GetPosition(int& column, int& row) const {
    column = x;
    row = y;
}

bool Building::Contains(int column, int row) const {
    return column >= x && column < x + Width() && row >= y && row < y + Height();
}

bool Building::ProductionDue() {
    const Uint32 interval = ProductionInterval(Kind(), carriers);
    if (interval == 0) {
        return false;
    }
    const Uint32 now = Now();
    // Differences of ticks stay right when the clock wraps.
    if (now - productionTimer < interval) {
        return false;
    }
    productionTimer = now;
    return true;
}

bool Building::IsWorking() const {
    return workers >= workersNeeded && (!Kind().oreFed || carriers > 0);
}

void Building::Draw(SDL_Surface* screen) {
    const Uint32 now = Now();
    // A staffed foundry without ore still animates; only its picture says it idles.
    if (workers >= workersNeeded && now - animTimer >= AnimationStepMs) {
        ++animFrame;
        if (workFrames.empty() || animFrame >= static_cast<int>(workFrames.size())) {
            animFrame = 0;
        }
        animTimer = now;
    }
    const int animatedTile = Kind().animatedTile;
    const bool showWork = IsWorking() && animFrame >= 0 && animFrame < static_cast<int>(workFrames.size());
    const int width = Width();
    for (int tile = 0; tile < static_cast<int>(pictures.size()); ++tile) {
        const int column = tile % width;
        const int row = tile / width;
        const Sprite& picture = tile == animatedTile && showWork ? workFrames[animFrame] : pictures[tile];
        picture.Draw(screen, TileSize * (x + column), TileSize * (y + 1 + row));
    }
}
