#include "tools/art/scenes.h"

#include "tools/art/lettering.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace art {

namespace {

constexpr Colour Night{12, 16, 40};
constexpr Colour Dusk{52, 66, 118};
constexpr Colour SnowWhite{238, 243, 251};
constexpr Colour SnowShade{203, 217, 238};
constexpr Colour HillFar{96, 114, 164};
constexpr Colour HillNear{130, 150, 196};
constexpr Colour Gold{255, 216, 94};
constexpr Colour Amber{227, 155, 46};
constexpr Colour Ink{26, 26, 46};
constexpr Colour Body{232, 238, 248};
constexpr Colour Muted{150, 166, 204};
constexpr Colour Holly{226, 60, 60};
constexpr Colour BoardTop{24, 32, 64};
constexpr Colour BoardBottom{12, 14, 32};
constexpr Colour PanelFill{14, 16, 34};
constexpr Colour PanelEdge{62, 64, 100};
// The box of the last help page is keyed on pure white; its own light colours
// stay clear of white even at 16 bits per pixel.
constexpr Colour KeyWhite{255, 255, 255};

void Stars(Canvas& canvas, uint32_t seed, int count, int maxY) {
    Dice dice(seed);
    for (int i = 0; i < count; ++i) {
        const int x = dice.Roll(0, canvas.Width() - 1);
        const int y = dice.Roll(0, maxY);
        const int kind = dice.Roll(0, 9);
        const Colour colour = kind < 6 ? Colour{120, 136, 186} : (kind < 9 ? Colour{200, 210, 240} : Gold);
        canvas.Set(x, y, colour);
        if (kind == 9) {
            canvas.Set(x - 1, y, Colour{170, 150, 90});
            canvas.Set(x + 1, y, Colour{170, 150, 90});
            canvas.Set(x, y - 1, Colour{170, 150, 90});
            canvas.Set(x, y + 1, Colour{170, 150, 90});
        }
    }
}

void Moon(Canvas& canvas, int cx, int cy, int radius) {
    canvas.FillEllipse(cx, cy, radius + 6, radius + 6, Colour{34, 44, 86});
    canvas.FillEllipse(cx, cy, radius + 3, radius + 3, Colour{60, 72, 120});
    canvas.FillEllipse(cx, cy, radius, radius, Colour{246, 240, 210});
    canvas.FillEllipse(cx - radius / 3, cy - radius / 4, radius / 4, radius / 4, Colour{226, 220, 190});
    canvas.FillEllipse(cx + radius / 3, cy + radius / 3, radius / 5, radius / 5, Colour{226, 220, 190});
}

// Rolling hills: a row of wide ellipses whose tops make the skyline.
void Hills(Canvas& canvas, int baseY, int height, Colour colour, uint32_t seed) {
    Dice dice(seed);
    for (int x = -60; x < canvas.Width() + 60;) {
        const int rx = dice.Roll(70, 140);
        const int ry = dice.Roll(height / 2, height);
        canvas.FillEllipse(x + rx, baseY, rx, ry, colour);
        x += rx + dice.Roll(20, 80);
    }
    canvas.FillRect(0, baseY, canvas.Width(), canvas.Height() - baseY, colour);
}

void NightBackdrop(Canvas& canvas, int horizon, uint32_t seed) {
    canvas.DitherGradient(0, 0, canvas.Width(), horizon + 40, Night, Dusk);
    Stars(canvas, seed, 180, horizon);
    Hills(canvas, horizon, 40, HillFar, seed + 1);
    Hills(canvas, horizon + 30, 30, HillNear, seed + 2);
}

// Ground made of the map's own snow tiles.
void SnowField(Canvas& canvas, const SceneKit& kit, int top, uint32_t seed) {
    static const char* const kinds[] = {"snow.png", "snow.png", "snowdrift.png", "snow.png",
                                        "snowsparkle.png"};
    Dice dice(seed);
    for (int y = top; y < canvas.Height(); y += 32) {
        for (int x = 0; x < canvas.Width(); x += 32) {
            canvas.Blit(kit.Picture(kinds[dice.Roll(0, 4)]), x, y, 1, false);
        }
    }
    canvas.FillRect(0, top, canvas.Width(), 2, SnowShade);
}

void Snowfall(Canvas& canvas, uint32_t seed, int count, int top, int bottom) {
    Dice dice(seed);
    for (int i = 0; i < count; ++i) {
        const int x = dice.Roll(0, canvas.Width() - 1);
        const int y = dice.Roll(top, bottom);
        const bool big = dice.Roll(0, 3) == 0;
        canvas.Blend(x, y, SnowWhite, 220);
        if (big) {
            canvas.Blend(x + 1, y, SnowWhite, 160);
            canvas.Blend(x, y + 1, SnowWhite, 160);
            canvas.Blend(x + 1, y + 1, SnowWhite, 110);
        }
    }
}

// A plain dark box with a rounded two-colour rim: the game's own texts go on it.
void Panel(Canvas& canvas, int x, int y, int w, int h, Colour fill, Colour edge, Colour rim) {
    canvas.FillRect(x + 2, y, w - 4, h, rim);
    canvas.FillRect(x, y + 2, w, h - 4, rim);
    canvas.FillRect(x + 1, y + 1, w - 2, h - 2, rim);
    canvas.FillRect(x + 3, y + 2, w - 6, h - 4, edge);
    canvas.FillRect(x + 2, y + 3, w - 4, h - 6, edge);
    canvas.FillRect(x + 4, y + 4, w - 8, h - 8, fill);
}

// Snow lying on every upward-facing edge of a text's letters.
void SnowOnTop(Canvas& canvas, const Lettering& font, int x, int y, const std::string& text) {
    const int w = font.Width(text) + 4;
    const int h = font.LineHeight() + 4;
    Canvas mask(w, h);
    font.Draw(mask, 2, 2, text, SnowWhite);
    const auto solid = [&](int mx, int my) { return mask.Contains(mx, my) && mask.At(mx, my).g > 140; };
    // An upward-facing edge: solid here, open above.
    const auto top = [&](int mx, int my) { return solid(mx, my) && !solid(mx, my - 1); };
    for (int my = 1; my < h; ++my) {
        for (int mx = 0; mx < w; ++mx) {
            if (!top(mx, my)) {
                continue;
            }
            // How far along the edge this column lies from its nearer end; the snow is rounded there.
            int reach = 0;
            while (reach < 3 && top(mx - reach - 1, my) && top(mx + reach + 1, my)) {
                ++reach;
            }
            if (reach == 0) {
                continue;
            }
            const int depth = 1 + reach;
            for (int d = 0; d < depth; ++d) {
                canvas.Set(x + mx - 2, y + my - 2 - d, d == 0 ? SnowShade : SnowWhite);
            }
            canvas.Set(x + mx - 2, y + my - 2 - depth, Ink);
        }
    }
}

// A wrapped present with a ribbon cross and a bow.
void Gift(Canvas& canvas, int x, int y, int w, int h, Colour paper, Colour ribbon) {
    canvas.FillRect(x - 1, y - 1, w + 2, h + 2, Ink);
    canvas.FillRect(x, y, w, h, paper);
    canvas.FillRect(x, y + h - 3, w, 3, Mix(paper, Ink, 1, 3));
    canvas.FillRect(x + w / 2 - 1, y, 3, h, ribbon);
    canvas.FillRect(x, y + h / 3, w, 2, ribbon);
    canvas.FillRect(x + w / 2 - 5, y - 4, 4, 4, ribbon);
    canvas.FillRect(x + w / 2 + 2, y - 4, 4, 4, ribbon);
}

// The building as it stands on the map, its animated tile at work.
Canvas Building(const SceneKit& kit, const std::string& word, int columns, int rows,
                const std::string& working) {
    Canvas whole(columns * 32, rows * 32, Magenta);
    int index = 1;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c, ++index) {
            // Tiles are "word.png" for one tile, else "word1.png", "word2.png", ...; a work frame
            // is named after the tile it replaces ("factory2w1.png" stands in for "factory2.png").
            const std::string tile = columns * rows == 1 ? word : word + std::to_string(index);
            const bool animated = !working.empty() && working.compare(0, tile.size() + 1, tile + "w") == 0;
            whole.Blit(kit.Picture(animated ? working : tile + ".png"), c * 32, r * 32);
        }
    }
    return whole;
}

