#include "play/play_state.h"

#include "engine/package.h"
#include "engine/text.h"
#include "engine/video.h"

#include <stdexcept>

namespace {

constexpr Uint32 ElfStepInterval = 500;
// A screen-wide key's notice (where a screenshot went) stays as long as a message.
constexpr int32_t NoticeTimeout = 3000;

// The time display: black, outlined in the light text colour.
constexpr int TimeX = 500;
constexpr int TimeY = 40;
constexpr SDL_Color TimeColour = {0, 0, 0, 0};

}  // namespace

std::string TimeLeftText(int32_t secondsLeft) {
    const int32_t minutes = secondsLeft / 60;
    const int32_t seconds = secondsLeft - 60 * minutes;
    return "Time left: " + NumberToText(minutes) + ":" + NumberToText(seconds);
}

PlayState::PlayState(EndOfGameScreen* endOfGame) : endOfGame(endOfGame) {
    textColour.r = 217;
    textColour.g = 217;
    textColour.b = 217;
    textColour.unused = 0;
}

PlayState::~PlayState() {
    // The samples go first, in the order they were loaded; the members then go
    // in reverse order of declaration: the message text, the economy, the
    // pressed top bar before the normal one, and the map last.
    popSound.reset();
    buildSound.reset();
    walkSound.reset();
}

void PlayState::Load() {
    map.Load();

    Package gui("data/gui.rkp");
    topBarPictures[0] = LoadMember(gui, "topbar.png", LoadSprite);
    topBarPictures[1] = LoadMember(gui, "topbar_down.png", LoadSprite);
    gui.Close();

    buildMenuOpen = false;
    quitMenuOpen = false;
    buildMenuHover = -1;
    quitMenuHover = -1;
    returnToMenu = true;

    lastElfStep = Now();
    secondsLeft = GameSeconds;

    Package sounds("data/sounds.rkp");
    popSound.reset(LoadMember(sounds, "pop.wav", LoadSample));
    buildSound.reset(LoadMember(sounds, "build.wav", LoadSample));
    walkSound.reset(LoadMember(sounds, "walk.wav", LoadSample));
    sounds.Close();

    if (!popSound || !buildSound || !walkSound) {
        throw std::runtime_error("Failed to load sounds!");
    }
}

bool PlayState::Run() {
    StartFrames();
    while (running) {
        RunFrame();
    }
    return FinishFrames();
}

void PlayState::StartFrames() {
    running = true;
    returnToMenu = true;
    timeUp = false;
    lastSecondTick = Now();
    RecordHistory();
}

void PlayState::RunFrame() {
    HandleEvents();

    // At most one second per frame; what lies beyond the 1000 ms is dropped,
    // so a slow frame lengthens the game rather than shortening it. While
    // paused the clock stands still, and nothing timed is even asked.
    if (!Paused() && Now() - lastSecondTick >= SecondLength) {
        --secondsLeft;
        if (secondsLeft <= 0) {
            secondsLeft = 0;
            running = false;
            timeUp = true;
        }
        lastSecondTick = Now();
        if ((GameSeconds - secondsLeft) % GameHistory::Interval == 0) {
            RecordHistory();
        }
    }

    SDL_Surface* screen = video.GetScreen();
    if (!Paused()) {
        map.Draw(screen);
    }
    topBarPictures[quitMenuOpen ? 1 : 0].Draw(screen, 0, 0);
    DrawCounters();
    if (Paused()) {
        DrawPausePanel();
    } else {
        economy.UpdateBuildings(screen);
        if (Now() - lastElfStep >= ElfStepInterval) {
            economy.UpdateElves();
            lastElfStep = Now();
        }
        economy.DrawElves(screen);
        DrawOverlays();
    }
    DrawTime();
    DrawMessage();
    video.Flip();
}

bool PlayState::FinishFrames() {
    // However the game ended, the clock runs again for what follows.
    pause.reset();
    if (timeUp) {
        // The last frame's production counts in the score, so in the story too.
        RecordHistory();
        RunScoreScreen(Score());
    }
    return returnToMenu;
}

void PlayState::RecordHistory() {
    HistorySample sample;
    sample.second = GameSeconds - secondsLeft;
    sample.values = {economy.Money(), economy.Wood(), economy.Steel(), economy.Plastic()};
    history.Record(sample);
}

void PlayState::TogglePause() {
    if (Paused()) {
        pause.reset();
    } else {
        pause.emplace();
    }
}

int32_t PlayState::Score() const {
    return economy.Score();
}

void PlayState::RunScoreScreen(int32_t score) {
    if (endOfGame != nullptr) {
        endOfGame->Run(score, history, returnToMenu);
    }
}

void PlayState::HandleEvents() {
    SDL_Event event;
    while (PollEvent(&event) != 0) {
        if (event.type == SDL_QUIT) {
            running = false;
        }
        if (IsNotice(event)) {
            SetMessage(EventNotice(), NoticeTimeout);
        }
        HandleKey(event);
        // A paused game takes no orders: the map it would act on is hidden.
        if (!Paused()) {
            HandleMouseButton(event);
        }
    }
}

void PlayState::HandleKey(const SDL_Event& event) {
    if (event.type != SDL_KEYDOWN) {
        return;
    }
    const SDLKey key = event.key.keysym.sym;
    if (key == SDLK_ESCAPE) {
        running = false;
        returnToMenu = true;
    } else if (key == SDLK_p || key == SDLK_PAUSE) {
        TogglePause();
    }
}

void PlayState::DrawOverlays() {
    if (economy.pendingElfType != -1 || economy.selectedWorker != -1) {
        return;
    }
    if (economy.selectedCarrier == -2) {
        // The missing mine and foundry pair has been reported; the mark lasts one frame.
        economy.selectedCarrier = -1;
        return;
    }
    if (economy.selectedCarrier != -1 || economy.routeCarrier != -1) {
        return;
    }
    int mouseX = 0;
    int mouseY = 0;
    if (economy.freeElvesPanelOpen) {
        MousePosition(mouseX, mouseY);
        economy.DrawFreeElvesPanel(mouseX, mouseY, video, guiFont, textColour);
    }
    if (economy.selectedBuilding != -1) {
        economy.DrawInfoPanel(video, guiFont, textColour);
    }
    if (buildMenuOpen) {
        DrawBuildMenu();
    }
    if (quitMenuOpen) {
        DrawQuitMenu();
    }
    if (economy.placing) {
        MousePosition(mouseX, mouseY);
        economy.MovePreview(mouseX, mouseY);
        economy.DrawPreview(video.GetScreen(), map);
    }
}

void PlayState::DrawTime() {
    SDL_Surface* screen = video.GetScreen();
    const std::string text = TimeLeftText(secondsLeft);
    guiFont.DrawOutlined(screen, TimeX, TimeY, text, TimeColour, textColour);
}
