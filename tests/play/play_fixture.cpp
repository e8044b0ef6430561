#include "tests/play/play_fixture.h"

#include "engine/sound.h"
#include "engine/video.h"
#include "rules/building.h"

#include <SDL_mixer.h>

#include <cstdlib>
#include <optional>

namespace {

// Screen, sound and interface font for the whole test program.
class GameEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        screen.emplace();
        StartSound(44100, 16);
        font.emplace();
    }
    void TearDown() override {
        font.reset();
        StopSound();
        screen.reset();
    }
    std::optional<ScreenGuard> screen;
    std::optional<FontGuard> font;
};

::testing::Environment* const gameEnvironment = ::testing::AddGlobalTestEnvironment(new GameEnvironment);

std::string Little(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

}  // namespace

std::string SilentWav() {
    const uint32_t length = 12000;
    return "RIFF" + Little(36 + length, 4) + "WAVE" + "fmt " + Little(16, 4) + Little(1, 2) + Little(1, 2) +
           Little(8000, 4) + Little(8000, 4) + Little(1, 2) + Little(8, 2) + "data" + Little(length, 4) +
           std::string(length, static_cast<char>(128));
}

void WriteGamePackages(const std::string& buildWav) {
    WriteWorldPackages(
        [](const std::string& member) {
            return member == "office.png" ? SDL_Color{0, 0, 200, 0} : SDL_Color{90, 60, 30, 0};
        },
        SDL_Color{0, 200, 0, 0}, SDL_Color{0, 100, 100, 0});
    WriteTestPackage(
        "data/gui.rkp", 3,
        {{"topbar.png", SolidBmp(640, 32, TopBarColour.r, TopBarColour.g, TopBarColour.b)},
         {"topbar_down.png", SolidBmp(640, 32, TopBarDownColour.r, TopBarDownColour.g, TopBarDownColour.b)}});
    std::vector<std::pair<std::string, std::string>> sounds = {{"pop.wav", SilentWav()}};
    if (!buildWav.empty()) {
        sounds.push_back({"build.wav", buildWav});
    }
    sounds.push_back({"walk.wav", SilentWav()});
    WriteTestPackage("data/sounds.rkp", 5, sounds);
}

void FakeEndOfGame::Run(int score, bool& returnToMenu) {
    ++calls;
    lastScore = score;
    if (closeWindow) {
        returnToMenu = false;
    }
}

void PlayTest::SetUp() {
    WriteGamePackages();
    // One seed, one map: a failure repeats.
    std::srand(1234);
    Mix_HaltChannel(-1);
    SDL_FillRect(Screen(), nullptr, 0);
    SDL_Event stale;
    while (SDL_PollEvent(&stale) != 0) {
    }
}

SDL_Surface* PlayTest::Screen() const {
    return video.GetScreen();
}

bool PlayTest::PixelIs(int x, int y, SDL_Color colour) const {
    const SDL_Color seen = PixelColour(Screen(), x, y);
    return seen.r == colour.r && seen.g == colour.g && seen.b == colour.b;
}

void PlayTest::StartGame() {
    state = std::make_unique<PlayState>(&endOfGame);
    state->Load();
    state->StartFrames();
}

void PlayTest::Point(int x, int y) {
    SDL_WarpMouse(static_cast<Uint16>(x), static_cast<Uint16>(y));
}

void PlayTest::Press(int x, int y, Uint8 button) {
    Point(x, y);
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = button;
    // The handler must read the pointer, not the event: the event says elsewhere.
    event.button.x = static_cast<Uint16>(639 - x);
    event.button.y = static_cast<Uint16>(479 - y);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void PlayTest::PressKey(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void PlayTest::Click(int x, int y, Uint8 button) {
    Point(x, y);
    Frame();
    Press(x, y, button);
    Frame();
}

int PlayTest::AddBuilding(int type, int column, int row, int workers) {
    state->economy.AddBuilding(type, column, row);
    state->economy.buildings.back().workers = workers;
    return static_cast<int>(state->economy.buildings.size()) - 1;
}

int PlayTest::AddElf(int type, bool employed) {
    state->economy.elves.emplace_back(type, 0, 0);
    state->economy.elves.back().employed = employed;
    return static_cast<int>(state->economy.elves.size()) - 1;
}

bool PlayTest::FindCell(bool blocked, int& column, int& row) const {
    for (row = 0; row < MapRows; ++row) {
        for (column = 0; column < MapColumns; ++column) {
            bool free = !state->map.IsBlocked(column, row);
            for (const Building& b : state->economy.buildings) {
                free = free && (b.IsDeposit() || !b.Contains(column, row));
            }
            if (free != blocked) {
                return true;
            }
        }
    }
    return false;
}