struct Fonts {
    explicit Fonts(const std::string& path)
        : huge(path, 104),
          big(path, 44),
          title(path, 30),
          heading(path, 20),
          body(path, 16),
          small(path, 13) {}
    Lettering huge;
    Lettering big;
    Lettering title;
    Lettering heading;
    Lettering body;
    Lettering small;
};

// Draws text cut into lines no wider than width; returns the y under it.
int Paragraph(Canvas& canvas, const Lettering& font, int x, int y, int width, const std::string& text,
              Colour colour, int lineStep) {
    std::istringstream words(text);
    std::string word;
    std::string line;
    while (words >> word) {
        const std::string longer = line.empty() ? word : line + " " + word;
        if (!line.empty() && font.Width(longer) > width) {
            font.Draw(canvas, x, y, line, colour);
            y += lineStep;
            line = word;
        } else {
            line = longer;
        }
    }
    if (!line.empty()) {
        font.Draw(canvas, x, y, line, colour);
        y += lineStep;
    }
    return y;
}

void Village(Canvas& canvas, const SceneKit& kit, int groundY, int fromX) {
    const Canvas factory = Building(kit, "factory", 2, 1, "factory2w1.png");
    const Canvas office = Building(kit, "office", 1, 1, "");
    const Canvas woodworker = Building(kit, "woodworker", 1, 1, "woodworkerw2.png");
    const Canvas foundry = Building(kit, "foundry", 3, 1, "foundry3w1.png");
    canvas.Blit(kit.Picture("fir.png"), fromX - 20, groundY - 80, 3);
    canvas.Blit(factory, fromX + 60, groundY - 60, 2);
    canvas.Blit(office, fromX + 196, groundY - 60, 2);
    canvas.Blit(kit.Picture("firlights.png"), fromX + 262, groundY - 92, 3);
    canvas.Blit(woodworker, fromX + 350, groundY - 58, 2);
    canvas.Blit(foundry, fromX + 420, groundY - 60, 2);
    canvas.Blit(kit.Picture("worker.png"), fromX + 150, groundY - 30, 2);
    canvas.Blit(kit.Picture("carrier.png"), fromX + 300, groundY - 20, 2);
    canvas.Blit(kit.Picture("geologist.png"), fromX + 440, groundY + 6, 2);
    canvas.Blit(kit.Picture("snowman.png"), fromX + 536, groundY + 10, 2);
}

