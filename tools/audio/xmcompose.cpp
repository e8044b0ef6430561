// xmcompose <score.txt> <out.xm>: writes the module a score describes.
#include "tools/audio/score.h"
#include "tools/audio/wave_file.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: xmcompose <score.txt> <out.xm>\n";
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::cerr << argv[1] << ": cannot be read\n";
        return 1;
    }
    std::ostringstream text;
    text << input.rdbuf();
    std::string bytes;
    try {
        bytes = xm::Write(audio::BuildModule(audio::ParseScore(text.str())));
    } catch (const audio::ScoreError& error) {
        std::cerr << argv[1] << ":" << error.Line() << ": " << error.what() << "\n";
        return 1;
    } catch (const std::exception& error) {
        std::cerr << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    if (!audio::WriteWholeFile(argv[2], bytes)) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 1;
    }
    return 0;
}
