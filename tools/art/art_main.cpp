// quorvel-art: turns the sprite sheets into the game's pictures and draws its
// screens and the desktop icons (icon32.png to icon256.png), writing every
// picture as a PNG and the map's tile list.
//
//   quorvel-art --palette PALETTE --font FONT --out DIR SHEET...
//
// The tile list names the map tiles of the sheets in the order given, each as
// many times as its weight says.

#include "tools/art/lettering.h"
#include "tools/art/png_file.h"
#include "tools/art/scenes.h"
#include "tools/art/sprite_sheet.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsWritten(const std::string& name) {
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0;
}

// Keyed pictures (buildings, elves, map objects) must show the ground through
// their corners' magenta, and no visible pixel may be taken for the key.
void CheckKeyed(const art::SheetPicture& picture) {
    if (picture.role == art::TileRole::Ground) {
        for (const art::Colour& pixel : picture.image.Pixels()) {
            if (pixel == art::Magenta) {
                throw std::runtime_error(picture.name + " is ground but has transparent pixels");
            }
        }
        return;
    }
    if (picture.role == art::TileRole::Object && picture.image.At(0, 0) != art::Magenta) {
        throw std::runtime_error(picture.name + " is keyed on its top-left pixel, which must be magenta");
    }
    for (const art::Colour& pixel : picture.image.Pixels()) {
        if (pixel != art::Magenta && art::LooksLikeKeyAt16Bits(pixel, art::Magenta)) {
            throw std::runtime_error(picture.name + " has a colour that turns transparent at 16 bits");
        }
    }
}

std::string TileList(const std::vector<art::SheetPicture>& pictures) {
    std::string list;
    for (const art::SheetPicture& picture : pictures) {
        if (picture.role == art::TileRole::None) {
            continue;
        }
        const bool object = picture.role == art::TileRole::Object;
        for (int i = 0; i < picture.weight; ++i) {
            if (!list.empty()) {
                list += '\n';
            }
            list += picture.name + (object ? "|no|nonbg" : "|yes|opaque");
        }
    }
    return list;
}

int Run(const std::vector<std::string>& args) {
    std::string palettePath;
    std::string fontPath;
    std::string outDir;
    std::vector<std::string> sheets;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "--palette" || args[i] == "--font" || args[i] == "--out") && i + 1 < args.size()) {
            std::string& target =
                args[i] == "--palette" ? palettePath : (args[i] == "--font" ? fontPath : outDir);
            target = args[++i];
        } else {
            sheets.push_back(args[i]);
        }
    }
    if (palettePath.empty() || fontPath.empty() || outDir.empty() || sheets.empty()) {
        std::cerr << "usage: quorvel-art --palette PALETTE --font FONT --out DIR SHEET...\n";
        return 2;
    }

    const art::Palette palette = art::ParsePalette(ReadText(palettePath), palettePath);
    std::vector<art::SheetPicture> pictures;
    std::set<std::string> names;
    for (const std::string& sheet : sheets) {
        for (art::SheetPicture& picture : art::ParseSheet(ReadText(sheet), palette, sheet)) {
            if (!names.insert(picture.name).second) {
                throw std::runtime_error(sheet + ": picture " + picture.name + " is also in another sheet");
            }
            CheckKeyed(picture);
            pictures.push_back(std::move(picture));
        }
    }

    art::SceneKit kit;
    kit.fontPath = fontPath;
    for (const art::SheetPicture& picture : pictures) {
        kit.pictures[picture.name] = picture.image;
        if (IsWritten(picture.name)) {
            art::WritePng(outDir + "/" + picture.name, picture.image);
        }
    }
    {
        std::ofstream list(outDir + "/tiles.dat", std::ios::binary | std::ios::trunc);
        list << TileList(pictures);
        if (!list) {
            throw std::runtime_error("cannot write " + outDir + "/tiles.dat");
        }
    }

    art::LetteringSession lettering;
    kit.pictures["topbar"] = art::TopBar(kit, false);
    art::WritePng(outDir + "/topbar.png", kit.pictures["topbar"]);
    art::WritePng(outDir + "/topbar_down.png", art::TopBar(kit, true));
    art::WritePng(outDir + "/start.png", art::TitleScreen(kit));
    art::WritePng(outDir + "/start_menu.png", art::MenuScreen(kit));
    for (int page = 1; page <= 3; ++page) {
        art::WritePng(outDir + "/help" + std::to_string(page) + ".png", art::HelpPage(kit, page));
    }
    art::WritePng(outDir + "/helpbox.png", art::HelpBox(kit));
    art::WritePng(outDir + "/scoreboard.png", art::Scoreboard(kit));
    const art::Canvas icon = art::AppIcon(kit);
    for (int factor : {1, 2, 4, 8}) {
        art::WritePng(outDir + "/icon" + std::to_string(32 * factor) + ".png", icon.Scaled(factor));
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& failure) {
        std::cerr << "quorvel-art: " << failure.what() << "\n";
        return 1;
    }
}