void HelpBoard(Canvas& canvas, const Fonts& fonts, const std::string& title, int page) {
    canvas.DitherGradient(0, 0, ScreenWidth, ScreenHeight, BoardTop, BoardBottom);
    Snowfall(canvas, 900u + static_cast<uint32_t>(page), 160, 0, 479);
    canvas.Frame(6, 6, 628, 468, Amber);
    canvas.Frame(8, 8, 624, 464, PanelEdge);
    fonts.title.DrawOutlined(canvas, 320 - fonts.title.Width(title) / 2, 14, title, Gold, Ink);
    canvas.FillRect(200, 54, 240, 1, Amber);
    const std::string footer = page < 3 ? "Any key: next page" : "Any key: one more page";
    fonts.small.Draw(canvas, 630 - 12 - fonts.small.Width(footer), 454, footer, Muted);
}

// A small mouse with the pressed button lit.
void Mouse(Canvas& canvas, int x, int y, bool right) {
    const Colour body{214, 220, 234};
    canvas.FillEllipse(x + 10, y + 12, 10, 12, Muted);
    canvas.FillEllipse(x + 10, y + 12, 9, 11, body);
    // The pressed button: the top quarter on its side, above the split.
    for (int row = y + 1; row <= y + 10; ++row) {
        for (int column = right ? x + 11 : x; column <= (right ? x + 20 : x + 9); ++column) {
            if (canvas.At(column, row) == body) {
                canvas.Set(column, row, Holly);
            }
        }
    }
    canvas.FillRect(x + 1, y + 11, 19, 1, Muted);
    canvas.FillRect(x + 10, y + 1, 1, 10, Muted);
}

