#pragma once

#include "engine/screen_geometry.h"

#include <SDL.h>

#include <string>

// What the command line asks for. Only the exact option words count; every
// other argument is ignored without a message.
struct CommandLine {
    bool fullscreen = false;
    bool use32Bit = false;
    // Leaves the video driver set-up to the environment.
    bool windib = false;
    // "HOST[:PORT]" of the score server, as typed after "-server".
    std::string scoreServer;
    // How many times as large as the game's screen the window is; 0 when not given.
    int scale = 0;
};

inline constexpr int MinScale = 1;
inline constexpr int MaxScale = 4;

CommandLine ReadCommandLine(int argc, const char* const argv[]);

// Depth and SDL video flags of the game's 640 x 480 screen.
struct VideoModeChoice {
    int bitsPerPixel;
    Uint32 flags;
};

// A full screen is always 24 bits per pixel; "-32bit" only deepens a window.
VideoModeChoice ChooseVideoMode(bool fullscreen, bool use32Bit);
