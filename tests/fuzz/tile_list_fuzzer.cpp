#include "engine/errors.h"
#include "engine/video.h"
#include "tests/support/test_support.h"
#include "world/tile_map.h"

#include <SDL.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
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
    picture = SolidBmp(8, 8, 0, 0, 0);
    mkdir("data", 0755);
    return 0;
}

// The bytes are the tile list inside "data/tiles.rkp", read as the game reads it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    WriteTestPackage("data/tiles.rkp", 29, {{"tiles.dat", list}, {"a.bmp", picture}, {"b.bmp", picture}});
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