std::string Times() {
    return "\xC3\x97";  // the multiplication sign, in UTF-8
}

}  // namespace

const Canvas& SceneKit::Picture(const std::string& name) const {
    auto found = pictures.find(name);
    if (found == pictures.end()) {
        throw std::runtime_error("the screens need the picture " + name);
    }
    return found->second;
}

Canvas TitleScreen(const SceneKit& kit) {
    Fonts fonts(kit.fontPath);
    Canvas canvas(ScreenWidth, ScreenHeight);
    NightBackdrop(canvas, 300, 11);
    Moon(canvas, 586, 50, 28);
    SnowField(canvas, kit, 384, 12);
    Village(canvas, kit, 400, 16);
    Snowfall(canvas, 13, 420, 0, 470);
    const std::string name = "Quorvel";
    const int x = 320 - fonts.huge.Width(name) / 2;
    fonts.huge.Draw(canvas, x + 5, 66, name, Colour{120, 20, 30});
    fonts.huge.DrawOutlined(canvas, x, 60, name, Gold, Ink);
    SnowOnTop(canvas, fonts.huge, x, 60, name);
    const std::string motto = "The elves' toy industry";
    fonts.heading.DrawOutlined(canvas, 320 - fonts.heading.Width(motto) / 2, 196, motto, Body, Ink);
    canvas.FillRect(230, 230, 180, 2, Holly);
    canvas.FillRect(300, 229, 40, 4, Gold);
    return canvas;
}

Canvas MenuScreen(const SceneKit& kit) {
    Fonts fonts(kit.fontPath);
    Canvas canvas(ScreenWidth, ScreenHeight);
    NightBackdrop(canvas, 250, 21);
    Moon(canvas, 90, 70, 26);
    SnowField(canvas, kit, 352, 22);
    canvas.Blit(kit.Picture("fir.png"), 300, 240, 3);
    canvas.Blit(Building(kit, "plastics", 2, 2, "plastics1w1.png"), 380, 224, 2);
    canvas.Blit(kit.Picture("firlights.png"), 520, 262, 3);
    canvas.Blit(Building(kit, "mine", 1, 2, "mine1w2.png"), 580, 238, 2);
    canvas.Blit(kit.Picture("worker.png"), 340, 380, 2);
    canvas.Blit(kit.Picture("geologist.png"), 480, 396, 2);
    canvas.Blit(kit.Picture("snowman.png"), 560, 372, 2);
    Snowfall(canvas, 23, 360, 0, 470);
    const std::string name = "Quorvel";
    fonts.big.Draw(canvas, 323 - fonts.big.Width(name) / 2 + 3, 42, name, Colour{120, 20, 30});
    fonts.big.DrawOutlined(canvas, 320 - fonts.big.Width(name) / 2, 38, name, Gold, Ink);
    SnowOnTop(canvas, fonts.big, 320 - fonts.big.Width(name) / 2, 38, name);
    // The menu words go here in red: a calm, dark board behind them.
    Panel(canvas, MenuWordsArea.x - 26, MenuWordsArea.y - 22, MenuWordsArea.w + 52, MenuWordsArea.h + 40,
          PanelFill, PanelEdge, Amber);
    const std::string hint = "Arrows choose, Return starts";
    fonts.small.Draw(canvas, MenuWordsArea.x - 10, MenuWordsArea.y + MenuWordsArea.h + 2, hint, Muted);
    return canvas;
}

