#include "engine/player_files.h"

#include "engine/screenshot.h"
#include "tests/support/test_support.h"

#include <SDL_image.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace {

void SetOrUnset(const char* name, const char* value) {
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

}  // namespace

TEST(PlayerFiles, FoldersFollowTheXdgRulesAndOnlyAbsolutePathsCount) {
    const std::string root = fs::absolute("xdg").string();
    const std::string config = root + "/config";
    fs::create_directories(config);
    WriteFileBytes(config + "/user-dirs.dirs", "# xdg-user-dirs\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    const struct {
        const char *home, *config, *pictures;
        std::string configHome, picturesHome;
    } cases[] = {
        {"/h", nullptr, nullptr, "/h/.config", "/h/Pictures"},
        {"/h", "relative", "relative", "/h/.config", "/h/Pictures"},
        {"/h", "/c", "/p", "/c", "/p"},
        {"/h", config.c_str(), nullptr, config, "/h/Bilder"},
        {nullptr, config.c_str(), nullptr, config, ""},
        {"", nullptr, "/p", "", "/p"},
        {"h", nullptr, nullptr, "", ""},
    };
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/";
    for (const auto& c : cases) {
        SetOrUnset("HOME", c.home);
        SetOrUnset("XDG_CONFIG_HOME", c.config);
        SetOrUnset("XDG_PICTURES_DIR", c.pictures);
        EXPECT_EQ(ConfigHome(), c.configHome) << (c.config ? c.config : "-");
        EXPECT_EQ(PicturesHome(), c.picturesHome) << (c.config ? c.config : "-");
    }
    setenv("HOME", home.c_str(), 1);
}

TEST(PlayerFiles, AScreenshotIsTheSurfaceAndNeverReplacesAnother) {
    SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 2, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(surface, nullptr);
    const Uint8 colours[6][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {1, 2, 3}, {250, 128, 7}, {0, 0, 0}};
    for (int i = 0; i < 6; ++i) {
        SDL_Rect pixel{static_cast<Sint16>(i % 3), static_cast<Sint16>(i / 3), 1, 1};
        SDL_FillRect(surface, &pixel,
                     SDL_MapRGB(surface->format, colours[i][0], colours[i][1], colours[i][2]));
    }
    setenv("TZ", "UTC", 1);
    fs::remove_all("shots");
    const std::string folder = fs::absolute("shots/Quorvel").string();
    const std::time_t when = 1796671805;  // 2026-12-07 19:30:05 UTC
    const std::string first = SaveScreenshot(surface, folder, when);
    const std::string second = SaveScreenshot(surface, folder, when);
    EXPECT_EQ(first, folder + "/quorvel-2026-12-07-19-30-05.png");
    EXPECT_EQ(second, folder + "/quorvel-2026-12-07-19-30-05-2.png");
    SDL_Surface* read = IMG_Load(second.c_str());
    ASSERT_NE(read, nullptr) << IMG_GetError();
    EXPECT_EQ(std::pair(read->w, read->h), std::pair(3, 2));
    for (int i = 0; i < 6; ++i) {
        const SDL_Color c = PixelColour(read, i % 3, i / 3);
        EXPECT_EQ((std::array<int, 3>{c.r, c.g, c.b}),
                  (std::array<int, 3>{colours[i][0], colours[i][1], colours[i][2]}))
            << i;
    }
    SDL_FreeSurface(read);
    WriteFileBytes("shots/blocker", "");
    EXPECT_THROW(SaveScreenshot(surface, fs::absolute("shots/blocker/Quorvel").string(), when),
                 std::runtime_error);
    SDL_FreeSurface(surface);
}
