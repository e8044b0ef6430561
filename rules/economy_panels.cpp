#include "engine/image.h"
#include "engine/screen_geometry.h"
#include "engine/text.h"
#include "rules/economy.h"

#include <algorithm>

namespace {

constexpr int PanelWidth = 210;
constexpr int InfoPanelHeight = 146;
constexpr int FreeElvesPanelHeight = 76;
constexpr int LineSpacing = 24;
constexpr int TextInset = 7;

std::string Fraction(int have, int of) {
    return NumberToText(have) + " / " + NumberToText(of);
}

bool IsInsideBand(int mouseX, int mouseY, int px, int top, int bottom) {
    return px + 3 < mouseX && mouseX < px + PanelWidth - 3 && top < mouseY && mouseY < bottom;
}

}  // namespace

bool Economy::OpenInfoPanel(int x, int y) {
    const int column = ColumnOfPoint(x);
    const int row = RowOfPoint(y);
    for (size_t i = 0; i < buildings.size(); ++i) {
        const Building& b = buildings[i];
        if (b.IsDeposit() || !b.Contains(column, row)) {
            continue;
        }
        selectedBuilding = static_cast<int32_t>(i);
        infoPanelX = TileSize * (b.x + 1);
        infoPanelY = TileSize * (b.y + 2);
        if (infoPanelX + PanelWidth > ScreenWidth) {
            infoPanelX = ScreenWidth - PanelWidth;
        }
        if (infoPanelY + InfoPanelHeight > ScreenHeight) {
            infoPanelY = ScreenHeight - InfoPanelHeight;
        }
        return true;
    }
    return false;
}

bool Economy::InfoPanelClick(int x, int y) {
    if (x != -1 || y != -1) {
        if (selectedBuilding == -1) {
            return false;
        }
        if (infoPanelX <= x && x <= infoPanelX + PanelWidth && infoPanelY <= y &&
            y <= infoPanelY + InfoPanelHeight) {
            return true;
        }
    }
    infoPanelX = 0;
    infoPanelY = 0;
    selectedBuilding = -1;
    return true;
}

std::vector<std::string> Economy::InfoPanelLines(int buildingIndex) const {
    std::vector<std::string> lines;
    if (buildingIndex < 0 || static_cast<size_t>(buildingIndex) >= buildings.size()) {
        return lines;
    }
    const Building& b = buildings[buildingIndex];
    const BuildingKind& kind = b.Kind();
    // Deposits are never selected, so they have no panel.
    if (kind.panelLines.empty()) {
        return lines;
    }
    lines.assign(kind.panelLines.begin(), kind.panelLines.end());
    if (kind.upkeep > 0) {
        lines.push_back((b.upkeptElves < kind.upkeep ? "[ + ] Upkeep: " : "[ - ] Upkeep: ") +
                        Fraction(b.upkeptElves, kind.upkeep));
        return lines;
    }

    std::string reason;
    if (b.workers >= b.workersNeeded) {
        lines.push_back("[ + ] Workers: " + Fraction(b.workers, b.workersNeeded));
    } else {
        lines.push_back("[ - ] Workers: " + Fraction(b.workers, b.workersNeeded));
        reason = "needs more workers!";
    }
    if (kind.oreFed) {
        const bool supplied = std::any_of(elves.begin(), elves.end(), [&](const Elf& elf) {
            return elf.type == Carrier && elf.foundryIndex == buildingIndex;
        });
        if (!supplied) {
            reason = "needs iron ore!";
        }
    }
    if (reason.empty()) {
        lines.push_back("[ + ] Working!");
    } else {
        lines.push_back("[ - ] Not working,");
        lines.push_back("       " + reason);
    }
    return lines;
}

