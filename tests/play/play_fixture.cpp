#include "tests/play/play_fixture.h"

#include "engine/sound.h"
#include "engine/text.h"
#include "engine/video.h"
#include "rules/building.h"

#include <SDL_mixer.h>
#include <SDL_ttf.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>
#include <utility>

namespace {

const char* const FontPath = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-bold.otf";

// Screen, sound and interface font for the whole test program, opened as the
// application opens them.
class GameEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        video.Init(SDL_INIT_VIDEO, 640, 480, 24, SDL_SWSURFACE);
        StartSound(44100, 16);
        ASSERT_EQ(TTF_Init(), 0);
        guiFont.Load(FontPath, 16);
    }
    void TearDown() override {
        guiFont.Close();
        TTF_Quit();
        StopSound();
        video.Quit();
    }
};

::testing::Environment* const gameEnvironment = ::testing::AddGlobalTestEnvironment(new GameEnvironment);

std::string Little(uint32_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
    return out;
}

// Where the text's glyphs cover pixels: a mask the size of its rendering.
struct Ink {
    int width = 0;
    int height = 0;
    std::vector<bool> covered;
    bool At(int x, int y) const {
        return x >= 0 && y >= 0 && x < width && y < height && covered[y * width + x];
    }
};

Ink InkOf(const std::string& text) {
    Ink ink;
    SDL_Color white{255, 255, 255, 0};
    SDL_Surface* rendered = TTF_RenderText_Solid(guiFont.GetHandle(), text.c_str(), white);
    if (rendered == nullptr) {
        return ink;
    }
    ink.width = rendered->w;
    ink.height = rendered->h;
    ink.covered.assign(static_cast<std::size_t>(ink.width * ink.height), false);
    SDL_LockSurface(rendered);
    for (int y = 0; y < ink.height; ++y) {
        const Uint8* row = static_cast<const Uint8*>(rendered->pixels) + y * rendered->pitch;
        for (int x = 0; x < ink.width; ++x) {
            // A solid rendering is palettised: index 0 is the clear background.
            ink.covered[static_cast<std::size_t>(y * ink.width + x)] = row[x] != 0;
        }
    }
    SDL_UnlockSurface(rendered);
    SDL_FreeSurface(rendered);
    return ink;
}

bool OnScreen(SDL_Surface* screen, int x, int y) {
    return x >= 0 && y >= 0 && x < screen->w && y < screen->h;
}

}  // namespace

bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

std::string ColourText(SDL_Color c) {
    std::ostringstream out;
    out << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
    return out.str();
}

std::string SilentWav(int milliseconds) {
    const uint32_t rate = 8000;
    const uint32_t length = rate * static_cast<uint32_t>(milliseconds) / 1000;
    std::string wav = "RIFF" + Little(36 + length, 4) + "WAVE";
    wav += "fmt " + Little(16, 4) + Little(1, 2) + Little(1, 2) + Little(rate, 4) + Little(rate, 4) +
           Little(1, 2) + Little(8, 2);
    wav += "data" + Little(length, 4) + std::string(length, static_cast<char>(128));
    return wav;
}

