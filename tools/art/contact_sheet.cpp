// contact-sheet-tool: loads every picture of the built packages through the
// engine, exactly as the game does (display format, colour keys), and lays
// them out on one PNG together with a mock-up of a game screen.
//
//   contact-sheet-tool --data DATA_DIR --out SHEET.png

#include "engine/image.h"
#include "engine/package.h"
#include "engine/text.h"
#include "engine/video.h"
#include "tools/art/canvas.h"
#include "tools/art/lettering.h"
#include "tools/art/png_file.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A picture as the game holds it, turned back into colours; keyed pixels are
// marked so the sheet can show what lies behind them.
struct Decoded {
    std::string name;
    art::Canvas image;
    std::vector<bool> transparent;
};

enum class Key { None, Magenta, TopLeft, White };

Decoded Decode(const std::string& name, SDL_Surface* surface, Key key) {
    if (surface == nullptr) {
        throw std::runtime_error(name + " does not decode");
    }
    Decoded result{name, art::Canvas(surface->w, surface->h), {}};
    result.transparent.assign(static_cast<std::size_t>(surface->w) * surface->h, false);
    LockIfNeeded(surface);
    Uint32 keyValue = 0;
    if (key == Key::Magenta) {
        keyValue = SDL_MapRGB(surface->format, 255, 0, 255);
    } else if (key == Key::White) {
        keyValue = SDL_MapRGB(surface->format, 255, 255, 255);
    } else if (key == Key::TopLeft) {
        keyValue = GetPixel(surface, 0, 0);
    }
    for (int y = 0; y < surface->h; ++y) {
        for (int x = 0; x < surface->w; ++x) {
            const Uint32 raw = GetPixel(surface, x, y);
            Uint8 r = 0;
            Uint8 g = 0;
            Uint8 b = 0;
            SDL_GetRGB(raw, surface->format, &r, &g, &b);
            result.image.Set(x, y, art::Colour{r, g, b});
            result.transparent[static_cast<std::size_t>(y) * surface->w + x] =
                key != Key::None && raw == keyValue;
        }
    }
    UnlockIfNeeded(surface);
    return result;
}

std::vector<Decoded> LoadPackage(const std::string& path, Key key, std::string* tileList) {
    Package package(path);
    std::vector<Decoded> pictures;
    std::map<std::string, bool> nonbg;
    if (tileList != nullptr) {
        package.Extract("tiles.dat", "tileinfo.tmp");
        std::ifstream in("tileinfo.tmp", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        *tileList = text.str();
        std::remove("tileinfo.tmp");
        std::string line;
        std::istringstream lines(*tileList);
        while (std::getline(lines, line)) {
            const std::vector<std::string> fields = Split(line, "|", 16);
            if (fields.size() >= 3) {
                nonbg[fields[0]] = fields[2] == "nonbg";
            }
        }
    }
    for (const std::string& name : package.Names()) {
        if (name.size() < 4 || name.substr(name.size() - 4) != ".png") {
            continue;
        }
        package.Extract(name);
        SDL_Surface* surface = LoadImage(ScratchFile);
        const Key used = tileList != nullptr ? (nonbg[name] ? Key::TopLeft : Key::None)
                                             : (name == "helpbox.png" ? Key::White : key);
        pictures.push_back(Decode(name, surface, used));
        FreeSurface(surface);
    }
    return pictures;
}

const Decoded& Find(const std::vector<Decoded>& pictures, const std::string& name) {
    for (const Decoded& picture : pictures) {
        if (picture.name == name) {
            return picture;
        }
    }
    throw std::runtime_error("no picture " + name + " in the packages");
}

// Draws a decoded picture scaled; transparent pixels show what is below.
void Put(art::Canvas& sheet, const Decoded& picture, int x, int y, int scale = 1, int shrink = 1) {
    for (int py = 0; py < picture.image.Height(); py += shrink) {
        for (int px = 0; px < picture.image.Width(); px += shrink) {
            if (!picture.transparent[static_cast<std::size_t>(py) * picture.image.Width() + px]) {
                sheet.FillRect(x + px / shrink * scale, y + py / shrink * scale, scale, scale,
                               picture.image.At(px, py));
            }
        }
    }
}

void Checker(art::Canvas& sheet, int x, int y, int w, int h) {
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const bool dark = ((column / 8) + (row / 8)) % 2 == 0;
            sheet.Set(x + column, y + row, dark ? art::Colour{90, 90, 100} : art::Colour{150, 150, 160});
        }
    }
}

