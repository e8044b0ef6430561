// The top bar numbers, the message line and the two menus of a game.
#include "engine/text.h"
#include "engine/video.h"
#include "play/play_state.h"
#include "rules/building.h"
#include "rules/elf.h"

#include <utility>

namespace {

constexpr int CounterY = 8;
constexpr int MessageCentreX = 320;
constexpr int MessageY = 64;

constexpr int BuildMenuWidth = 210;
constexpr int BuildMenuHeight = 220;
constexpr int BuildMenuEntries = 9;
constexpr int EntryPitch = 24;

// Entries 1 to 6 are the building types; 7 to 9 the elf types 1 to 3.
constexpr int FirstHireEntry = 7;

// The three-pixel red frame and the dark red body shared by both menus.
void DrawMenuBox(SDL_Surface* screen, int x1, int y1, int x2, int y2) {
    for (int inset = 0; inset < 3; ++inset) {
        DrawRectangle(screen, x1 + inset, y1 + inset, x2 - inset, y2 - inset, 200, 0, 0);
    }
    FillBox(screen, x1 + 3, y1 + 3, x2 - 3, y2 - 3, 128, 0, 0);
}

void Highlight(SDL_Surface* screen, int x1, int y1, int x2, int y2) {
    FillBox(screen, x1, y1, x2, y2, 180, 0, 0);
}

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
    guiFont.Draw(screen, 203, CounterY, NumberToText(economy.Money()), textColour);
    guiFont.Draw(screen, 359, CounterY, NumberToText(economy.Wood()), textColour);
    guiFont.Draw(screen, 462, CounterY, NumberToText(economy.Steel()), textColour);
    guiFont.Draw(screen, 583, CounterY, NumberToText(economy.Plastic()), textColour);
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
    guiFont.Draw(screen, x - 2, MessageY, messageText, textColour);
    guiFont.Draw(screen, x + 2, MessageY, messageText, textColour);
    guiFont.Draw(screen, x, MessageY - 2, messageText, textColour);
    guiFont.Draw(screen, x, MessageY + 2, messageText, textColour);
    guiFont.Draw(screen, x, MessageY, messageText, 128, 0, 0);
}

void PlayState::DrawBuildMenu() {
    SDL_Surface* screen = video.GetScreen();
    const int x = buildMenuX;
    const int y = buildMenuY;
    DrawMenuBox(screen, x, y, x + BuildMenuWidth, y + BuildMenuHeight);

    int mouseX = 0;
    int mouseY = 0;
    MousePosition(mouseX, mouseY);
    buildMenuHover = -1;
    for (int entry = 1; entry <= BuildMenuEntries; ++entry) {
        const int top = y + 3 + EntryPitch * (entry - 1);
        // The mine's band is two pixels shorter than the others.
        const int bottom = entry == Mine ? y + 143 : y + 25 + EntryPitch * (entry - 1);
        if (x + 3 < mouseX && mouseX < x + 207 && top < mouseY && mouseY < bottom) {
            Highlight(screen, x + 3, top, x + 207, bottom);
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
    DrawMenuBox(screen, 6, 34, 216, 86);

    int mouseX = 0;
    int mouseY = 0;
    MousePosition(mouseX, mouseY);
    quitMenuHover = -1;
    if (mouseX > 9) {
        if (mouseY > 37 && mouseX < 213 && mouseY < 59) {
            Highlight(screen, 9, 37, 213, 59);
            quitMenuHover = 3;
        } else if (mouseY > 61 && mouseX < 213 && mouseY < 83) {
            Highlight(screen, 9, 61, 213, 83);
            quitMenuHover = 4;
        }
    }

    guiFont.Draw(screen, 13, 41, "Quit to main menu", textColour);
    guiFont.Draw(screen, 13, 65, "Quit to desktop", textColour);
}