void WriteGamePackages(const std::string& buildWav) {
    mkdir("data", 0755);
    WriteTestPackage(
        "data/gui.rkp", 3,
        {{"topbar.png", SolidBmp(640, 32, TopBarColour.r, TopBarColour.g, TopBarColour.b)},
         {"topbar_down.png", SolidBmp(640, 32, TopBarDownColour.r, TopBarDownColour.g, TopBarDownColour.b)}});

    std::vector<std::pair<std::string, std::string>> sounds = {{"pop.wav", SilentWav(1500)}};
    if (!buildWav.empty()) {
        sounds.push_back({"build.wav", buildWav});
    }
    sounds.push_back({"walk.wav", SilentWav(1500)});
    WriteTestPackage("data/sounds.rkp", 5, sounds);

    const std::string building = SolidBmp(32, 32, BuildingColour.r, BuildingColour.g, BuildingColour.b);
    std::vector<std::pair<std::string, std::string>> members = {
        {"office.png", SolidBmp(32, 32, OfficeColour.r, OfficeColour.g, OfficeColour.b)}};
    for (const char* name :
         {"woodworker", "factory1",   "factory2",     "plastics1",    "plastics2",    "plastics3",
          "plastics4",  "foundry1",   "foundry2",     "foundry3",     "mine1",        "mine2",
          "iron",       "oil",        "woodworkerw1", "woodworkerw2", "woodworkerw3", "woodworkerw4",
          "factory2w1", "factory2w2", "plastics1w1",  "plastics1w2",  "foundry3w1",   "foundry3w2",
          "foundry3w3", "mine1w1",    "mine1w2"}) {
        members.push_back({std::string(name) + ".png", building});
    }
    WriteTestPackage("data/buildings.rkp", 7, members);

    const std::string elf = SolidBmp(32, 32, 250, 250, 0);
    WriteTestPackage("data/elves.rkp", 9,
                     {{"worker.png", elf}, {"geologist.png", elf}, {"carrier.png", elf}});
    WriteTestPackage("data/tiles.rkp", 11,
                     {{"tiles.dat", "grass.bmp|yes|x\nrock.bmp|no|x"},
                      {"grass.bmp", SolidBmp(32, 32, GroundColour.r, GroundColour.g, GroundColour.b)},
                      {"rock.bmp", SolidBmp(32, 32, RockColour.r, RockColour.g, RockColour.b)}});
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

void PlayTest::TearDown() {
    state.reset();
}

SDL_Surface* PlayTest::Screen() const {
    return video.GetScreen();
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
    event.button.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = button;
    event.button.state = SDL_PRESSED;
    // The handler must read the pointer, not the event: the event says elsewhere.
    event.button.x = static_cast<Uint16>(639 - x);
    event.button.y = static_cast<Uint16>(479 - y);
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void PlayTest::Click(int x, int y, Uint8 button) {
    Point(x, y);
    Frame();
    Press(x, y, button);
    Frame();
}

void PlayTest::PressKey(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void PlayTest::PushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

int PlayTest::AddBuilding(int type, int column, int row, int workers) {
    state->economy.AddBuilding(type, column, row);
    state->economy.buildings.back().workers = workers;
    return static_cast<int>(state->economy.buildings.size()) - 1;
}

int PlayTest::AddElf(int type, int column, int row) {
    state->economy.elves.emplace_back(type, column, row);
    return static_cast<int>(state->economy.elves.size()) - 1;
}

bool PlayTest::FindFreeSpot(int width, int height, int& column, int& row) const {
    for (int r = 0; r + height <= MapRows; ++r) {
        for (int c = 0; c + width <= MapColumns; ++c) {
            bool free = true;
            for (int dc = 0; dc < width && free; ++dc) {
                for (int dr = 0; dr < height && free; ++dr) {
                    free = !state->map.IsBlocked(c + dc, r + dr);
                    for (const Building& b : state->economy.buildings) {
                        if (!b.IsDeposit() && b.Contains(c + dc, r + dr)) {
                            free = false;
                        }
                    }
                }
            }
            if (free) {
                column = c;
                row = r;
                return true;
            }
        }
    }
    return false;
}

bool PlayTest::FindBlockedCell(int& column, int& row) const {
    for (int r = 0; r < MapRows; ++r) {
        for (int c = 0; c < MapColumns; ++c) {
            if (state->map.IsBlocked(c, r)) {
                column = c;
                row = r;
                return true;
            }
        }
    }
    return false;
}

namespace {

::testing::AssertionResult CheckText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color inner, bool outlined, bool exclusive) {
    const Ink ink = InkOf(text);
    if (ink.width == 0) {
        return ::testing::AssertionFailure() << "the font does not render \"" << text << "\"";
    }
    const int margin = outlined ? 2 : 0;
    int wrong = 0;
    std::ostringstream first;
    for (int py = y - margin; py < y + ink.height + margin; ++py) {
        for (int px = x - margin; px < x + ink.width + margin; ++px) {
            if (!OnScreen(screen, px, py)) {
                continue;
            }
            const int ix = px - x;
            const int iy = py - y;
            const bool innerInk = ink.At(ix, iy);
            const bool outlineInk = outlined && (ink.At(ix + 2, iy) || ink.At(ix - 2, iy) ||
                                                 ink.At(ix, iy + 2) || ink.At(ix, iy - 2));
            const SDL_Color seen = PixelColour(screen, px, py);
            bool ok = true;
            if (innerInk) {
                ok = SameColour(seen, inner);
            } else if (outlineInk) {
                ok = SameColour(seen, TextGrey);
            } else if (exclusive) {
                ok = !SameColour(seen, inner) && !(outlined && SameColour(seen, TextGrey));
            }
            if (!ok) {
                if (wrong == 0) {
                    first << " first at (" << px << ", " << py << "): " << ColourText(seen);
                }
                ++wrong;
            }
        }
    }
    if (wrong != 0) {
        return ::testing::AssertionFailure() << "\"" << text << "\" at (" << x << ", " << y << "): " << wrong
                                             << " pixels wrong;" << first.str();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace

::testing::AssertionResult ShowsText(SDL_Surface* screen, int x, int y, const std::string& text,
                                     SDL_Color colour, bool exclusive) {
    return CheckText(screen, x, y, text, colour, false, exclusive);
}

::testing::AssertionResult ShowsOutlinedText(SDL_Surface* screen, int x, int y, const std::string& text,
                                             SDL_Color inner, bool exclusive) {
    return CheckText(screen, x, y, text, inner, true, exclusive);
}

bool AnyPixel(SDL_Surface* screen, int x1, int y1, int x2, int y2, SDL_Color colour) {
    for (int y = y1; y <= y2; ++y) {
        for (int x = x1; x <= x2; ++x) {
            if (OnScreen(screen, x, y) && SameColour(PixelColour(screen, x, y), colour)) {
                return true;
            }
        }
    }
    return false;
}