// A game screen as a player would see it: map, a few buildings and elves, the top bar.
void MockUp(art::Canvas& sheet, int x0, int y0, const std::vector<Decoded>& tiles,
            const std::string& tileList, const std::vector<Decoded>& buildings,
            const std::vector<Decoded>& elves, const std::vector<Decoded>& gui, const art::Lettering& font) {
    std::vector<std::pair<std::string, bool>> kinds;
    std::istringstream lines(tileList);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> fields = Split(line, "|", 16);
        kinds.push_back({fields[0], fields[1] != "no"});
    }
    art::Dice dice(5);
    auto pick = [&](bool ground) {
        while (true) {
            const auto& kind =
                kinds[static_cast<std::size_t>(dice.Roll(0, static_cast<int>(kinds.size()) - 1))];
            if (kind.second == ground) {
                return kind.first;
            }
        }
    };
    for (int c = 0; c < 20; ++c) {
        for (int r = 0; r < 14; ++r) {
            Put(sheet, Find(tiles, pick(true)), x0 + 32 * c, y0 + 32 + 32 * r);
        }
    }
    for (int i = 0; i < 44; ++i) {
        const int c = dice.Roll(0, 19);
        const int r = dice.Roll(0, 13);
        if (c >= 2 && c <= 12 && r >= 3 && r <= 10) {
            continue;
        }
        Put(sheet, Find(tiles, pick(false)), x0 + 32 * c, y0 + 32 + 32 * r);
    }
    auto place = [&](const char* name, int c, int r) {
        Put(sheet, Find(buildings, name), x0 + 32 * c, y0 + 32 + 32 * r);
    };
    place("office.png", 3, 4);
    place("office.png", 4, 4);
    place("woodworkerw2.png", 6, 4);
    place("woodworker.png", 7, 4);
    place("factory1.png", 9, 4);
    place("factory2w1.png", 10, 4);
    place("plastics1w1.png", 3, 7);
    place("plastics2.png", 4, 7);
    place("plastics3.png", 3, 8);
    place("plastics4.png", 4, 8);
    place("foundry1.png", 6, 8);
    place("foundry2.png", 7, 8);
    place("foundry3w2.png", 8, 8);
    place("mine1w1.png", 11, 7);
    place("mine2.png", 11, 8);
    place("iron.png", 12, 6);
    place("oil.png", 2, 10);
    auto elf = [&](const char* name, int c, int r) {
        Put(sheet, Find(elves, name), x0 + 32 * c, y0 + 32 + 32 * r);
    };
    elf("worker.png", 5, 5);
    elf("geologist.png", 8, 6);
    elf("carrier.png", 10, 9);
    elf("worker.png", 12, 4);
    Put(sheet, Find(gui, "topbar.png"), x0, y0);
    const int counterX[4] = {203, 359, 462, 583};
    const char* const counts[4] = {"5000", "120", "36", "999999"};
    for (int i = 0; i < 4; ++i) {
        font.Draw(sheet, x0 + counterX[i], y0 + 8, counts[i], art::Colour{217, 217, 217});
    }
}

// The texts the game itself writes on its screens, where it writes them.
void DrawGameTexts(Decoded& screen, const art::Lettering& menu, const art::Lettering& font) {
    const art::Colour white{255, 255, 255};
    if (screen.name == "start_menu.png") {
        menu.Draw(screen.image, 100, 300, "Begin", art::Colour{255, 128, 128});
        menu.Draw(screen.image, 100, 350, "Help", art::Colour{255, 0, 0});
        menu.Draw(screen.image, 100, 400, "Quit", art::Colour{255, 0, 0});
    } else if (screen.name == "scoreboard.png") {
        font.Draw(screen.image, 50, 435, "ESC: Return to main menu", white);
        font.Draw(screen.image, 40, 320, "Send and fetch scores", white);
        font.Draw(screen.image, 40, 340, "from the Internet?", white);
        font.Draw(screen.image, 40, 370, "[ YES ]", white);
        font.Draw(screen.image, 40, 390, "  NO", white);
        for (int i = 0; i < 15; ++i) {
            font.Draw(screen.image, 330, 75 + 20 * i, "Elf number " + std::to_string(i + 1), white);
            font.Draw(screen.image, 520, 75 + 20 * i, std::to_string(98000 - 3117 * i), white);
        }
        font.Draw(screen.image, 400, 420, "To see all scores, visit:", white);
        font.Draw(screen.image, 400, 440, "http://scores.example/quorvel", white);
    }
}

