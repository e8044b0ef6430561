#pragma once

#include "tools/art/canvas.h"

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace art {

// A sprite sheet is a text file of palette-indexed grids, one character per
// logical pixel. Lines:
//   # comment                      (also blank lines; both only between grids)
//   colour C RRGGBB [name]          a palette entry for the character C
//   scale N                         logical pixel size of the grids that follow
//   picture NAME... W H [ground|object [WEIGHT]]
//                                   a W x H grid; several names cut it into
//                                   32 x 32 tiles, row by row from the top left;
//                                   a map tile's weight is how many lines it
//                                   gets in the tile list (default 1)
//   frame NAME of BASE              a grid the size of picture BASE in which
//                                   '-' keeps BASE's pixel: an animation frame
// '.' is always magenta, the colour that shows the ground through.
struct Palette {
    std::map<char, Colour> colours;
};

enum class TileRole { None, Ground, Object };

struct SheetPicture {
    std::string name;
    Canvas image;
    TileRole role = TileRole::None;
    int weight = 1;
};

// What is wrong with a sheet, with its source name and line number.
class SheetError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads "colour" lines only; other lines are refused.
Palette ParsePalette(const std::string& text, const std::string& sourceName);
// The sheet's own "colour" lines extend a copy of the palette for that sheet.
std::vector<SheetPicture> ParseSheet(const std::string& text, const Palette& palette,
                                     const std::string& sourceName);

// Keyed pictures lose every pixel that the display cannot tell from the key
// colour. At 16 bits per pixel the display keeps 5, 6 and 5 bits of red,
// green and blue, so near neighbours of the key vanish as well.
bool LooksLikeKeyAt16Bits(Colour colour, Colour key);

}  // namespace art
