#include "world/tile_map.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/text.h"
#include "engine/video.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>

namespace {

constexpr const char* TilePackage = "data/tiles.rkp";
constexpr const char* TileListMember = "tiles.dat";
constexpr int LargestFieldCount = 16;
constexpr int FewestObjects = 40;
constexpr int MostObjects = 50;

int CellIndex(int column, int row) {
    return column * MapRows + row;
}

// Removes the extracted tile list however the load ends.
class TileListFileGuard {
  public:
    ~TileListFileGuard() { std::remove(TileListFile); }
};

// Makes the colour of the top-left pixel transparent.
void KeyTopLeftColour(Sprite& picture) {
    SDL_Surface* surface = picture.GetSurface();
    if (!LockIfNeeded(surface)) {
        throw SurfaceOpFailed(SurfaceHeadline("LockSurface"), SDL_GetError());
    }
    const Uint32 key = GetPixel(surface, 0, 0);
    UnlockIfNeeded(surface);
    picture.SetColorKeyValue(key, SDL_SRCCOLORKEY);
}

std::string LineError(int lineNumber, const std::string& line) {
    return "Tile list line " + std::to_string(lineNumber) + " has fewer than three fields: \"" + line + "\"";
}

}  // namespace

TileMap::TileMap() {
    Clear();
}

void TileMap::Clear() {
    kinds.clear();
    ground.fill(NoObject);
    objects.fill(NoObject);
}

void TileMap::Load() {
    Clear();
    Package package(TilePackage);
    TileListFileGuard removeList;
    package.Extract(TileListMember, TileListFile);
    std::ifstream list(TileListFile);
    if (!list) {
        throw FileLoadingFailed(FileHeadline(TileListFile), "Read-mode opening failed.");
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(list, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // Blank lines, such as one after a final line break, describe nothing.
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> fields = Split(line, "|", LargestFieldCount);
        if (fields.size() < 3) {
            throw std::runtime_error(LineError(lineNumber, line));
        }
        TileKind kind;
        kind.picture = LoadPictureMember(package, fields[0]);
        kind.isGround = fields[1] != "no";
        if (fields[2] == "nonbg") {
            KeyTopLeftColour(kind.picture);
        }
        kinds.push_back(std::move(kind));
    }
    package.Close();
    list.close();
    Generate();
}

void TileMap::Generate() {
    bool anyGround = false;
    bool anyObject = false;
    for (const TileKind& kind : kinds) {
        (kind.isGround ? anyGround : anyObject) = true;
    }
    // Drawing kinds until one fits would never end on such a list.
    if (!anyGround) {
        throw std::runtime_error("The tile list holds no ground kind!");
    }
    if (!anyObject) {
        throw std::runtime_error("The tile list holds no object kind!");
    }
    const int last = static_cast<int>(kinds.size()) - 1;
    for (int column = 0; column < MapColumns; ++column) {
        for (int row = 0; row < MapRows; ++row) {
            int k = 0;
            do {
                k = Random(0, last);
            } while (!kinds[k].isGround);
            ground[CellIndex(column, row)] = static_cast<uint32_t>(k);
        }
    }
    objects.fill(NoObject);
    const int count = Random(FewestObjects, MostObjects);
    for (int i = 0; i < count; ++i) {
        const int column = Random(0, MapColumns - 1);
        const int row = Random(0, MapRows - 1);
        int k = 0;
        do {
            k = Random(0, last);
        } while (kinds[k].isGround);
        objects[CellIndex(column, row)] = static_cast<uint32_t>(k);
    }
}

void TileMap::Draw(SDL_Surface* screen) const {
    for (int column = 0; column < MapColumns; ++column) {
        for (int row = 0; row < MapRows; ++row) {
            const int x = TileSize * column;
            const int y = MapTop + TileSize * row;
            const uint32_t groundKind = ground[CellIndex(column, row)];
            if (groundKind < kinds.size()) {
                kinds[groundKind].picture.Draw(screen, x, y);
            }
            const uint32_t objectKind = objects[CellIndex(column, row)];
            if (objectKind < kinds.size()) {
                kinds[objectKind].picture.Draw(screen, x, y);
            }
        }
    }
}

bool TileMap::IsBlocked(int column, int row) const {
    return objects[CellIndex(column, row)] != NoObject;
}

uint32_t TileMap::GroundAt(int column, int row) const {
    return ground[CellIndex(column, row)];
}

uint32_t TileMap::ObjectAt(int column, int row) const {
    return objects[CellIndex(column, row)];
}