Canvas HelpPage(const SceneKit& kit, int page) {
    Fonts fonts(kit.fontPath);
    Canvas canvas(ScreenWidth, ScreenHeight);
    const int left = 32;
    const int width = 576;
    const int step = 20;
    if (page == 1) {
        HelpBoard(canvas, fonts, "How to play", 1);
        int y =
            Paragraph(canvas, fonts.body, left, 66, width,
                      "Christmas is coming and the toy industry of the elves is yours. Buy buildings, hire "
                      "elves and turn wood, steel and plastic into money. You start with 5000; a game lasts "
                      "24 minutes.",
                      Body, step);
        y += 8;
        fonts.heading.Draw(canvas, left, y, "The mouse", Gold);
        y += 28;
        struct Row {
            bool right;
            const char* text;
        };
        const Row rows[] = {
            {true, "Right click: opens the build and hire menu; right click again to close it."},
            {false,
             "Left click: chooses a menu entry and places the new building (a red cross marks a "
             "spot where it cannot stand)."},
            {false, "Click a building: its panel tells what it does and whether it works."},
            {false, "Click empty ground: the free-elves panel, to send a worker or a carrier."},
        };
        for (const Row& row : rows) {
            Mouse(canvas, left, y - 3, row.right);
            const int next = Paragraph(canvas, fonts.body, left + 30, y, width - 30, row.text, Body, step);
            y = std::max(next, y + 27);
        }
        y += 4;
        fonts.heading.Draw(canvas, left, y, "The top bar", Gold);
        y += 28;
        canvas.Blit(kit.Picture("topbar"), 0, y, 1, false);
        const char* const sample[4] = {"5000", "12", "3", "0"};
        for (int i = 0; i < 4; ++i) {
            fonts.body.Draw(canvas, CounterX[i], y + CounterY, sample[i], Colour{217, 217, 217});
        }
        y += 38;
        y = Paragraph(
            canvas, fonts.body, left, y, width,
            "Your money, wood, steel and plastic. \"Quit\" opens the quit menu; Escape leaves the game "
            "at once; P pauses it and P again resumes.",
            Body, step);
        y += 6;
        fonts.heading.Draw(canvas, left, y, "Your score", Gold);
        y += 26;
        Paragraph(canvas, fonts.body, left, y, width,
                  "When the time runs out: money + 2 " + Times() + " wood + 3 " + Times() + " steel + 4 " +
                      Times() + " plastic.",
                  Body, step);
        // The keys of every screen, beside the footer.
        fonts.small.Draw(canvas, left, 454, "Alt+Enter: full screen    M: sound on or off    F12: screenshot",
                         Muted);
    } else if (page == 2) {
        HelpBoard(canvas, fonts, "Buildings", 2);
        struct Entry {
            const char* word;
            int columns, rows;
            const char* working;
            const char* name;
            const char* size;
            const char* cost;
            const char* text;
        };
        const Entry entries[] = {
            {"office", 1, 1, "", "Office", "1 x 1", "700",
             "Upkeeps 4 elves: every elf you hire needs room in an office. Takes no workers."},
            {"woodworker", 1, 1, "woodworkerw3.png", "Woodworker", "1 x 1", "1000",
             "1 worker. Makes 3 wood every 2 seconds."},
            {"factory", 2, 1, "factory2w1.png", "Factory", "2 x 1", "2000",
             "2 workers. Every 3 seconds it turns 10 wood into 200, 5 steel into 300 and 3 plastic into 500 "
             "money."},
            {"plastics", 2, 2, "plastics1w1.png", "Plastics works", "2 x 2", "10300",
             "6 workers. Makes 2 plastic every 4 seconds. Must be built over oil."},
            {"foundry", 3, 1, "foundry3w2.png", "Foundry", "3 x 1", "6000",
             "4 workers and carriers. Makes 3 steel every 3 seconds with 1 carrier, every second with 5 or "
             "more."},
            {"mine", 1, 2, "mine1w1.png", "Mine", "1 x 2", "4000",
             "3 workers. Must be built over iron. Carriers take its ore to a foundry."},
        };
        int y = 60;
        for (const Entry& entry : entries) {
            Canvas picture = Building(kit, entry.word, entry.columns, entry.rows, entry.working);
            if (picture.Width() * 2 <= 100 && picture.Height() * 2 <= 64) {
                picture = picture.Scaled(2);
            }
            const int rowHeight = 62;
            const int px = left + (100 - picture.Width()) / 2;
            const int py = y + (rowHeight - picture.Height()) / 2;
            canvas.BlendRect(left - 4, y, 108, rowHeight - 2, Colour{8, 10, 24}, 120);
            canvas.Blit(picture, px, py);
            const int tx = left + 116;
            fonts.heading.Draw(canvas, tx, y + 1, entry.name, Gold);
            std::string size = entry.size;
            size.replace(size.find(" x "), 3, " " + Times() + " ");
            const std::string facts =
                size + (entry.columns * entry.rows == 1 ? " tile" : " tiles") + ", costs " + entry.cost;
            fonts.body.Draw(canvas, tx + fonts.heading.Width(entry.name) + 14, y + 4, facts, Muted);
            Paragraph(canvas, fonts.body, tx, y + 25, width - 116, entry.text, Body, 19);
            y += rowHeight + 2;
        }
    } else {
        HelpBoard(canvas, fonts, "Elves and orders", 3);
        struct Entry {
            const char* picture;
            const char* name;
            const char* cost;
            const char* text;
        };
        const Entry entries[] = {
            {"worker.png", "Worker", "200",
             "Works in one building for good. Click empty ground, choose \"Select free worker\", then click "
             "the building."},
            {"geologist.png", "Geologist", "600",
             "Wanders the map and may find iron or oil, once. Mines and plastics works are built on the "
             "finds."},
            {"carrier.png", "Carrier", "400",
             "Carries ore from a working mine to a foundry with workers: choose \"Select free carrier\", "
             "click "
             "the mine, then the foundry."},
        };
        int y = 64;
        for (const Entry& entry : entries) {
            canvas.BlendRect(left - 4, y, 80, 70, Colour{8, 10, 24}, 120);
            canvas.Blit(kit.Picture(entry.picture), left + 4, y + 3, 2);
            const int tx = left + 92;
            fonts.heading.Draw(canvas, tx, y, entry.name, Gold);
            fonts.body.Draw(canvas, tx + fonts.heading.Width(entry.name) + 14, y + 3,
                            std::string("costs ") + entry.cost, Muted);
            Paragraph(canvas, fonts.body, tx, y + 24, width - 92, entry.text, Body, 19);
            y += 80;
        }
        y += 2;
        fonts.heading.Draw(canvas, left, y, "Room for every elf", Gold);
        y += 26;
        y = Paragraph(canvas, fonts.body, left, y, width,
                      "Elves are hired from the build and hire menu; then click an office with a free place. "
                      "Each office upkeeps 4 elves, so build offices in time.",
                      Body, step);
        y += 8;
        canvas.Blit(kit.Picture("iron.png"), left - 8, y - 6, 2);
        canvas.Blit(kit.Picture("oil.png"), left + 30, y - 10, 2);
        Paragraph(canvas, fonts.body, left + 92, y, width - 92,
                  "Iron and oil show on the map where a geologist found them: a mine must cover iron, a "
                  "plastics works must cover oil.",
                  Body, step);
    }
    return canvas;
}

