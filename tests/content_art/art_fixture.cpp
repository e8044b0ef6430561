#include "tests/content_art/art_fixture.h"

#include "engine/text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

const std::vector<PackageTable>& ExpectedPackages() {
    static const std::vector<PackageTable> table = {
        {"gui.rkp",
         {"start.png", "start_menu.png", "help1.png", "help2.png", "help3.png", "helpbox.png", "topbar.png",
          "topbar_down.png", "scoreboard.png", "palab.ttf"}},
        {"buildings.rkp",
         {"office.png",       "woodworker.png", "woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png",
          "woodworkerw4.png", "factory1.png",   "factory2.png",     "factory2w1.png",   "factory2w2.png",
          "plastics1.png",    "plastics2.png",  "plastics3.png",    "plastics4.png",    "plastics1w1.png",
          "plastics1w2.png",  "foundry1.png",   "foundry2.png",     "foundry3.png",     "foundry3w1.png",
          "foundry3w2.png",   "foundry3w3.png", "mine1.png",        "mine2.png",        "mine1w1.png",
          "mine1w2.png",      "iron.png",       "oil.png"}},
        {"elves.rkp", {"worker.png", "geologist.png", "carrier.png"}},
        {"tiles.rkp", {"tiles.dat"}},
    };
    return table;
}

std::string DataPath(const std::string& package) {
    return std::string(QUORVEL_DATA_DIR) + "/" + package;
}

Sprite LoadMember(const std::string& package, const std::string& member) {
    Package opened(DataPath(package));
    opened.Extract(member);
    Sprite sprite;
    sprite.Load(ScratchFile);
    return sprite;
}

Uint32 RawAt(const Sprite& sprite, int x, int y) {
    SDL_Surface* surface = sprite.GetSurface();
    LockIfNeeded(surface);
    const Uint32 raw = GetPixel(surface, x, y);
    UnlockIfNeeded(surface);
    return raw;
}

SDL_Color ColourAt(const Sprite& sprite, int x, int y) {
    SDL_Color colour{0, 0, 0, 0};
    SDL_GetRGB(RawAt(sprite, x, y), sprite.GetSurface()->format, &colour.r, &colour.g, &colour.b);
    return colour;
}

bool IsMagenta(SDL_Color colour) {
    return colour.r == 255 && colour.g == 0 && colour.b == 255;
}

int Brightness(SDL_Color colour) {
    return (299 * colour.r + 587 * colour.g + 114 * colour.b) / 1000;
}

std::vector<TileLine> ReadTileList(const std::string& text) {
    std::vector<TileLine> lines;
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n') << "the tile list must not end with a line break";
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        EXPECT_FALSE(line.empty()) << "empty line " << number;
        const std::vector<std::string> fields = Split(line, "|", 16);
        EXPECT_GE(fields.size(), 3u) << "line " << number << ": " << line;
        if (fields.size() < 3) {
            continue;
        }
        lines.push_back({fields[0], fields[1] != "no", fields[2] == "nonbg"});
    }
    return lines;
}

std::string ReadMemberBytes(const std::string& package, const std::string& member) {
    Package opened(DataPath(package));
    opened.Extract(member, "member.bytes");
    std::string bytes = ReadFileBytes("member.bytes");
    std::remove("member.bytes");
    return bytes;
}
