#include "tools/art/sprite_sheet.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace art {

namespace {

constexpr char KeepPixel = '-';
constexpr char KeyPixel = '.';
constexpr int TileSize = 32;

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    std::string word;
    while (in >> word) {
        words.push_back(word);
    }
    return words;
}

std::string StripEnd(std::string line) {
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

bool ReadNumber(const std::string& word, int& value) {
    if (word.empty() || word.size() > 6) {
        return false;
    }
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    value = std::atoi(word.c_str());
    return true;
}

class SheetReader {
  public:
    SheetReader(const std::string& text, const std::string& sourceName) : sourceName(sourceName) {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            lines.push_back(StripEnd(line));
        }
    }

    [[noreturn]] void Fail(const std::string& what) const {
        throw SheetError(sourceName + ":" + std::to_string(lineNumber) + ": " + what);
    }

    bool NextLine(std::string& line) {
        if (next >= lines.size()) {
            return false;
        }
        line = lines[next++];
        lineNumber = static_cast<int>(next);
        return true;
    }

    // A colour line: "colour C RRGGBB [name]".
    void ReadColour(const std::vector<std::string>& words, Palette& palette) const {
        if (words.size() < 3 || words[1].size() != 1) {
            Fail("a colour line is: colour C RRGGBB [name]");
        }
        const char symbol = words[1][0];
        if (symbol == KeyPixel || symbol == KeepPixel || symbol == '#') {
            Fail(std::string("the character '") + symbol + "' is reserved");
        }
        const std::string& hex = words[2];
        if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            Fail("colour '" + hex + "' is not six hex digits");
        }
        const unsigned long value = std::strtoul(hex.c_str(), nullptr, 16);
        const Colour colour{static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value)};
        if (LooksLikeKeyAt16Bits(colour, Magenta)) {
            Fail("colour '" + hex + "' would turn transparent like magenta");
        }
        palette.colours[symbol] = colour;
    }

    // Reads h grid lines of w characters; '-' is allowed only with a base.
    Canvas ReadGrid(int w, int h, int scale, const Palette& palette, const Canvas* base) {
        Canvas logical(w, h, Magenta);
        for (int row = 0; row < h; ++row) {
            std::string line;
            if (!NextLine(line)) {
                Fail("the grid ends after " + std::to_string(row) + " of " + std::to_string(h) + " rows");
            }
            if (static_cast<int>(line.size()) != w) {
                Fail("grid row has " + std::to_string(line.size()) + " characters, expected " +
                     std::to_string(w));
            }
            for (int column = 0; column < w; ++column) {
                const char symbol = line[static_cast<std::size_t>(column)];
                if (symbol == KeyPixel) {
                    continue;
                }
                if (symbol == KeepPixel) {
                    if (base == nullptr) {
                        Fail("'-' is only allowed in a frame");
                    }
                    logical.Set(column, row, base->At(column * scale, row * scale));
                    continue;
                }
                auto found = palette.colours.find(symbol);
                if (found == palette.colours.end()) {
                    Fail(std::string("unknown palette character '") + symbol + "'");
                }
                logical.Set(column, row, found->second);
            }
        }
        return logical.Scaled(scale);
    }

    std::vector<SheetPicture> Read(Palette palette) {
        std::vector<SheetPicture> pictures;
        int scale = 2;
        std::string line;
        while (NextLine(line)) {
            const std::vector<std::string> words = Words(line);
            if (words.empty() || words[0][0] == '#') {
                continue;
            }
            if (words[0] == "colour") {
                ReadColour(words, palette);
            } else if (words[0] == "scale") {
                if (words.size() != 2 || !ReadNumber(words[1], scale) || scale < 1 || scale > 16) {
                    Fail("a scale line is: scale N (1 to 16)");
                }
            } else if (words[0] == "picture") {
                ReadPicture(words, scale, palette, pictures);
            } else if (words[0] == "frame") {
                ReadFrame(words, scale, palette, pictures);
            } else {
                Fail("unknown line '" + words[0] + "'");
            }
        }
        return pictures;
    }

  private:
    void ReadPicture(std::vector<std::string> words, int scale, const Palette& palette,
                     std::vector<SheetPicture>& pictures) {
        TileRole role = TileRole::None;
        int weight = 1;
        if (words.size() > 2 &&
            (words[words.size() - 2] == "ground" || words[words.size() - 2] == "object")) {
            if (!ReadNumber(words.back(), weight) || weight < 1 || weight > 20) {
                Fail("a tile's weight is a number from 1 to 20");
            }
            words.pop_back();
        }
        if (!words.empty() && (words.back() == "ground" || words.back() == "object")) {
            role = words.back() == "ground" ? TileRole::Ground : TileRole::Object;
            words.pop_back();
        }
        int w = 0;
        int h = 0;
        if (words.size() < 4 || !ReadNumber(words[words.size() - 2], w) || !ReadNumber(words.back(), h) ||
            w < 1 || h < 1) {
            Fail("a picture line is: picture NAME... W H [ground|object]");
        }
        const std::vector<std::string> names(words.begin() + 1, words.end() - 2);
        for (const std::string& name : names) {
            if (Find(pictures, name) != nullptr) {
                Fail("picture '" + name + "' is named twice");
            }
        }
        const Canvas image = ReadGrid(w, h, scale, palette, nullptr);
        if (names.size() == 1) {
            pictures.push_back({names[0], image, role, weight});
            return;
        }
        if (image.Width() % TileSize != 0 || image.Height() % TileSize != 0) {
            Fail("a picture cut into tiles must measure whole 32-pixel tiles");
        }
        const int columns = image.Width() / TileSize;
        const int rows = image.Height() / TileSize;
        if (static_cast<int>(names.size()) != columns * rows) {
            Fail("the grid holds " + std::to_string(columns * rows) + " tiles but " +
                 std::to_string(names.size()) + " names are given");
        }
        for (int i = 0; i < columns * rows; ++i) {
            const Canvas tile =
                image.Cut((i % columns) * TileSize, (i / columns) * TileSize, TileSize, TileSize);
            pictures.push_back({names[static_cast<std::size_t>(i)], tile, role, weight});
        }
    }

    void ReadFrame(const std::vector<std::string>& words, int scale, const Palette& palette,
                   std::vector<SheetPicture>& pictures) {
        if (words.size() != 4 || words[2] != "of") {
            Fail("a frame line is: frame NAME of BASE");
        }
        if (Find(pictures, words[1]) != nullptr) {
            Fail("picture '" + words[1] + "' is named twice");
        }
        const SheetPicture* base = Find(pictures, words[3]);
        if (base == nullptr) {
            Fail("frame base '" + words[3] + "' is not an earlier picture of this sheet");
        }
        if (base->image.Width() % scale != 0 || base->image.Height() % scale != 0) {
            Fail("the base picture does not divide by the current scale");
        }
        const Canvas baseImage = base->image;
        const TileRole role = base->role;
        const int weight = base->weight;
        Canvas image =
            ReadGrid(baseImage.Width() / scale, baseImage.Height() / scale, scale, palette, &baseImage);
        pictures.push_back({words[1], image, role, weight});
    }

    static const SheetPicture* Find(const std::vector<SheetPicture>& pictures, const std::string& name) {
        for (const SheetPicture& picture : pictures) {
            if (picture.name == name) {
                return &picture;
            }
        }
        return nullptr;
    }

    std::string sourceName;
    std::vector<std::string> lines;
    std::size_t next = 0;
    int lineNumber = 0;
};

}  // namespace

Palette ParsePalette(const std::string& text, const std::string& sourceName) {
    SheetReader reader(text, sourceName);
    Palette palette;
    std::string line;
    while (reader.NextLine(line)) {
        const std::vector<std::string> words = Words(line);
        if (words.empty() || words[0][0] == '#') {
            continue;
        }
        if (words[0] != "colour") {
            reader.Fail("a palette holds only colour lines");
        }
        reader.ReadColour(words, palette);
    }
    return palette;
}

std::vector<SheetPicture> ParseSheet(const std::string& text, const Palette& palette,
                                     const std::string& sourceName) {
    SheetReader reader(text, sourceName);
    return reader.Read(palette);
}

bool LooksLikeKeyAt16Bits(Colour colour, Colour key) {
    return (colour.r >> 3) == (key.r >> 3) && (colour.g >> 2) == (key.g >> 2) &&
           (colour.b >> 3) == (key.b >> 3);
}

}  // namespace art
