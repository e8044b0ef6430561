#include "world/tile_map.h"
#include "engine/errors.h"
#include "engine/video.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr SDL_Color Grass{20, 160, 40, 0};
constexpr SDL_Color Sand{200, 180, 90, 0};
constexpr SDL_Color Rock{90, 90, 100, 0};
constexpr SDL_Color Tree{10, 90, 10, 0};
constexpr SDL_Color Magenta{255, 0, 255, 0};

bool Same(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

std::string Solid(SDL_Color c, int size = 32) {
    return SolidBmp(size, size, c.r, c.g, c.b);
}

// A picture of one colour with a square of another in its top-left corner.
std::string CorneredBmp(SDL_Color body, SDL_Color corner, int cornerSize) {
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 32, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, body.r, body.g, body.b));
    SDL_Rect square{0, 0, static_cast<Uint16>(cornerSize), static_cast<Uint16>(cornerSize)};
    SDL_FillRect(surface, &square, SDL_MapRGB(surface->format, corner.r, corner.g, corner.b));
    const std::string path = "cornered.bmp.tmp";
    SDL_SaveBMP(surface, path.c_str());
    SDL_FreeSurface(surface);
    std::string bytes = ReadFileBytes(path);
    std::remove(path.c_str());
    return bytes;
}

class TileMapTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Every test of this program shares one working folder.
        mkdir("data", 0755);
        std::remove("data/tiles.rkp");
        rmdir("tileinfo.tmp");
    }

    void WriteTiles(const std::string& list, std::vector<std::pair<std::string, std::string>> pictures) {
        pictures.insert(pictures.begin(), {"tiles.dat", list});
        WriteTestPackage("data/tiles.rkp", 29, pictures);
    }

    void WriteStandardTiles() {
        WriteTiles("grass.bmp|yes|x\nrock.bmp|no|x",
                   {{"grass.bmp", Solid(Grass)}, {"rock.bmp", Solid(Rock)}});
    }

    int BlockedCount(const TileMap& map) const {
        int blocked = 0;
        for (int c = 0; c < MapColumns; ++c) {
            for (int r = 0; r < MapRows; ++r) {
                blocked += map.IsBlocked(c, r) ? 1 : 0;
            }
        }
        return blocked;
    }

    std::vector<uint32_t> Cells(const TileMap& map) const {
        std::vector<uint32_t> cells;
        for (int c = 0; c < MapColumns; ++c) {
            for (int r = 0; r < MapRows; ++r) {
                cells.push_back(map.GroundAt(c, r));
                cells.push_back(map.ObjectAt(c, r));
            }
        }
        return cells;
    }

    ScreenGuard screen;
};

TEST_F(TileMapTest, EmptyAfterConstructionAndClear) {
    TileMap map;
    EXPECT_TRUE(map.Kinds().empty());
    EXPECT_EQ(BlockedCount(map), 0);
    WriteStandardTiles();
    std::srand(7);
    map.Load();
    ASSERT_GT(BlockedCount(map), 0);
    map.Clear();
    EXPECT_TRUE(map.Kinds().empty());
    EXPECT_EQ(BlockedCount(map), 0);
    EXPECT_EQ(map.GroundAt(0, 0), TileMap::NoObject);
}

TEST_F(TileMapTest, InvariantsHoldOverManySeeds) {
    WriteTiles("grass.bmp|yes|x\nrock.bmp|no|x\nsand.bmp|yes|x\ntree.bmp|no|nonbg",
               {{"grass.bmp", Solid(Grass)},
                {"rock.bmp", Solid(Rock)},
                {"sand.bmp", Solid(Sand)},
                {"tree.bmp", Solid(Tree)}});
    TileMap map;
    std::set<std::vector<uint32_t>> distinct;
    for (unsigned seed = 1; seed <= 120; ++seed) {
        std::srand(seed);
        map.Load();
        ASSERT_EQ(map.Kinds().size(), 4u);
        std::set<uint32_t> groundUsed;
        for (int c = 0; c < MapColumns; ++c) {
            for (int r = 0; r < MapRows; ++r) {
                const uint32_t ground = map.GroundAt(c, r);
                ASSERT_LT(ground, 4u);
                ASSERT_TRUE(map.Kinds()[ground].isGround) << "seed " << seed;
                groundUsed.insert(ground);
                const uint32_t object = map.ObjectAt(c, r);
                if (object != TileMap::NoObject) {
                    ASSERT_LT(object, 4u);
                    ASSERT_FALSE(map.Kinds()[object].isGround) << "seed " << seed;
                }
                ASSERT_EQ(map.IsBlocked(c, r), object != TileMap::NoObject);
            }
        }
        EXPECT_EQ(groundUsed.size(), 2u) << "both ground kinds appear on a 280-cell map";
        const int blocked = BlockedCount(map);
        EXPECT_GE(blocked, 1);
        EXPECT_LE(blocked, 50);
        const std::vector<uint32_t> cells = Cells(map);
        distinct.insert(cells);
        std::srand(seed);
        map.Load();
        ASSERT_EQ(Cells(map), cells) << "seed " << seed << " must give the same map twice";
    }
    EXPECT_GT(distinct.size(), 100u);
}

