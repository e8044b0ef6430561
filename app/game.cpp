#include "app/game.h"

#include "app/help.h"
#include "app/main_menu.h"
#include "app/options.h"
#include "app/title.h"
#include "engine/errors.h"
#include "engine/package.h"
#include "engine/text.h"
#include "engine/video.h"
#include "play/play_state.h"
#include "world/tile_map.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>

namespace {

constexpr const char* FontFile = "guifont.ttf";
constexpr int GuiPointSize = 16;
constexpr int MixRate = 44100;
constexpr int SoftwareChannels = 32;
constexpr int MusicVolume = 82;

}  // namespace

Game::Game(int argc, char* argv[]) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    try {
        fullscreen = false;
        use32Bit = false;
        CatchEndSignals();
        SetWorkingDirectoryToProgram();
        CommandLine line = ReadCommandLine(argc, argv);
        fullscreen = line.fullscreen;
        use32Bit = line.use32Bit;
        scoreServer = ParseScoreServer(line.scoreServer);
        if (!line.windib) {
            RequestSynchronisedPresentation();
        }
        RequestWindowScale(line.scale);
        VideoModeChoice mode = ChooseVideoMode(fullscreen, use32Bit);
        video.Init(SDL_INIT_VIDEO, ScreenWidth, ScreenHeight, mode.bitsPerPixel, mode.flags);
        EndWhenDisplayIsLost({ScratchFile, FontFile, TileListFile});
        SDL_WM_SetCaption("Quorvel", nullptr);
        InitEvents();
        StartSoundMusicAndFont();
    } catch (const VEKException& failure) {
        ReportFailure(std::cerr, failure);
    } catch (const std::exception& failure) {
        ReportFailure(std::cerr, failure);
    }
}

void Game::StartSoundMusicAndFont() {
    StartSound(MixRate, SoftwareChannels);

    music.reset(LoadMember("data/sounds.rkp", "christmas.xm", LoadSong));
    if (music == nullptr) {
        throw std::runtime_error("Failed to load music!");
    }

    TTF_Init();
    Package gui("data/gui.rkp");
    // A file of its own: the font library reads it for as long as the font is open.
    gui.Extract("palab.ttf", FontFile);
    gui.Close();

    guiFont.Load(FontFile, GuiPointSize);
}

Game::~Game() {
    music.reset();
    StopSound();
    guiFont.Close();
    std::remove(FontFile);
    TTF_Quit();
    QuitEvents();
    video.Quit();
}

void Game::StartMusic() {
    // Without a song both calls do nothing.
    SetSongVolume(music.get(), MusicVolume);
    PlaySong(music.get());
}

int32_t Game::Run() {
    try {
        StartMusic();
        {
            Sprite title = LoadTitlePicture();
            ShowTitle(title);
        }
        MainMenu menu;
        bool running = true;
        while (running) {
            menu.Load();
            int32_t choice = menu.Run();
            menu.Unload();
            switch (choice) {
                case MenuBegin:
                    running = PlayOneGame();
                    break;
                case MenuHelp:
                    ShowHelp();
                    break;
                case MenuQuit:
                    running = false;
                    break;
                default:
                    break;
            }
        }
    } catch (const EndRequested&) {
        // A signal asked for the end: the normal shut-down follows.
    } catch (const VEKException& failure) {
        ReportFailure(std::cerr, failure);
    } catch (const std::exception& failure) {
        ReportFailure(std::cerr, failure);
    }
    return 0;
}

bool Game::PlayOneGame() {
    // Every text of a game is drawn with the interface font; a menu opened on
    // a font file left over from an earlier run must not lead into one.
    if (guiFont.GetHandle() == nullptr) {
        throw std::runtime_error("The interface font is not open!");
    }
    ScoreScreen scoreScreen(scoreServer);
    PlayState state(&scoreScreen);
    state.Load();
    return state.Run();
}
