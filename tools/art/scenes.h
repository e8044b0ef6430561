#pragma once

#include "engine/screen_geometry.h"
#include "tools/art/canvas.h"

#include <map>
#include <string>

namespace art {

// What the screen pictures are drawn from: the sprite pictures (so that the
// screens show the very buildings and elves of the game) and the game's font.
struct SceneKit {
    std::map<std::string, Canvas> pictures;
    std::string fontPath;

    // Throws std::runtime_error naming the missing picture.
    const Canvas& Picture(const std::string& name) const;
};

// The full-screen pictures, 640 x 480 unless noted.
Canvas TitleScreen(const SceneKit& kit);
Canvas MenuScreen(const SceneKit& kit);
// Pages 1 to 3 of the help.
Canvas HelpPage(const SceneKit& kit, int page);
// The last help page's box: pure white wherever page 3 shows through.
Canvas HelpBox(const SceneKit& kit);
Canvas Scoreboard(const SceneKit& kit);
// 640 x 32, the quit button drawn pressed when asked.
Canvas TopBar(const SceneKit& kit, bool pressed);
// 32 x 32: a worker elf on the map's snow under the night sky of the screens.
// Larger icons are its whole multiples, so they keep the game's sharp pixels.
Canvas AppIcon(const SceneKit& kit);

// Where the main menu writes its words; the picture keeps this area calm. The
// top bar's counters and quit button come from the game's screen geometry.
inline constexpr ScreenArea MenuWordsArea{96, 296, 180, 150};

}  // namespace art