void Economy::DrawInfoPanel(Video& video, const Font& font, SDL_Color colour) {
    if (selectedBuilding < 0 || static_cast<size_t>(selectedBuilding) >= buildings.size()) {
        return;
    }
    SDL_Surface* screen = video.GetScreen();
    const Building& b = buildings[selectedBuilding];
    DrawRectangle(screen, TileSize * b.x, TileSize * (b.y + 1), TileSize * (b.x + b.Width()),
                  TileSize * (b.y + 1 + b.Height()), 200, 0, 0);
    DrawFramedBox(screen, infoPanelX, infoPanelY, infoPanelX + PanelWidth, infoPanelY + InfoPanelHeight);
    const std::vector<std::string> lines = InfoPanelLines(selectedBuilding);
    for (size_t i = 0; i < lines.size(); ++i) {
        font.Draw(screen, infoPanelX + TextInset, infoPanelY + TextInset + LineSpacing * static_cast<int>(i),
                  lines[i], colour);
    }
}

void Economy::OpenFreeElvesPanel(int x, int y) {
    freeElvesPanelOpen = true;
    freeElvesPanelX = x + PanelWidth > ScreenWidth ? ScreenWidth - PanelWidth : x;
    freeElvesPanelY = y + FreeElvesPanelHeight > ScreenHeight ? ScreenHeight - FreeElvesPanelHeight : y;
    freeElvesRow = 0;
}

bool Economy::FreeElvesClick(int x, int y) {
    selectedWorker = -1;
    selectedCarrier = -1;
    routeCarrier = -1;
    const int px = freeElvesPanelX;
    const int py = freeElvesPanelY;
    if (x < px || y < py || x > px + PanelWidth || y > py + FreeElvesPanelHeight) {
        freeElvesPanelOpen = false;
        return false;
    }
    if (freeElvesRow == 1) {
        for (size_t i = 0; i < elves.size(); ++i) {
            if (elves[i].type == Worker && !elves[i].employed) {
                selectedWorker = static_cast<int32_t>(i);
                freeElvesPanelOpen = false;
                return true;
            }
        }
        return false;
    }
    if (freeElvesRow == 2) {
        const auto hasType = [this](int type) {
            return std::any_of(buildings.begin(), buildings.end(),
                               [type](const Building& b) { return b.type == type; });
        };
        if (!hasType(Mine) || !hasType(Foundry)) {
            selectedCarrier = -2;
            return true;
        }
        for (size_t i = 0; i < elves.size(); ++i) {
            if (elves[i].type == Carrier && !elves[i].onRoute) {
                selectedCarrier = static_cast<int32_t>(i);
                freeElvesPanelOpen = false;
                return true;
            }
        }
        return false;
    }
    return false;
}

void Economy::DrawFreeElvesPanel(int mouseX, int mouseY, Video& video, const Font& font, SDL_Color colour) {
    if (!freeElvesPanelOpen) {
        return;
    }
    SDL_Surface* screen = video.GetScreen();
    const int px = freeElvesPanelX;
    const int py = freeElvesPanelY;
    DrawFramedBox(screen, px, py, px + PanelWidth, py + FreeElvesPanelHeight);
    if (IsInsideBand(mouseX, mouseY, px, py + 27, py + 49)) {
        DrawHighlightBand(screen, px + 3, py + 27, px + PanelWidth - 3, py + 49);
        freeElvesRow = 1;
    } else if (IsInsideBand(mouseX, mouseY, px, py + 51, py + 73)) {
        DrawHighlightBand(screen, px + 3, py + 51, px + PanelWidth - 3, py + 73);
        freeElvesRow = 2;
    } else {
        freeElvesRow = -1;
    }
    const auto freeWorkers = std::count_if(
        elves.begin(), elves.end(), [](const Elf& elf) { return elf.type == Worker && !elf.employed; });
    const auto freeCarriers = std::count_if(
        elves.begin(), elves.end(), [](const Elf& elf) { return elf.type == Carrier && !elf.onRoute; });
    font.Draw(screen, px + TextInset, py + 7, "--- FREE ELVES ---", colour);
    font.Draw(screen, px + TextInset, py + 31,
              "Select free worker (" + NumberToText(static_cast<int32_t>(freeWorkers)) + ")", colour);
    font.Draw(screen, px + TextInset, py + 55,
              "Select free carrier (" + NumberToText(static_cast<int32_t>(freeCarriers)) + ")", colour);
}
