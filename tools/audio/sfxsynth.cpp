// sfxsynth <pop|build|walk> <out.wav>: writes one of the game's sound effects.
#include "tools/audio/effects.h"
#include "tools/audio/wave_file.h"

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: sfxsynth <pop|build|walk> <out.wav>\n";
        return 2;
    }
    std::string bytes;
    try {
        bytes = audio::EffectWave(argv[1]);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    if (!audio::WriteWholeFile(argv[2], bytes)) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
