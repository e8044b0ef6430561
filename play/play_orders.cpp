// The mouse during a game: the order flows first, then the menus, placing
// and the panels. Every outcome goes to the message line.
#include "engine/screen_geometry.h"
#include "engine/video.h"
#include "play/play_state.h"
#include "rules/building.h"
#include "world/tile_map.h"

#include <stdexcept>

namespace {

// Results and refusals disappear by themselves; prompts wait for the click.
constexpr int32_t ResultTimeout = 3000;
constexpr int32_t Prompt = -1;

constexpr int BuildMenuClampY = 257;
constexpr int BuildMenuClampX = 430;

}  // namespace

void PlayState::HandleMouseButton(const SDL_Event& event) {
    if (event.type != SDL_MOUSEBUTTONDOWN) {
        return;
    }
    int x = 0;
    int y = 0;
    MousePosition(x, y);
    const bool left = event.button.button == SDL_BUTTON_LEFT;
    const int column = ColumnOfPoint(x);
    const int row = RowOfPoint(y);

    // The four order states take every press; only a left press moves them on.
    if (economy.pendingElfType != -1) {
        if (!left) {
            return;
        }
        if (economy.HireIntoOffice(column, row)) {
            ClearMessage();
            SetMessage("New elf hired!", ResultTimeout);
            PlaySample(popSound.get());
        } else {
            SetMessage("This office is fully occupied, select another office...", Prompt);
        }
        return;
    }
    if (economy.selectedWorker != -1) {
        if (!left) {
            return;
        }
        const bool sent = economy.SendWorker(column, row);
        ClearMessage();
        if (sent) {
            SetMessage("Worker is on his way to his new job!", ResultTimeout);
            PlaySample(walkSound.get());
        } else {
            SetMessage("Can't work here! Building is full or it's office (offices need no workers)!",
                       ResultTimeout);
        }
        return;
    }
    if (economy.selectedCarrier >= 0) {
        if (!left) {
            return;
        }
        const bool chosen = economy.ChooseMine(column, row);
        ClearMessage();
        if (chosen) {
            SetMessage("Choose foundry to supply it with iron ore...", Prompt);
        } else {
            SetMessage("Either this mine's not working or you clicked something else!", ResultTimeout);
        }
        return;
    }
    if (economy.routeCarrier != -1) {
        if (!left) {
            return;
        }
        const bool chosen = economy.ChooseFoundry(column, row);
        ClearMessage();
        if (chosen) {
            SetMessage("Carrier is now supplying foundry with iron ore!", ResultTimeout);
            PlaySample(walkSound.get());
        } else {
            SetMessage("Either this foundry has no workers or you clicked something else!", ResultTimeout);
        }
        return;
    }

    if (event.button.button == SDL_BUTTON_RIGHT) {
        HandleRightButton(x, y);
    } else if (left) {
        HandleLeftButton(x, y);
    }
}

void PlayState::HandleRightButton(int x, int y) {
    if (quitMenuOpen || economy.freeElvesPanelOpen) {
        return;
    }
    buildMenuOpen = !buildMenuOpen;
    buildMenuX = x;
    buildMenuY = y;
    // The menu stays whole on the screen.
    if (buildMenuY + 223 > ScreenHeight) {
        buildMenuY = BuildMenuClampY;
    }
    if (buildMenuX + 210 > ScreenWidth) {
        buildMenuX = BuildMenuClampX;
    }
    if (buildMenuOpen) {
        economy.CancelPlacing();
    }
}

void PlayState::HandleLeftButton(int x, int y) {
    // The quit menu's choice ends the game after this frame; the click goes on.
    if (quitMenuOpen && (quitMenuHover == 3 || quitMenuHover == 4)) {
        returnToMenu = quitMenuHover == 3;
        running = false;
    }
    if (QuitButtonArea.Contains(x, y)) {
        quitMenuOpen = !quitMenuOpen;
        buildMenuOpen = false;
        economy.InfoPanelClick(-1, -1);
        economy.CancelPlacing();
        return;
    }
    if (y < TopBarHeight) {
        return;
    }

    if (buildMenuOpen) {
        if (buildMenuHover >= 7 && buildMenuHover <= 9) {
            // The menu stays open: hidden while the office is chosen, back afterwards.
            switch (economy.BuyElf(buildMenuHover)) {
                case NoOfficeRoom:
                    SetMessage("You don't have available upkeep in any office! Build more offices...",
                               ResultTimeout);
                    break;
                case NotEnoughMoney:
                    SetMessage("You don't have enough money!", ResultTimeout);
                    break;
                case OrderDone:
                    SetMessage("Select office to upkeep new elf...", Prompt);
                    break;
                default:
                    throw std::runtime_error("Unhandled return value from hire-function!");
            }
        } else if (buildMenuHover >= Office && buildMenuHover <= Mine) {
            economy.StartPlacing(buildMenuHover);
            economy.MovePreview(x, y);
            buildMenuOpen = false;
            buildMenuHover = -1;
        }
        return;
    }

    if (economy.placing) {
        switch (economy.BuyBuilding(map)) {
            case OrderDone:
                SetMessage("Building successfully bought!", ResultTimeout);
                economy.CancelPlacing();
                PlaySample(buildSound.get());
                break;
            case NotEnoughMoney:
                SetMessage("You don't have enough money!", ResultTimeout);
                break;
            case InvalidSpot:
                SetMessage("Invalid spot for building!", ResultTimeout);
                break;
            default:
                break;
        }
        return;
    }

    if (quitMenuOpen) {
        return;
    }

    if (economy.freeElvesPanelOpen) {
        if (economy.FreeElvesClick(x, y)) {
            if (economy.selectedWorker != -1) {
                SetMessage("Select working place for worker...", Prompt);
            } else if (economy.selectedCarrier == -2) {
                economy.selectedCarrier = -1;
                SetMessage("You must have both, mine and foundry to set up carrier's path!", ResultTimeout);
            } else if (economy.selectedCarrier >= 0) {
                SetMessage("Select mine where carrier picks up iron ore...", Prompt);
            }
        }
        return;
    }

    if (!economy.InfoPanelClick(x, y) && !economy.OpenInfoPanel(x, y)) {
        economy.OpenFreeElvesPanel(x, y);
    }
}
