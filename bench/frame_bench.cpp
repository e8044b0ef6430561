// Frame costs of the game's own drawing code on the dummy video driver.
//
//   frame_bench [--data DIR] [--runs R] [--per-run K]
//     prints ms per frame (median of R runs of K frames) for a floor frame
//     (one full-screen picture blitted and presented), the title, the main
//     menu, a fresh game and a worst-case game, each also as a ratio to the
//     floor; the start-up steps up to the first title frame; PlayState::Load;
//     the peak resident memory.
//   frame_bench --frames N
//     only N floor frames (FloorFrame) then N worst-case frames
//     (PlayState::RunFrame), for an instruction count under callgrind.
//   --32bit: a 32-bit window, as the game's "-32bit" option gives, instead of
//     its default 24 bits.
//
// It works in a scratch copy of the data folder, because loading writes its
// scratch files into the current folder. It leaves presentation unsynchronised:
// with vertical sync every figure would be the display's refresh period.

#include "app/main_menu.h"
#include "app/options.h"
#include "app/title.h"
#include "engine/image.h"
#include "engine/package.h"
#include "engine/sound.h"
#include "engine/text.h"
#include "engine/video.h"
#include "play/play_state.h"
#include "rules/building.h"
#include "rules/economy.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef QUORVEL_DATA_DIR
#define QUORVEL_DATA_DIR "data"
#endif

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Settings {
    std::string dataDir = QUORVEL_DATA_DIR;
    int runs = 7;
    int perRun = 200;
    int callgrindFrames = 0;
    bool use32Bit = false;
};

Settings ReadSettings(int argc, char* argv[]) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--data" && hasValue) {
            settings.dataDir = argv[++i];
        } else if (word == "--runs" && hasValue) {
            settings.runs = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--per-run" && hasValue) {
            settings.perRun = std::max(1, std::atoi(argv[++i]));
        } else if (word == "--32bit") {
            settings.use32Bit = true;
        } else if (word == "--frames" && hasValue) {
            settings.callgrindFrames = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--data DIR] [--runs R] [--per-run K] [--frames N] [--32bit]\n",
                         argv[0]);
            std::exit(2);
        }
    }
    return settings;
}

// A scratch folder holding a copy of data/; removed on destruction.
class ScratchGame {
  public:
    explicit ScratchGame(const std::string& dataDir) {
        char pattern[] = "/tmp/quorvel-bench.XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            throw std::runtime_error("cannot make a scratch folder");
        }
        folder = pattern;
        fs::copy(dataDir, folder / "data", fs::copy_options::recursive);
        previous = fs::current_path();
        fs::current_path(folder);
    }
    ~ScratchGame() {
        std::error_code ignored;
        fs::current_path(previous, ignored);
        fs::remove_all(folder, ignored);
    }
    ScratchGame(const ScratchGame&) = delete;
    ScratchGame& operator=(const ScratchGame&) = delete;

  private:
    fs::path folder;
    fs::path previous;
};

