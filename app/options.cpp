#include "app/options.h"

#include "scores/score_protocol.h"

#include <cstring>

namespace {

// Exactly one digit from MinScale to MaxScale; anything else is not a scale.
bool IsScale(const char* word) {
    return word[0] >= '0' + MinScale && word[0] <= '0' + MaxScale && word[1] == '\0';
}

}  // namespace

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
        } else if (std::strcmp(word, "-server") == 0 && i + 1 < argc && argv[i + 1][0] != '-') {
            // No host name begins with a dash: such a word is the next option.
            line.scoreServer = argv[++i];
        } else if (std::strcmp(word, "-scale") == 0 && i + 1 < argc && IsScale(argv[i + 1])) {
            line.scale = argv[++i][0] - '0';
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
