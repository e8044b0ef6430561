#include "world/tile_map.h"

#include "engine/video.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr SDL_Color Grass{20, 160, 40, 0};
constexpr SDL_Color Rock{90, 90, 100, 0};
constexpr SDL_Color Tree{10, 90, 10, 0};
constexpr SDL_Color Magenta{255, 0, 255, 0};

// A size x size picture of one colour with an 8-pixel square of magenta in its top-left corner.
std::string MagentaCornered(SDL_Color body, int size) {
    SDL_Surface* surface =
        SDL_CreateRGBSurface(SDL_SWSURFACE, size, size, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, body.r, body.g, body.b));
    SDL_Rect square{0, 0, 8, 8};
    SDL_FillRect(surface, &square, SDL_MapRGB(surface->format, Magenta.r, Magenta.g, Magenta.b));
    SDL_SaveBMP(surface, "cornered.bmp.tmp");
    SDL_FreeSurface(surface);
    std::string bytes = ReadFileBytes("cornered.bmp.tmp");
    std::remove("cornered.bmp.tmp");
    return bytes;
}

class TileMapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Every test of this program shares one working folder.
        mkdir("data", 0755);
        std::remove("tileinfo.tmp");
    }

    // The list inside "data/tiles.rkp" with solid 32 x 32 pictures of every name the tests use.
    void WriteTiles(const std::string& list, std::vector<std::pair<std::string, std::string>> pictures = {}) {
        for (const auto& [name, colour] :
             {std::pair{"grass.bmp", Grass}, {"rock.bmp", Rock}, {"sand.bmp", Grass}, {"tree.bmp", Tree}}) {
            pictures.push_back({name, SolidBmp(32, 32, colour.r, colour.g, colour.b)});
        }
        pictures.insert(pictures.begin(), {"tiles.dat", list});
        WriteTestPackage("data/tiles.rkp", 29, pictures);  // the first duplicate wins
    }

    ScreenGuard screen;
};

// Columns outer, rows inner, column before row for an object: one seed gives one map. Each cell
// shows its ground, then its object with its key: the rock is opaque and larger than its cell, and
// the cells drawn after it (below, to the right) paint over the overflow; the tree's magenta corner
// is transparent ("nonbg").
TEST_F(TileMapTest, ASeedNamesOneMapDrawnCellByCell) {
    WriteTiles("rock.bmp|no|opaque\ngrass.bmp|yes|x\ntree.bmp|no|nonbg\nsand.bmp|ok|x",
               {{"rock.bmp", MagentaCornered(Rock, 40)}, {"tree.bmp", MagentaCornered(Tree, 32)}});
    TileMap map;
    auto expectCells = [&map](const std::vector<uint32_t>& ground, const std::vector<uint32_t>& objects) {
        for (int cell = 0; cell < MapColumns * MapRows; ++cell) {
            const int c = cell / MapRows;
            const int r = cell % MapRows;
            ASSERT_EQ(map.GroundAt(c, r), ground[cell]) << c << "," << r;
            ASSERT_EQ(map.ObjectAt(c, r), objects[cell]) << c << "," << r;
            ASSERT_EQ(map.IsBlocked(c, r), objects[cell] != TileMap::NoObject);
        }
    };
    const std::vector<uint32_t> none(MapColumns * MapRows, TileMap::NoObject);
    expectCells(none, none);
    std::srand(2024);
    map.Load();
    ASSERT_EQ(map.Kinds().size(), 4u);

    // The expected map, drawn from the same seed (kinds 1 and 3 are ground); cells column-major.
    std::srand(2024);
    auto drawKind = [](bool ground) {
        int k;
        do {
            k = Random(0, 3);
        } while ((k % 2 == 1) != ground);
        return static_cast<uint32_t>(k);
    };
    std::vector<uint32_t> ground;
    std::vector<uint32_t> objects = none;
    for (int cell = 0; cell < MapColumns * MapRows; ++cell) {
        ground.push_back(drawKind(true));
    }
    for (int i = Random(40, 50); i > 0; --i) {
        const int c = Random(0, 19);
        const int r = Random(0, 13);
        objects[c * MapRows + r] = drawKind(false);
    }
    expectCells(ground, objects);

    // Grass and sand look alike; rock is kind 0.
    SDL_Surface* s = screen.Screen();
    SDL_FillRect(s, nullptr, 0);
    map.Draw(s);
    for (int cell = 0; cell < MapColumns * MapRows; ++cell) {
        const int x = 32 * (cell / MapRows);
        const int y = 32 + 32 * (cell % MapRows);
        const SDL_Color shown = objects[cell] == TileMap::NoObject ? Grass : objects[cell] == 0 ? Rock : Tree;
        ASSERT_TRUE(AnyPixel(s, x + 20, y + 20, x + 20, y + 20, shown)) << cell;
        ASSERT_TRUE(AnyPixel(s, x, y, x, y, objects[cell] == 0 ? Magenta : Grass)) << cell;
    }
    EXPECT_FALSE(AnyPixel(s, 0, 31, 639, 31, Grass)) << "the top bar stays untouched";

    // Generating again over a loaded map replaces the objects instead of adding to them.
    std::srand(1);
    map.Generate();
    std::srand(2024);
    map.Generate();
    expectCells(ground, objects);
    map.Clear();
    EXPECT_TRUE(map.Kinds().empty());
    expectCells(none, none);
}

// Only a lower-case "no" makes an object kind ("No" and "NO" are ground); extra fields,
// blank lines, carriage returns and a final line break are harmless.
TEST_F(TileMapTest, ListsAreReadExactlyAndThoseThatCannotMakeAMapAreRefused) {
    const std::pair<const char*, const char*> cases[] = {
        {"grass.bmp|No|x\r\n\nsand.bmp|NO|x|extra|fields\nrock.bmp|no|x|more\n\n", ""},
        {"grass.bmp|No|x\nsand.bmp|NO|x", "The tile list holds no object kind!"},
        {"rock.bmp|no|x", "The tile list holds no ground kind!"},
        {"\n\n", "The tile list holds no ground kind!"},
        {"grass.bmp|yes|x\n\nrock.bmp|no\nrock.bmp|no|x",
         "Tile list line 3 has fewer than three fields: \"rock.bmp|no\""},
    };
    for (const auto& [list, refusal] : cases) {
        WriteTiles(list);
        TileMap map;
        EXPECT_EQ(FailureText([&map] { map.Load(); }), refusal) << list;
        EXPECT_FALSE(FileExists("tileinfo.tmp") || FileExists("temp.tmp"));
    }
}

// The package's own failures pass through; a missing package is the package's test.
TEST_F(TileMapTest, LoadingFailuresNameWhatFailed) {
    TileMap map;
    WriteTiles("grass.bmp|yes|x\nmissing.bmp|no|x");
    EXPECT_EQ(FailureText([&map] { map.Load(); }),
              "Failed to load file \"missing.bmp\". Not found inside package.");
    EXPECT_EQ(map.Kinds().size(), 1u) << "kinds loaded so far stay until the map is cleared";

    WriteTiles("grass.bmp|yes|x\nbroken.bmp|no|x", {{"broken.bmp", "this is not a picture"}});
    EXPECT_EQ(FailureText([&map] { map.Load(); }).find("Failed to load file \"broken.bmp\". "), 0u);
    EXPECT_FALSE(FileExists("temp.tmp"));
}

}  // namespace