void DrainEvents() {
    SDL_Event event;
    while (PollEvent(&event) > 0) {
    }
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePointer = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// A full-screen picture in the display format: what the cheapest possible
// frame of any screen has to do.
SurfacePointer MakeFloorPicture() {
    SDL_Surface* screen = video.GetScreen();
    SurfacePointer raw(SDL_CreateRGBSurface(SDL_SWSURFACE, ScreenWidth, ScreenHeight, 32, 0x00FF0000,
                                            0x0000FF00, 0x000000FF, 0));
    if (raw == nullptr) {
        throw std::runtime_error("cannot make the floor picture");
    }
    SDL_FillRect(raw.get(), nullptr, SDL_MapRGB(raw->format, 40, 90, 40));
    SurfacePointer converted(SDL_DisplayFormat(raw.get()));
    if (converted == nullptr || screen == nullptr) {
        throw std::runtime_error("cannot convert the floor picture");
    }
    return converted;
}

// Kept out of line so that callgrind can name it.
__attribute__((noinline)) void FloorFrame(SDL_Surface* picture) {
    DrainEvents();
    DrawSurface(picture, video.GetScreen(), 0, 0);
    video.Flip();
}

// One screen whose frames are timed: set-up before each run, then the frame.
struct Scene {
    const char* name;
    std::function<void()> beforeRun;
    std::function<void()> frame;
    std::vector<double> perFrame;  // mean ms per frame of each run
};

// Runs the scenes' runs interleaved (run 1 of every scene, then run 2, ...),
// so that a burst of load from elsewhere on a shared machine falls on all of
// them alike instead of on one; every scene's figure is then the median of
// its runs.
void MeasureScenes(const Settings& settings, std::vector<Scene>& scenes) {
    for (Scene& scene : scenes) {
        scene.frame();  // warm-up: first blits convert and page in
    }
    for (int run = 0; run < settings.runs; ++run) {
        for (Scene& scene : scenes) {
            scene.beforeRun();
            const Clock::time_point start = Clock::now();
            for (int i = 0; i < settings.perRun; ++i) {
                scene.frame();
            }
            scene.perFrame.push_back(MillisecondsSince(start) / settings.perRun);
        }
    }
}

struct Placed {
    int type;
    int column;
    int row;
};

// Every building type, twice for the producing ones; offices in the top row
// so that their elves start there.
const Placed WorstCaseBuildings[] = {
    {Office, 0, 0},      {Office, 1, 0},      {Office, 2, 0},     {Office, 3, 0},     {Office, 4, 0},
    {Office, 5, 0},      {Woodworker, 7, 0},  {Woodworker, 8, 0}, {Factory, 10, 0},   {Factory, 12, 0},
    {Plastics, 15, 0},   {Plastics, 17, 0},   {Foundry, 0, 3},    {Foundry, 4, 3},    {Mine, 8, 3},
    {Mine, 10, 3},       {Iron, 12, 3},       {Iron, 13, 3},      {Oil, 14, 3},       {Oil, 15, 3},
    {Woodworker, 0, 12}, {Woodworker, 1, 12}, {Factory, 17, 12},  {Plastics, 14, 11}, {Foundry, 8, 12},
};
constexpr int OfficesInWorstCase = 6;
constexpr int ElvesPerOffice = 4;
constexpr int FirstElfMenuItem = 7;  // worker, geologist, carrier: 7, 8, 9

// Sends every elf off towards the far corner of the map, so that all walk.
void SetElvesWalking(Economy& economy) {
    for (size_t i = 0; i < economy.elves.size(); ++i) {
        Elf& elf = economy.elves[i];
        const int column = elf.x < MapColumns / 2 ? MapColumns - 1 - static_cast<int>(i % 5) : 0;
        const int row = elf.y < MapRows / 2 ? MapRows - 1 - static_cast<int>(i % 3) : 0;
        elf.WalkTo(column, row);
    }
}

void RefreshWorstCase(PlayState& state) {
    SetElvesWalking(state.economy);
    state.SetMessage("Building successfully bought!", 3000);
}

// Builds the heaviest screen the player can reach: every building type,
// offices full of elves all walking, the staffed buildings animating, the
// build and hire menu, an information panel, the placement preview and a
// message, all at once.
void SetUpWorstCase(PlayState& state) {
    Economy& economy = state.economy;
    economy.money = 1000000;
    for (const Placed& p : WorstCaseBuildings) {
        economy.AddBuilding(p.type, p.column, p.row);
    }
    for (int office = 0; office < OfficesInWorstCase; ++office) {
        for (int k = 0; k < ElvesPerOffice; ++k) {
            if (economy.BuyElf(FirstElfMenuItem + k % 3) != OrderDone ||
                !economy.HireIntoOffice(WorstCaseBuildings[office].column, WorstCaseBuildings[office].row)) {
                throw std::runtime_error("worst case: hiring failed");
            }
        }
    }
    for (Building& b : economy.buildings) {
        if (b.type != Office && !b.IsDeposit()) {
            b.workers = b.workersNeeded;
            b.carriers = b.type == Foundry ? 1 : 0;
        }
    }
    // The information panel of the first factory.
    if (!economy.OpenInfoPanel(TileSize * 10 + 4, TileSize + 4)) {
        throw std::runtime_error("worst case: no information panel");
    }
    state.buildMenuOpen = true;
    state.buildMenuX = 240;
    state.buildMenuY = 180;
    economy.StartPlacing(Foundry);
    RefreshWorstCase(state);
}

// The start-up steps of the game up to its first title frame, timed one by one.
struct StartUp {
    double video = 0;
    double events = 0;
    double soundAndMusic = 0;
    double font = 0;
    double titlePicture = 0;
    double firstTitleFrame = 0;
    double Total() const { return video + events + soundAndMusic + font + titlePicture + firstTitleFrame; }
};

StartUp StartGame(bool use32Bit, SongHandle& music, Sprite& title) {
    StartUp times;
    Clock::time_point start = Clock::now();
    const VideoModeChoice mode = ChooseVideoMode(false, use32Bit);
    video.Init(SDL_INIT_VIDEO, ScreenWidth, ScreenHeight, mode.bitsPerPixel, mode.flags);
    SDL_WM_SetCaption("Quorvel", nullptr);
    times.video = MillisecondsSince(start);

    start = Clock::now();
    if (!InitEvents()) {
        throw std::runtime_error(EventsError());
    }
    times.events = MillisecondsSince(start);

    start = Clock::now();
    StartSound(44100, 32);
    {
        Package sounds("data/sounds.rkp");
        sounds.Extract("christmas.xm");
        music.reset(LoadSong(ScratchFile));
        sounds.Close();
    }
    PlaySong(music.get());
    times.soundAndMusic = MillisecondsSince(start);

    start = Clock::now();
    TTF_Init();
    {
        Package gui("data/gui.rkp");
        gui.Extract("palab.ttf", "guifont.ttf");
        gui.Close();
    }
    guiFont.Load("guifont.ttf", 16);
    times.font = MillisecondsSince(start);

    start = Clock::now();
    title = LoadTitlePicture();
    times.titlePicture = MillisecondsSince(start);

    start = Clock::now();
    DrainEvents();
    title.Draw(video.GetScreen(), 0, 0);
    video.Flip();
    times.firstTitleFrame = MillisecondsSince(start);
    return times;
}

void StopGame(SongHandle& music) {
    music.reset();
    StopSound();
    guiFont.Close();
    TTF_Quit();
    QuitEvents();
    video.Quit();
}

void PrintFrame(const char* name, double ms, double floor) {
    std::printf("  %-34s %8.3f ms  %6.2f x floor  (%7.0f frames/s)\n", name, ms, ms / floor, 1000.0 / ms);
}

int RunForCallgrind(const Settings& settings) {
    SurfacePointer floor = MakeFloorPicture();
    for (int i = 0; i < settings.callgrindFrames; ++i) {
        FloorFrame(floor.get());
    }
    PlayState state;
    state.Load();
    SetUpWorstCase(state);
    state.StartFrames();
    for (int i = 0; i < settings.callgrindFrames; ++i) {
        state.RunFrame();
    }
    std::printf("ran %d floor frames (FloorFrame) and %d worst-case frames (PlayState::RunFrame)\n",
                settings.callgrindFrames, settings.callgrindFrames);
    return 0;
}

int RunAll(const Settings& settings, const StartUp& startUp, const Sprite& title) {
    std::printf(
        "frame_bench: %d interleaved runs of %d frames per screen, median of the runs' mean frame time\n",
        settings.runs, settings.perRun);
    std::printf("screen: %dx%d, %d bits per pixel, video driver %s\n", ScreenWidth, ScreenHeight,
                video.GetScreen()->format->BitsPerPixel, std::getenv("SDL_VIDEODRIVER"));

    std::vector<double> loads;
    for (int i = 0; i < 5; ++i) {
        PlayState state;
        const Clock::time_point start = Clock::now();
        state.Load();
        loads.push_back(MillisecondsSince(start));
    }

    const auto nothing = [] {};
    SurfacePointer floorPicture = MakeFloorPicture();
    MainMenu menu;
    menu.Load();
    PlayState fresh;
    fresh.Load();
    fresh.StartFrames();
    PlayState worst;
    worst.Load();
    SetUpWorstCase(worst);
    worst.StartFrames();

    std::vector<Scene> scenes;
    scenes.push_back({"floor (one full-screen blit)", nothing, [&] { FloorFrame(floorPicture.get()); }, {}});
    scenes.push_back({"title",
                      nothing,
                      [&] {
                          DrainEvents();
                          title.Draw(video.GetScreen(), 0, 0);
                          video.Flip();
                      },
                      {}});
    scenes.push_back({"main menu",
                      nothing,
                      [&] {
                          DrainEvents();
                          menu.Draw(video.GetScreen());
                          video.Flip();
                      },
                      {}});
    scenes.push_back({"fresh game", nothing, [&] { fresh.RunFrame(); }, {}});
    scenes.push_back({"worst-case game", [&] { RefreshWorstCase(worst); }, [&] { worst.RunFrame(); }, {}});
    MeasureScenes(settings, scenes);
    menu.Unload();

    const double floor = Median(scenes.front().perFrame);
    const double worstFrame = Median(scenes.back().perFrame);
    const size_t worstBuildings = worst.economy.buildings.size();
    const size_t worstElves = worst.economy.elves.size();

    std::printf("frames:\n");
    for (const Scene& scene : scenes) {
        PrintFrame(scene.name, Median(scene.perFrame), floor);
    }
    std::printf(
        "  worst case: %zu buildings and deposits, %zu elves walking, build menu, information panel,\n"
        "  placement preview and message line on screen\n",
        worstBuildings, worstElves);
    std::printf("  worst-case game frame / floor: %.2f (target at most 3.00: %s)\n", worstFrame / floor,
                worstFrame <= 3.0 * floor ? "met" : "NOT met");

    std::printf("start-up to the first title frame: %.1f ms\n", startUp.Total());
    std::printf(
        "  video mode %.1f, events %.1f, sound and music %.1f, font %.1f, title picture %.1f, "
        "first title frame %.1f ms\n",
        startUp.video, startUp.events, startUp.soundAndMusic, startUp.font, startUp.titlePicture,
        startUp.firstTitleFrame);
    std::printf("PlayState::Load: %.1f ms (median of %zu)\n", Median(loads), loads.size());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    const Settings settings = ReadSettings(argc, argv);
    // Headless unless told otherwise; vertical sync stays off on purpose.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    try {
        ScratchGame scratch(settings.dataDir);
        SongHandle music;
        int status = 0;
        {
            Sprite title;
            const StartUp startUp = StartGame(settings.use32Bit, music, title);
            status =
                settings.callgrindFrames > 0 ? RunForCallgrind(settings) : RunAll(settings, startUp, title);
        }
        StopGame(music);
        return status;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "frame_bench: %s\n", failure.what());
        return 1;
    }
}