// The draws come in a fixed order so that a seed names one map.
TEST_F(TileMapTest, GenerationFollowsTheOrderOfDraws) {
    WriteTiles("rock.bmp|no|x\ngrass.bmp|yes|x\ntree.bmp|no|x\nsand.bmp|ok|x", {{"grass.bmp", Solid(Grass)},
                                                                                {"rock.bmp", Solid(Rock)},
                                                                                {"sand.bmp", Solid(Sand)},
                                                                                {"tree.bmp", Solid(Tree)}});
    TileMap map;
    std::srand(2024);
    map.Load();

    std::srand(2024);
    std::vector<uint32_t> ground(MapColumns * MapRows);
    std::vector<uint32_t> objects(MapColumns * MapRows, TileMap::NoObject);
    const bool isGround[] = {false, true, false, true};
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            int k;
            do {
                k = Random(0, 3);
            } while (!isGround[k]);
            ground[c * MapRows + r] = k;
        }
    }
    const int count = Random(40, 50);
    for (int i = 0; i < count; ++i) {
        const int c = Random(0, 19);
        const int r = Random(0, 13);
        int k;
        do {
            k = Random(0, 3);
        } while (isGround[k]);
        objects[c * MapRows + r] = k;
    }
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            ASSERT_EQ(map.GroundAt(c, r), ground[c * MapRows + r]) << c << "," << r;
            ASSERT_EQ(map.ObjectAt(c, r), objects[c * MapRows + r]) << c << "," << r;
        }
    }
    // Generating again over a loaded map replaces the objects instead of adding to them.
    std::srand(2024);
    map.Generate();
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            ASSERT_EQ(map.ObjectAt(c, r), objects[c * MapRows + r]);
        }
    }
}

TEST_F(TileMapTest, FieldsAreReadExactly) {
    // "No" and "NO" are ground; only "no" is an object. Extra fields are ignored,
    // blank lines, carriage returns and a final line break are harmless.
    WriteTiles("grass.bmp|No|x\r\n\nsand.bmp|NO|x|extra|fields|here\nrock.bmp|no|x|more\n\n",
               {{"grass.bmp", Solid(Grass)}, {"rock.bmp", Solid(Rock)}, {"sand.bmp", Solid(Sand)}});
    TileMap map;
    std::srand(3);
    map.Load();
    ASSERT_EQ(map.Kinds().size(), 3u);
    EXPECT_TRUE(map.Kinds()[0].isGround);
    EXPECT_TRUE(map.Kinds()[1].isGround);
    EXPECT_FALSE(map.Kinds()[2].isGround);
    for (const TileKind& kind : map.Kinds()) {
        EXPECT_FALSE(kind.picture.IsEmpty());
    }
    EXPECT_FALSE(FileExists("tileinfo.tmp"));
    EXPECT_FALSE(FileExists("temp.tmp"));
}

TEST_F(TileMapTest, DrawsGroundThenObjectsWithTheirKeys) {
    // The opaque rock keeps its magenta corner; the tree's corner colour is transparent.
    WriteTiles("grass.bmp|yes|x\nrock.bmp|no|opaque\ntree.bmp|no|nonbg",
               {{"grass.bmp", Solid(Grass)},
                {"rock.bmp", CorneredBmp(Rock, Magenta, 8)},
                {"tree.bmp", CorneredBmp(Tree, Magenta, 8)}});
    TileMap map;
    std::srand(11);
    map.Load();
    SDL_Surface* s = screen.Screen();
    SDL_FillRect(s, nullptr, 0);
    map.Draw(s);
    int rocks = 0;
    int trees = 0;
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            const int x = 32 * c;
            const int y = 32 + 32 * r;
            const SDL_Color corner = PixelColour(s, x + 2, y + 2);
            const SDL_Color body = PixelColour(s, x + 20, y + 20);
            switch (map.ObjectAt(c, r)) {
                case TileMap::NoObject:
                    ASSERT_TRUE(Same(corner, Grass) && Same(body, Grass)) << c << "," << r;
                    break;
                case 1:
                    ++rocks;
                    ASSERT_TRUE(Same(corner, Magenta) && Same(body, Rock)) << c << "," << r;
                    break;
                default:
                    ++trees;
                    ASSERT_TRUE(Same(corner, Grass) && Same(body, Tree)) << c << "," << r;
                    break;
            }
        }
    }
    EXPECT_GT(rocks + trees, 0);
    for (int x = 0; x < 640; x += 37) {
        ASSERT_TRUE(Same(PixelColour(s, x, 31), SDL_Color{0, 0, 0, 0})) << "the top bar stays untouched";
    }
}

