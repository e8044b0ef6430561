#include "app/options.h"

#include "scores/score_protocol.h"

#include <cstring>

CommandLine ReadCommandLine(int argc, const char* const argv[]) {
    CommandLine line;
    line.scoreServer = DefaultScoreServer;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strcmp(word, "-fullscreen") == 0) {
            line.fullscreen = true;
        } else if (std::strcmp(word, "-32bit") == 0) {
            line.use32Bit = true;
        } else if (std::strcmp(word, "-windib") == 0) {
            line.windib = true;
        } else if (std::strcmp(word, "-server") == 0 && i + 1 < argc) {
            // The next argument is the address, whatever it looks like.
            line.scoreServer = argv[++i];
        }
    }
    return line;
}

VideoModeChoice ChooseVideoMode(bool fullscreen, bool use32Bit) {
    if (fullscreen) {
        return {24, SDL_HWSURFACE | SDL_DOUBLEBUF | SDL_FULLSCREEN};
    }
    return {use32Bit ? 32 : 24, SDL_HWSURFACE | SDL_DOUBLEBUF};
}