Canvas HelpBox(const SceneKit& kit) {
    Fonts fonts(kit.fontPath);
    const int w = 470;
    const int top = 36;
    const int h = 290 + top;
    Canvas canvas(w, h, KeyWhite);
    const Colour gift{120, 18, 30};
    // A bow on top of the box: two loops and a knot, with ribbon ends below.
    const Colour shadow{176, 110, 30};
    for (int side = -1; side <= 1; side += 2) {
        const int cx = w / 2 + side * 21;
        canvas.FillEllipse(cx, top - 16, 20, 16, Ink);
        canvas.FillEllipse(cx, top - 16, 17, 13, Amber);
        canvas.FillEllipse(cx + side * 2, top - 15, 9, 7, shadow);
        canvas.FillEllipse(cx + side * 2, top - 15, 6, 4, gift);
    }
    Panel(canvas, 0, top, w, h - top, gift, Amber, Ink);
    canvas.FillRect(w / 2 - 8, top - 24, 16, 22, Ink);
    canvas.FillRect(w / 2 - 6, top - 22, 12, 18, Gold);
    canvas.FillRect(w / 2 - 2, top - 22, 2, 18, Amber);
    // The ribbon crosses the box under the title.
    canvas.FillRect(4, top + 44, w - 8, 3, Amber);
    const std::string title = "Good advice from the North Pole";
    fonts.heading.DrawOutlined(canvas, w / 2 - fonts.heading.Width(title) / 2, top + 14, title, Gold, Ink);
    const char* const tips[] = {
        "Build an office first: no elf can be hired without room.",
        "Woodworkers are cheap, and a factory eats 10 wood a cycle.",
        "Hire a geologist early: mines and plastics works need his finds.",
        "A foundry needs a carrier; every carrier makes it faster.",
        "Wood, steel and plastic left at the end count 2, 3 and 4 each.",
    };
    int y = top + 58;
    for (const char* tip : tips) {
        canvas.FillRect(18, y + 7, 5, 5, Gold);
        y = Paragraph(canvas, fonts.body, 32, y, w - 52, tip, Colour{240, 232, 220}, 20) + 6;
    }
    const std::string bye = "Merry Christmas!  Any key returns to the menu.";
    fonts.body.Draw(canvas, w / 2 - fonts.body.Width(bye) / 2, h - 34, bye, Gold);
    // Nothing inside the box may read as the key colour, not even text edges.
    for (int y2 = top + 4; y2 < h - 4; ++y2) {
        for (int x2 = 4; x2 < w - 4; ++x2) {
            if (canvas.At(x2, y2) == KeyWhite) {
                canvas.Set(x2, y2, Colour{240, 240, 240});
            }
        }
    }
    return canvas;
}