TEST_F(TileMapTest, LargePicturesArePaintedOverByLaterCells) {
    WriteTiles("grass.bmp|yes|x\nrock.bmp|no|x",
               {{"grass.bmp", Solid(Grass)}, {"rock.bmp", Solid(Rock, 40)}});
    TileMap map;
    std::srand(5);
    map.Load();
    SDL_Surface* s = screen.Screen();
    map.Draw(s);
    int checked = 0;
    for (int c = 0; c + 1 < MapColumns; ++c) {
        for (int r = 0; r + 1 < MapRows; ++r) {
            if (!map.IsBlocked(c, r) || map.IsBlocked(c, r + 1) || map.IsBlocked(c + 1, r)) {
                continue;
            }
            ++checked;
            const int x = 32 * c;
            const int y = 32 + 32 * r;
            EXPECT_TRUE(Same(PixelColour(s, x + 31, y + 31), Rock));
            EXPECT_TRUE(Same(PixelColour(s, x + 4, y + 35), Grass)) << "the cell below is drawn later";
            EXPECT_TRUE(Same(PixelColour(s, x + 35, y + 4), Grass))
                << "the column to the right is drawn later";
        }
    }
    EXPECT_GT(checked, 0);
}

TEST_F(TileMapTest, OneGroundKindCoversTheMap) {
    WriteTiles("sand.bmp|yes|x\nrock.bmp|no|x", {{"sand.bmp", Solid(Sand)}, {"rock.bmp", Solid(Rock)}});
    TileMap map;
    std::srand(99);
    map.Load();
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            ASSERT_EQ(map.GroundAt(c, r), 0u);
        }
    }
}

TEST_F(TileMapTest, ListsThatCannotMakeAMapAreRefused) {
    TileMap map;
    WriteTiles("grass.bmp|yes|x\nsand.bmp|yes|x", {{"grass.bmp", Solid(Grass)}, {"sand.bmp", Solid(Sand)}});
    try {
        map.Load();
        FAIL() << "a list without objects loaded";
    } catch (const std::runtime_error& failure) {
        EXPECT_NE(std::string(failure.what()).find("no object kind"), std::string::npos) << failure.what();
    }
    WriteTiles("rock.bmp|no|x", {{"rock.bmp", Solid(Rock)}});
    try {
        map.Load();
        FAIL() << "a list without ground loaded";
    } catch (const std::runtime_error& failure) {
        EXPECT_NE(std::string(failure.what()).find("no ground kind"), std::string::npos) << failure.what();
    }
    WriteTiles("\n\n", {});
    EXPECT_THROW(map.Load(), std::runtime_error);
    TileMap empty;
    EXPECT_THROW(empty.Generate(), std::runtime_error);
}

TEST_F(TileMapTest, ShortLinesAreRefusedByNumberAndText) {
    WriteTiles("grass.bmp|yes|x\n\nrock.bmp|no\ntree.bmp|no|x",
               {{"grass.bmp", Solid(Grass)}, {"rock.bmp", Solid(Rock)}, {"tree.bmp", Solid(Tree)}});
    TileMap map;
    try {
        map.Load();
        FAIL() << "a two-field line loaded";
    } catch (const std::runtime_error& failure) {
        const std::string text = failure.what();
        EXPECT_NE(text.find("line 3"), std::string::npos) << text;
        EXPECT_NE(text.find("\"rock.bmp|no\""), std::string::npos) << text;
    }
    EXPECT_FALSE(FileExists("tileinfo.tmp"));
    EXPECT_FALSE(FileExists("temp.tmp"));
}

TEST_F(TileMapTest, LoadingFailuresNameWhatFailed) {
    TileMap map;
    try {
        map.Load();
        FAIL() << "loaded without a package";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("data/tiles.rkp"), std::string::npos) << failure.what();
    }

    WriteTiles("grass.bmp|yes|x\nmissing.bmp|no|x", {{"grass.bmp", Solid(Grass)}});
    try {
        map.Load();
        FAIL() << "loaded with a member missing";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("missing.bmp"), std::string::npos) << failure.what();
    }
    EXPECT_EQ(map.Kinds().size(), 1u) << "kinds loaded so far stay until the map is cleared";

    WriteTiles("grass.bmp|yes|x\nbroken.bmp|no|x",
               {{"grass.bmp", Solid(Grass)}, {"broken.bmp", "this is not a picture"}});
    try {
        map.Load();
        FAIL() << "an undecodable picture loaded";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("broken.bmp"), std::string::npos) << failure.what();
    }
    EXPECT_FALSE(FileExists("tileinfo.tmp"));
    EXPECT_FALSE(FileExists("temp.tmp"));

    // The tile list cannot be written or read where a folder takes its name.
    WriteStandardTiles();
    ASSERT_EQ(mkdir("tileinfo.tmp", 0755), 0);
    try {
        map.Load();
        FAIL() << "loaded without a readable tile list";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("tileinfo.tmp"), std::string::npos) << failure.what();
    }
    rmdir("tileinfo.tmp");
    std::srand(1);
    map.Load();
    EXPECT_EQ(map.Kinds().size(), 2u);
}

}  // namespace
