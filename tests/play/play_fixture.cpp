#include "tests/play/play_fixture.h"

#include "engine/sound.h"
#include "engine/video.h"

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

// 1.5 s of silence: 8 kHz, 8 bits, mono.
const std::string SilentWav =
    std::string(
        "RIFF\x04\x2f\0\0WAVEfmt \x10\0\0\0\1\0\1\0\x40\x1f\0\0\x40\x1f\0\0\1\0\x08\0data\xe0\x2e\0\0", 44) +
    std::string(12000, static_cast<char>(128));

}  // namespace

void WriteGamePackages(const char* buildWav) {
    // One brown for every building and elf: play tests look at menus and panels, not pictures.
    WriteWorldPackages(
        [](const std::string&) {
            return SDL_Color{90, 60, 30, 0};
        },
        {0, 200, 0, 0}, {0, 100, 100, 0});
    WriteTestPackage(
        "data/gui.rkp", 3,
        {{"topbar.png", SolidBmp(640, 32, TopBarColour.r, TopBarColour.g, TopBarColour.b)},
         {"topbar_down.png", SolidBmp(640, 32, TopBarDownColour.r, TopBarDownColour.g, TopBarDownColour.b)}});
    std::vector<std::pair<std::string, std::string>> sounds = {{"pop.wav", SilentWav}};
    if (buildWav == nullptr || *buildWav != '\0') {
        sounds.push_back({"build.wav", buildWav == nullptr ? SilentWav : buildWav});
    }
    sounds.push_back({"walk.wav", SilentWav});
    WriteTestPackage("data/sounds.rkp", 5, sounds);
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

SDL_Surface* PlayTest::Screen() {
    return video.GetScreen();
}

void PlayTest::StartGame() {
    state = std::make_unique<PlayState>(&endOfGame);
    state->Load();
    state->StartFrames();
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