int Run(const std::string& dataDir, const std::string& outPath) {
    video.Init(SDL_INIT_VIDEO, 640, 480, 32, SDL_SWSURFACE);
    if (TTF_Init() < 0) {
        throw std::runtime_error("cannot start the font renderer");
    }
    {
        Package gui(dataDir + "/gui.rkp");
        gui.Extract("palab.ttf", "guifont.ttf");
    }
    int result = 0;
    {
        const art::Lettering label("guifont.ttf", 13);
        const art::Lettering counters("guifont.ttf", 16);
        std::string tileList;
        const std::vector<Decoded> gui = LoadPackage(dataDir + "/gui.rkp", Key::None, nullptr);
        const std::vector<Decoded> buildings = LoadPackage(dataDir + "/buildings.rkp", Key::Magenta, nullptr);
        const std::vector<Decoded> elves = LoadPackage(dataDir + "/elves.rkp", Key::Magenta, nullptr);
        const std::vector<Decoded> tiles = LoadPackage(dataDir + "/tiles.rkp", Key::None, &tileList);

        const art::Lettering menuWords("guifont.ttf", 36);
        art::Canvas sheet(1300, 1420, art::Colour{40, 40, 48});
        MockUp(sheet, 10, 10, tiles, tileList, buildings, elves, gui, counters);
        Decoded menu = Find(gui, "start_menu.png");
        DrawGameTexts(menu, menuWords, counters);
        Put(sheet, menu, 660, 10, 1, 1);
        // The screens at half size, the help box over page 3 as the game shows it.
        int x = 10;
        int y = 500;
        for (const Decoded& picture : gui) {
            if (picture.image.Height() != 480) {
                continue;
            }
            Decoded shown = picture;
            DrawGameTexts(shown, menuWords, counters);
            Put(sheet, shown, x, y, 1, 2);
            label.Draw(sheet, x, y + 242, picture.name, art::Colour{230, 230, 230});
            x += 322;
            if (x > 1000) {
                x = 10;
                y += 262;
            }
        }
        const Decoded& box = Find(gui, "helpbox.png");
        Put(sheet, Find(gui, "help3.png"), x, y, 1, 2);
        Put(sheet, box, x + (320 - box.image.Width() / 2) / 2, y + (240 - box.image.Height() / 2) / 2, 1, 2);
        label.Draw(sheet, x, y + 242, "page 4: help3.png + helpbox.png", art::Colour{230, 230, 230});
        y += 262;
        Put(sheet, Find(gui, "topbar.png"), 10, y);
        Put(sheet, Find(gui, "topbar_down.png"), 660, y);
        y += 44;
        // Keyed pictures at twice their size: on a checker, then on snow.
        x = 10;
        for (const auto* group : {&buildings, &elves, &tiles}) {
            for (const Decoded& picture : *group) {
                const int w = picture.image.Width() * 2;
                if (x + w > 1290) {
                    x = 10;
                    y += 100;
                }
                Checker(sheet, x, y, w, picture.image.Height() * 2);
                Put(sheet, picture, x, y, 2);
                label.Draw(sheet, x, y + picture.image.Height() * 2 + 2, picture.name,
                           art::Colour{230, 230, 230});
                x += w + 14;
            }
        }
        art::WritePng(outPath, sheet);
        std::cout << "contact sheet: " << outPath << " ("
                  << gui.size() + buildings.size() + elves.size() + tiles.size() << " pictures)\n";
    }
    std::remove("guifont.ttf");
    TTF_Quit();
    video.Quit();
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dataDir;
    std::string outPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--data") {
            dataDir = argv[i + 1];
        } else if (flag == "--out") {
            outPath = argv[i + 1];
        }
    }
    if (dataDir.empty() || outPath.empty()) {
        std::cerr << "usage: contact-sheet-tool --data DATA_DIR --out SHEET.png\n";
        return 2;
    }
    try {
        return Run(dataDir, outPath);
    } catch (const std::exception& failure) {
        std::cerr << "contact-sheet-tool: " << failure.what() << "\n";
        return 1;
    }
}
