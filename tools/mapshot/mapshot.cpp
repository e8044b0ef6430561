// Draws a generated map with one building of every type and some elves, as a
// game frame would show them, and saves the picture as a BMP file.
//
//   mapshot <folder holding data/> <picture.bmp> [seed]

#include "engine/errors.h"
#include "engine/video.h"
#include "rules/building.h"
#include "rules/economy.h"
#include "rules/elf.h"
#include "world/tile_map.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

namespace {

// Working buildings show their animation frames; the rest their idle pictures.
void BuildScene(Economy& economy) {
    struct Placed {
        int type;
        int column;
        int row;
        bool staffed;
    };
    const Placed placed[] = {
        {Office, 1, 1, false},  {Woodworker, 4, 1, true}, {Factory, 7, 1, true},
        {Oil, 11, 1, false},    {Plastics, 11, 1, true},  {Foundry, 15, 1, true},
        {Iron, 2, 6, false},    {Mine, 2, 5, true},       {Woodworker, 6, 6, false},
        {Factory, 9, 6, false}, {Plastics, 13, 6, false}, {Foundry, 16, 6, false},
        {Mine, 4, 10, false},   {Iron, 8, 11, false},     {Oil, 10, 11, false},
    };
    for (const Placed& p : placed) {
        economy.AddBuilding(p.type, p.column, p.row);
        Building& b = economy.buildings.back();
        if (p.staffed) {
            b.workers = b.workersNeeded;
            b.carriers = b.type == Foundry ? 1 : 0;
        }
    }
    const int elves[][3] = {{Worker, 3, 3},  {Worker, 5, 3},    {Geologist, 9, 9}, {Geologist, 14, 12},
                            {Carrier, 7, 4}, {Carrier, 18, 10}, {Worker, 1, 12}};
    for (const auto& e : elves) {
        economy.elves.emplace_back(e[0], e[1], e[2]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: mapshot <folder holding data/> <picture.bmp> [seed]\n";
        return 2;
    }
    const std::string output = argv[2];
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1u;
    char here[4096];
    if (getcwd(here, sizeof here) == nullptr || chdir(argv[1]) != 0) {
        std::cerr << "cannot enter " << argv[1] << "\n";
        return 1;
    }
    const std::string target = output.empty() || output[0] == '/' ? output : std::string(here) + "/" + output;
    int status = 0;
    try {
        video.Init(SDL_INIT_VIDEO, 640, 480, 32, SDL_SWSURFACE);
        SDL_Surface* screen = video.GetScreen();
        std::srand(seed);
        {
            TileMap map;
            map.Load();
            Economy economy;
            BuildScene(economy);
            SDL_FillRect(screen, nullptr, 0);
            map.Draw(screen);
            economy.UpdateBuildings(screen);
            economy.DrawElves(screen);
            if (SDL_SaveBMP(screen, target.c_str()) != 0) {
                std::cerr << "cannot save " << target << ": " << SDL_GetError() << "\n";
                status = 1;
            }
        }
    } catch (const std::exception& failure) {
        ReportFailure(std::cerr, failure);
        status = 1;
    }
    video.Quit();
    return status;
}
