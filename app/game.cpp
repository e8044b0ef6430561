#include "app/game.h"

#include "app/help.h"
#include "app/main_menu.h"
#include "app/options.h"
#include "app/title.h"
#include "app/wide_keys.h"
#include "engine/errors.h"
#include "engine/package.h"
#include "engine/player_files.h"
#include "engine/screenshot.h"
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

// "~/..." for a path in the player's home: short enough for the message line.
std::string ShownPath(const std::string& path) {
    const char* home = std::getenv("HOME");
    const std::string folder = home != nullptr && home[0] == '/' ? std::string(home) + "/" : "";
    return !folder.empty() && path.compare(0, folder.size(), folder) == 0 ? "~/" + path.substr(folder.size())
                                                                          : path;
}

}  // namespace

Game::Game(int argc, char* argv[]) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    try {
        fullscreen = false;
        use32Bit = false;
        CatchEndSignals();
        SetWorkingDirectoryToProgram();
        CommandLine line = ReadCommandLine(argc, argv);
        settingsPath = SettingsPath(ConfigHome());
        if (!settingsPath.empty()) {
            const SettingsRead read = ReadSettingsFile(settingsPath);
            if (!read.problem.empty()) {
                std::cerr << "Ignoring the settings file \"" << settingsPath << "\": " << read.problem << "."
                          << std::endl;
            }
            settings = read.settings;
        }
        settings = WithCommandLine(settings, line);
        fullscreen = settings.fullscreen;
        use32Bit = line.use32Bit;
        scoreServer = ParseScoreServer(line.scoreServer);
        if (!line.windib) {
            RequestSynchronisedPresentation();
        }
        RequestWindowScale(settings.scale);
        VideoModeChoice mode = ChooseVideoMode(fullscreen, use32Bit);
        video.Init(SDL_INIT_VIDEO, ScreenWidth, ScreenHeight, mode.bitsPerPixel, mode.flags);
        EndWhenDisplayIsLost({ScratchFile, FontFile, TileListFile});
        SDL_WM_SetCaption("Quorvel", nullptr);
        InitEvents();
        SetScreenWideKeys(this);
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
    SetScreenWideKeys(nullptr);
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
    ApplySoundSettings();
    PlaySong(music.get());
}

void Game::ApplySoundSettings() {
    SetSongVolume(music.get(), settings.music ? SoundLevel(settings.musicVolume) : 0);
    SetSampleVolume(settings.effects ? SoundLevel(settings.effectsVolume) : 0);
}

KeyOutcome Game::Take(const SDL_Event& event, bool typingLetters, std::string& notice) {
    switch (WideKeyOf(event, typingLetters)) {
        case WideKey::None:
            return KeyOutcome::NotTaken;
        case WideKey::AltAlone:
            return KeyOutcome::Taken;
        case WideKey::FullScreen:
            if (ToggleFullScreen()) {
                SaveSettingsNow();
            }
            return KeyOutcome::Redrawn;
        case WideKey::Sound: {
            // Either one on: both off; both off: both on.
            const bool on = !(settings.music || settings.effects);
            settings.music = on;
            settings.effects = on;
            ApplySoundSettings();
            SaveSettingsNow();
            return KeyOutcome::Taken;
        }
        case WideKey::Screenshot:
            notice = TakeScreenshot();
            return KeyOutcome::Noticed;
    }
    return KeyOutcome::NotTaken;
}

bool Game::ToggleFullScreen() {
    if (video.GetScreen() == nullptr) {
        return false;  // start-up failed before the window opened
    }
    const VideoModeChoice before = ChooseVideoMode(fullscreen, use32Bit);
    const VideoModeChoice after = ChooseVideoMode(!fullscreen, use32Bit);
    try {
        video.SetVideoMode(ScreenWidth, ScreenHeight, after.bitsPerPixel, after.flags);
    } catch (const VEKException& failure) {
        // The display refuses the other mode: say so and keep the one it had.
        ReportFailure(std::cerr, failure);
        video.SetVideoMode(ScreenWidth, ScreenHeight, before.bitsPerPixel, before.flags);
        return false;
    }
    fullscreen = !fullscreen;
    settings.fullscreen = fullscreen;
    return true;
}

std::string Game::TakeScreenshot() {
    const std::string pictures = PicturesHome();
    if (pictures.empty()) {
        std::cerr << "Failed to save a screenshot: neither XDG_PICTURES_DIR nor HOME names a folder."
                  << std::endl;
        return "Screenshot failed!";
    }
    const std::string folder = pictures + "/Quorvel";
    try {
        return "Screenshot saved: " +
               ShownPath(SaveScreenshot(video.GetScreen(), folder, std::time(nullptr)));
    } catch (const std::runtime_error& failure) {
        std::cerr << "Failed to save a screenshot in \"" << folder << "\": " << failure.what() << std::endl;
        return "Screenshot failed!";
    }
}

void Game::SaveSettingsNow() {
    if (settingsPath.empty()) {
        return;
    }
    const std::string problem = SaveSettings(settingsPath, settings);
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
    }
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
    scoreScreen.OfferName(settings.playerName, [this](const std::string& name) {
        settings.playerName = name;
        SaveSettingsNow();
    });
    PlayState state(&scoreScreen);
    state.Load();
    return state.Run();
}
