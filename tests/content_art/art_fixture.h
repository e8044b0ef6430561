#pragma once

#include "engine/image.h"
#include "engine/package.h"

#include <SDL.h>

#include <map>
#include <string>
#include <vector>

// Every member the game asks for, by package, from the built game folder.
struct PackageTable {
    std::string file;  // inside QUORVEL_DATA_DIR
    std::vector<std::string> members;
};
const std::vector<PackageTable>& ExpectedPackages();

std::string DataPath(const std::string& package);

// A picture as the game loads it: extracted to the scratch file and decoded
// into the display format. Throws FileLoadingFailed when it does not decode.
Sprite LoadMember(const std::string& package, const std::string& member);

SDL_Color ColourAt(const Sprite& sprite, int x, int y);
Uint32 RawAt(const Sprite& sprite, int x, int y);
bool IsMagenta(SDL_Color colour);
// Perceived brightness 0..255.
int Brightness(SDL_Color colour);

// One line of the tile list: member, ground or object, keyed on its corner.
struct TileLine {
    std::string member;
    bool ground;
    bool keyed;
};
// Reads the tile list by the game's rules; fails the test on a malformed list.
std::vector<TileLine> ReadTileList(const std::string& text);

std::string ReadMemberBytes(const std::string& package, const std::string& member);
