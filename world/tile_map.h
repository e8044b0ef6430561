#pragma once

#include "engine/image.h"
#include "engine/screen_geometry.h"

#include <SDL.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Map geometry: 20 x 14 cells of 32 pixels below the top bar.
inline constexpr int MapColumns = 20;
inline constexpr int MapRows = 14;
inline constexpr int TileSize = 32;

// The scratch file the tile list is extracted to while a map loads.
inline constexpr const char* TileListFile = "tileinfo.tmp";

// The cell of a screen point: signed division truncating toward zero.
inline int ColumnOfPoint(int x) {
    return x / TileSize;
}
inline int RowOfPoint(int y) {
    return (y - MapTop) / TileSize;
}

// One entry of the tile list.
struct TileKind {
    bool isGround = true;
    Sprite picture;
};

// The playing field of one game: a ground layer and an object layer over a
// list of tile kinds read from "data/tiles.rkp". A cell with an object is blocked.
class TileMap {
  public:
    static constexpr uint32_t NoObject = 0xFFFFFFFFu;

    TileMap();
    void Clear();
    // Reads the tile list and generates a new random map. Throws on failure.
    void Load();
    void Generate();
    void Draw(SDL_Surface* screen) const;
    bool IsBlocked(int column, int row) const;

    uint32_t GroundAt(int column, int row) const;
    uint32_t ObjectAt(int column, int row) const;
    const std::vector<TileKind>& Kinds() const { return kinds; }

  private:
    std::array<uint32_t, MapColumns * MapRows> ground;
    std::array<uint32_t, MapColumns * MapRows> objects;
    std::vector<TileKind> kinds;
};
