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
constexpr int NoAnimatedTile = -1;

// One row of the building catalogue.
struct BuildingKind {
    int width;
    int height;
    int workersNeeded;
    int animatedTile;  // index into the footprint, row by row from the top left
    std::vector<const char*> basePictures;
    std::vector<const char*> workFrames;
};

const BuildingKind& KindOf(int type) {
    static const BuildingKind kinds[] = {
        {1, 1, 0, NoAnimatedTile, {"office.png"}, {}},
        {1,
         1,
         1,
         0,
         {"woodworker.png"},
         {"woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png", "woodworkerw4.png"}},
        {2, 1, 2, 1, {"factory1.png", "factory2.png"}, {"factory2w1.png", "factory2w2.png"}},
        {2,
         2,
         6,
         0,
         {"plastics1.png", "plastics2.png", "plastics3.png", "plastics4.png"},
         {"plastics1w1.png", "plastics1w2.png"}},
        {3,
         1,
         4,
         2,
         {"foundry1.png", "foundry2.png", "foundry3.png"},
         {"foundry3w1.png", "foundry3w2.png", "foundry3w3.png"}},
        {1, 2, 3, 0, {"mine1.png", "mine2.png"}, {"mine1w1.png", "mine1w2.png"}},
        {1, 1, 0, NoAnimatedTile, {"iron.png"}, {}},
        {1, 1, 0, NoAnimatedTile, {"oil.png"}, {}},
    };
    return kinds[type - 1];
}

bool IsKnownType(int type) {
    return type >= Office && type <= Oil;
}

// Extracts one member and loads it with the magenta colour key.
Sprite LoadKeyedPicture(Package& package, const std::string& member) {
    Sprite picture = LoadPictureMember(package, member);
    picture.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY);
    return picture;
}

// Production interval in milliseconds; 0 for a type that never produces.
Uint32 ProductionInterval(int type, int carriers) {
    switch (type) {
        case Woodworker:
            return 2000;
        case Factory:
            return 3000;
        case Plastics:
            return 4000;
        case Foundry: {
            // More carriers bring ore faster, down to one cycle a second.
            const int steps = std::max(0, 7 - carriers);
            return static_cast<Uint32>(std::max(1000, steps * 500));
        }
        default:
            return 0;
    }
}

}  // namespace

int BuildingCost(int type) {
    switch (type) {
        case Office:
            return 700;
        case Woodworker:
            return 1000;
        case Factory:
            return 2000;
        case Plastics:
            return 10300;
        case Foundry:
            return 6000;
        case Mine:
            return 4000;
        default:
            throw std::runtime_error("Invalid building type when getting cost!");
    }
}

Building::Building() : animTimer(Now()), productionTimer(animTimer) {}

void Building::Load(int newType) {
    if (!IsKnownType(newType)) {
        throw std::runtime_error("Invalid building type: type out of bounds!");
    }
    const BuildingKind& kind = KindOf(newType);
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

int Building::Width() const {
    switch (type) {
        case Factory:
        case Plastics:
            return 2;
        case Foundry:
            return 3;
        default:
            return 1;
    }
}

int Building::Height() const {
    return type == Plastics || type == Mine ? 2 : 1;
}

bool Building::Contains(int column, int row) const {
    return column >= x && column < x + Width() && row >= y && row < y + Height();
}

bool Building::ProductionDue() {
    const Uint32 interval = ProductionInterval(type, carriers);
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
    return workers >= workersNeeded && (type != Foundry || carriers > 0);
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
    if (!IsKnownType(type)) {
        return;
    }
    const int animatedTile = KindOf(type).animatedTile;
    const bool showWork = IsWorking() && animFrame >= 0 && animFrame < static_cast<int>(workFrames.size());
    const int width = Width();
    for (int tile = 0; tile < static_cast<int>(pictures.size()); ++tile) {
        const int column = tile % width;
        const int row = tile / width;
        const Sprite& picture = tile == animatedTile && showWork ? workFrames[animFrame] : pictures[tile];
        picture.Draw(screen, TileSize * (x + column), TileSize * (y + 1 + row));
    }
}