Canvas Scoreboard(const SceneKit& kit) {
    Fonts fonts(kit.fontPath);
    Canvas canvas(ScreenWidth, ScreenHeight);
    NightBackdrop(canvas, 200, 31);
    SnowField(canvas, kit, 288, 32);
    Snowfall(canvas, 33, 300, 0, 470);
    // Left: the season's end, with the elves around a decorated fir.
    const std::string over = "Time is up!";
    fonts.big.DrawOutlined(canvas, 170 - fonts.big.Width(over) / 2, 28, over, Gold, Ink);
    fonts.body.Draw(canvas, 170 - fonts.body.Width("The toys are ready for Christmas.") / 2, 88,
                    "The toys are ready for Christmas.", Body);
    canvas.Blit(kit.Picture("firlights.png"), 106, 150, 4);
    Gift(canvas, 126, 270, 22, 16, Holly, Gold);
    Gift(canvas, 150, 262, 18, 24, Colour{63, 158, 72}, Holly);
    Gift(canvas, 196, 272, 26, 14, Colour{43, 134, 179}, Gold);
    canvas.Blit(kit.Picture("worker.png"), 40, 226, 2);
    canvas.Blit(kit.Picture("geologist.png"), 236, 226, 2);
    // The game writes its own texts on these dark boards.
    Panel(canvas, 26, 304, 292, 112, PanelFill, PanelEdge, Amber);
    Panel(canvas, 320, 34, 308, 350, PanelFill, PanelEdge, Amber);
    fonts.heading.Draw(canvas, 336, 44, "Best toy makers", Gold);
    canvas.FillRect(336, 70, 276, 1, PanelEdge);
    canvas.FillRect(0, 418, ScreenWidth, 62, PanelFill);
    canvas.FillRect(0, 418, ScreenWidth, 1, Amber);
    return canvas;
}

