#include "engine/game_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

namespace fs = std::filesystem;

namespace {

// A program folder with its data/, and a cache home that does not exist yet.
class GameFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(program + "/data");
    }
    void TearDown() override { fs::remove_all(root); }

    const std::string root = fs::absolute("game_folder").string();
    const std::string program = root + "/program";
    const std::string cache = root + "/cache/home";
};

TEST_F(GameFolderTest, AWritableProgramFolderIsUsedAsItIs) {
    const GameFolder folder = PrepareGameFolder(program, true, cache);
    EXPECT_EQ(folder.path, program);
    EXPECT_EQ(folder.problem, "");
    EXPECT_FALSE(fs::exists(root + "/cache"));
}

TEST_F(GameFolderTest, AnInstalledGameWorksInAPrivateFolderWhoseDataIsTheInstalledOne) {
    const GameFolder folder = PrepareGameFolder(program, false, cache);
    EXPECT_EQ(folder.path, cache + "/quorvel");
    EXPECT_EQ(folder.problem, "");
    for (const std::string& made : {root + "/cache", cache, cache + "/quorvel"}) {
        EXPECT_EQ(fs::status(made).permissions(), fs::perms::owner_all) << made;
    }
    EXPECT_EQ(fs::read_symlink(cache + "/quorvel/data"), program + "/data");

    // After an upgrade into another folder, the link follows and nothing else is left.
    fs::create_directories(root + "/upgraded/data");
    EXPECT_EQ(PrepareGameFolder(root + "/upgraded", false, cache).path, cache + "/quorvel");
    EXPECT_EQ(fs::read_symlink(cache + "/quorvel/data"), root + "/upgraded/data");
    EXPECT_EQ(std::distance(fs::directory_iterator(cache + "/quorvel"), fs::directory_iterator()), 1);
}

TEST_F(GameFolderTest, AFolderThatCannotBePreparedIsReportedAndTheProgramFolderKept) {
    struct Case {
        const char* in;   // what stands in the way, below the root
        const char* why;  // the report's second line
        bool noCacheHome;
    };
    const Case cases[] = {
        {"cache", "Not a directory.", false},
        {"cache/home/quorvel/data/x", "Is a directory.", false},
        {"", "Neither XDG_CACHE_HOME nor HOME names a folder.", true},
    };
    for (const Case& c : cases) {
        SetUp();
        if (*c.in != '\0') {
            fs::create_directories(fs::path(root + "/" + c.in).parent_path());
            std::ofstream(root + "/" + c.in) << "in the way";
        }
        const GameFolder folder = PrepareGameFolder(program, false, c.noCacheHome ? "" : cache);
        EXPECT_EQ(folder.path, program) << c.in;
        const std::string named = c.noCacheHome ? "$XDG_CACHE_HOME" : cache;
        EXPECT_EQ(folder.problem, "Failed to prepare folder \"" + named + "/quorvel\".\n" + c.why);
    }
}

TEST(CacheHome, IsXdgCacheHomeWhenAbsoluteElseUnderHome) {
    struct Case {
        std::optional<std::string> xdg, home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/cache", "/h", "/x/cache"},
        {"relative", "/h", "/h/.cache"},
        {std::nullopt, "/h", "/h/.cache"},
        {std::nullopt, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        for (const auto& [name, value] : {std::pair{"XDG_CACHE_HOME", c.xdg}, std::pair{"HOME", c.home}}) {
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        }
        EXPECT_EQ(CacheHome(), c.expected);
    }
}

}  // namespace
