// The top bar numbers, the message line and the two menus of a game.
#include "engine/screen_geometry.h"
#include "engine/text.h"
#include "engine/video.h"
#include "play/play_state.h"
#include "rules/building.h"
#include "rules/elf.h"

#include <utility>

namespace {

constexpr int MessageCentreX = ScreenWidth / 2;
constexpr int MessageY = 64;
constexpr SDL_Color MessageColour = {128, 0, 0, 0};

constexpr int BuildMenuWidth = 210;
constexpr int BuildMenuHeight = 220;
constexpr int BuildMenuEntries = 9;
constexpr int EntryPitch = 24;

// Entries 1 to 6 are the building types; 7 to 9 the elf types 1 to 3.
constexpr int FirstHireEntry = 7;

// A paused game: a dark curtain over the whole map, so that a pause gives no
// free look at it, and a panel in the middle with the way back.
constexpr SDL_Color CurtainColour = {22, 18, 34, 0};
constexpr ScreenArea PausePanel = {200, 196, 240, 100};
constexpr SDL_Color PausedColour = {0, 0, 0, 0};

}  // namespace

std::string BuildMenuLabel(int entry) {
    if (entry < 1 || entry > BuildMenuEntries) {
        return std::string();
    }
    if (entry >= FirstHireEntry) {
        const ElfKind& elf = ElfKindOf(entry - FirstHireEntry + 1);
        return elf.menuLabel + NumberToText(elf.cost) + "]";
    }
    const BuildingKind& building = BuildingKindOf(entry);
    return building.menuLabel + NumberToText(building.cost) + "]";
}

void PlayState::DrawCounters() {
    SDL_Surface* screen = video.GetScreen();
    const int32_t counts[4] = {economy.Money(), economy.Wood(), economy.Steel(), economy.Plastic()};
    for (int i = 0; i < 4; ++i) {
        guiFont.Draw(screen, CounterX[i], CounterY, NumberToText(counts[i]), textColour);
    }
}

void PlayState::SetMessage(std::string text, int32_t timeout) {
    messageText = std::move(text);
    messageTimeout = timeout;
    messageSetAt = Now();
}

void PlayState::ClearMessage() {
    messageText.clear();
}

void PlayState::DrawMessage() {
    if (messageText.empty()) {
        return;
    }
    // Elapsed time rather than a sum, so that the clock's wrap cannot end a
    // message early.
    if (messageTimeout != -1 && Now() - messageSetAt >= static_cast<Uint32>(messageTimeout)) {
        messageTimeout = -1;
        messageText.clear();
        return;
    }
    SDL_Surface* screen = video.GetScreen();
    const int x = MessageCentreX - guiFont.TextWidth(messageText) / 2;
    guiFont.DrawOutlined(screen, x, MessageY, messageText, MessageColour, textColour);
}

void PlayState::DrawBuildMenu() {
    SDL_Surface* screen = video.GetScreen();
    const int x = buildMenuX;
    const int y = buildMenuY;
    DrawFramedBox(screen, x, y, x + BuildMenuWidth, y + BuildMenuHeight);

    int mouseX = 0;
    int mouseY = 0;
    MousePosition(mouseX, mouseY);
    buildMenuHover = -1;
    for (int entry = 1; entry <= BuildMenuEntries; ++entry) {
        const int top = y + 3 + EntryPitch * (entry - 1);
        // The mine's band is two pixels shorter than the others.
        const int bottom = entry == Mine ? y + 143 : y + 25 + EntryPitch * (entry - 1);
        if (x + 3 < mouseX && mouseX < x + 207 && top < mouseY && mouseY < bottom) {
            DrawHighlightBand(screen, x + 3, top, x + 207, bottom);
            buildMenuHover = entry;
            break;
        }
    }

    for (int entry = 1; entry <= BuildMenuEntries; ++entry) {
        guiFont.Draw(screen, x + 7, y + 7 + EntryPitch * (entry - 1), BuildMenuLabel(entry), textColour);
    }
}

void PlayState::DrawQuitMenu() {
    SDL_Surface* screen = video.GetScreen();
    DrawFramedBox(screen, 6, 34, 216, 86);

    int mouseX = 0;
    int mouseY = 0;
    MousePosition(mouseX, mouseY);
    quitMenuHover = -1;
    if (mouseX > 9) {
        if (mouseY > 37 && mouseX < 213 && mouseY < 59) {
            DrawHighlightBand(screen, 9, 37, 213, 59);
            quitMenuHover = 3;
        } else if (mouseY > 61 && mouseX < 213 && mouseY < 83) {
            DrawHighlightBand(screen, 9, 61, 213, 83);
            quitMenuHover = 4;
        }
    }

    guiFont.Draw(screen, 13, 41, "Quit to main menu", textColour);
    guiFont.Draw(screen, 13, 65, "Quit to desktop", textColour);
}

void PlayState::DrawPausePanel() {
    SDL_Surface* screen = video.GetScreen();
    FillBox(screen, 0, MapTop, ScreenWidth - 1, ScreenHeight - 1, CurtainColour.r, CurtainColour.g,
            CurtainColour.b);
    const ScreenArea& panel = PausePanel;
    DrawFramedBox(screen, panel.x, panel.y, panel.x + panel.w - 1, panel.y + panel.h - 1);
    const int centre = panel.x + panel.w / 2;
    const std::string title = "Paused";
    guiFont.DrawOutlined(screen, centre - guiFont.TextWidth(title) / 2, panel.y + 16, title, PausedColour,
                         textColour);
    for (const auto& [line, y] : {std::pair{"Press P to resume", 48}, {"Escape leaves the game", 70}}) {
        guiFont.Draw(screen, centre - guiFont.TextWidth(line) / 2, panel.y + y, line, textColour);
    }
}