Canvas TopBar(const SceneKit& kit, bool pressed) {
    Fonts fonts(kit.fontPath);
    Canvas canvas(ScreenWidth, TopBarHeight);
    canvas.DitherGradient(0, 0, ScreenWidth, TopBarHeight, Colour{46, 40, 64}, Colour{22, 18, 34});
    canvas.FillRect(0, 0, ScreenWidth, 1, Colour{98, 86, 120});
    canvas.FillRect(0, TopBarHeight - 1, ScreenWidth, 1, Ink);
    // Candy-cane trim along the bottom edge.
    for (int x = 0; x < ScreenWidth; ++x) {
        canvas.Set(x, TopBarHeight - 2, (x / 6) % 2 == 0 ? Holly : Colour{230, 226, 220});
    }
    // Snow lying along the top edge, with a few drips.
    Dice dice(41);
    for (int x = 0; x < ScreenWidth; ++x) {
        const int depth = 1 + (dice.Roll(0, 5) == 0 ? 1 : 0);
        canvas.FillRect(x, 0, 1, depth, SnowShade);
        canvas.Set(x, 0, SnowWhite);
    }
    for (int x = 3; x < ScreenWidth; x += dice.Roll(9, 23)) {
        canvas.FillRect(x, 0, 2, 3, SnowWhite);
        canvas.Set(x, 3, SnowShade);
    }
    // The quit button.
    const ScreenArea b = QuitButtonArea;
    const Colour face = pressed ? Colour{150, 28, 40} : Colour{200, 44, 52};
    const Colour light = pressed ? Colour{110, 20, 30} : Colour{240, 110, 110};
    const Colour dark = pressed ? Colour{240, 110, 110} : Colour{110, 20, 30};
    canvas.FillRect(b.x - 1, b.y - 1, b.w + 2, b.h + 2, Ink);
    canvas.FillRect(b.x, b.y, b.w, b.h, face);
    canvas.FillRect(b.x, b.y, b.w, 1, light);
    canvas.FillRect(b.x, b.y, 1, b.h, light);
    canvas.FillRect(b.x, b.y + b.h - 1, b.w, 1, dark);
    canvas.FillRect(b.x + b.w - 1, b.y, 1, b.h, dark);
    const int shift = pressed ? 1 : 0;
    const std::string label = "Quit";
    const int labelY = b.y + (b.h - fonts.body.LineHeight()) / 2 + 1;
    fonts.body.DrawOutlined(canvas, b.x + b.w / 2 - fonts.body.Width(label) / 2 + shift, labelY + shift,
                            label, Colour{250, 236, 200}, Colour{90, 14, 24});
    // Four counters: an icon left of each number and a dark field for six digits.
    static const char* const icons[4] = {"icon-coin", "icon-wood", "icon-steel", "icon-plastic"};
    for (int i = 0; i < 4; ++i) {
        const int x = CounterX[i];
        canvas.FillRect(x - 4, 5, 64, 22, Colour{14, 12, 24});
        canvas.FillRect(x - 4, 5, 64, 1, Ink);
        canvas.FillRect(x - 4, 26, 64, 1, Colour{70, 62, 92});
        canvas.Blit(kit.Picture(icons[i]), x - 26, 6);
    }
    return canvas;
}

Canvas AppIcon(const SceneKit& kit) {
    Canvas canvas(32, 32);
    canvas.DitherGradient(0, 0, 32, 24, Night, Dusk);
    Stars(canvas, 7, 8, 16);
    canvas.Blit(kit.Picture("snow.png").Cut(0, 0, 32, 10), 0, 22, 1, false);
    canvas.Blit(kit.Picture("worker.png"), 0, 0);
    return canvas;
}

}  // namespace art
