#include "engine/errors.h"
#include "engine/video.h"
#include "tools/package_writer.h"
#include "world/tile_map.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

// The one picture the lists may name, as "a.bmp" and "b.bmp" (the seeds do).
std::string picture;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Pictures convert to the screen's format, so a screen must be open.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    video.Init(SDL_INIT_VIDEO, 640, 480, 24, SDL_SWSURFACE);
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_SaveBMP(surface, "picture.bmp");
    SDL_FreeSurface(surface);
    std::ifstream in("picture.bmp", std::ios::binary);
    picture.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove("picture.bmp");
    mkdir("data", 0755);
    return 0;
}

// The bytes are the tile list inside "data/tiles.rkp", read as the game reads it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    std::ofstream("data/tiles.rkp", std::ios::binary | std::ios::trunc)
        << BuildPackage(29, {{"tiles.dat", list}, {"a.bmp", picture}, {"b.bmp", picture}});
    std::srand(1);
    TileMap map;
    try {
        map.Load();
        map.Draw(video.GetScreen());
    } catch (const VEKException&) {
    } catch (const std::runtime_error&) {
    }
    return 0;
}
