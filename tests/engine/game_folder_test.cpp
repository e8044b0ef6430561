#include "engine/game_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

TEST_F(GameFolderTest, AnInstalledGameWorksInAPrivateFolderWhoseDataIsTheInstalledOne) {
    // Not so a game that may write to its own folder.
    const GameFolder writable = PrepareGameFolder(program, true, cache);
    EXPECT_EQ(writable.path + writable.problem, program);
    EXPECT_FALSE(fs::exists(root + "/cache"));

    const GameFolder folder = PrepareGameFolder(program, false, cache);
    EXPECT_EQ(folder.path + folder.problem, cache + "/quorvel");
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
    // What stands in the way (a file below the root), and the report's second line.
    const std::pair<std::string, std::string> cases[] = {
        {"cache", "Not a directory."},
        {"cache/home/quorvel/data/x", "Is a directory."},
    };
    for (const auto& [obstacle, why] : cases) {
        SetUp();
        fs::create_directories(fs::path(root + "/" + obstacle).parent_path());
        std::ofstream(root + "/" + obstacle) << "in the way";
        const GameFolder folder = PrepareGameFolder(program, false, cache);
        EXPECT_EQ(folder.path, program);
        EXPECT_EQ(folder.problem, "Failed to prepare folder \"" + cache + "/quorvel\".\n" + why);
    }
    EXPECT_EQ(PrepareGameFolder(program, false, "").problem,
              "Failed to prepare folder \"$XDG_CACHE_HOME/quorvel\".\n"
              "Neither XDG_CACHE_HOME nor HOME names a folder.");
}

TEST(CacheHome, IsXdgCacheHomeWhenAbsoluteElseUnderHome) {
    const char* home = std::getenv("HOME");
    const std::string restored = home != nullptr ? home : "/";
    setenv("HOME", "/h", 1);
    setenv("XDG_CACHE_HOME", "/x/cache", 1);
    EXPECT_EQ(CacheHome(), "/x/cache");
    setenv("XDG_CACHE_HOME", "relative", 1);
    EXPECT_EQ(CacheHome(), "/h/.cache");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("HOME");
    EXPECT_EQ(CacheHome(), "");
    setenv("HOME", restored.c_str(), 1);
}

}  // namespace
