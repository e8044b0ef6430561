#pragma once

#include <cstddef>
#include <string>
#include <vector>

// libxmp as a second, independent player: what a module sounds like to a
// player that is not the game's.
struct XmpRendering {
    bool loaded = false;
    std::vector<float> mono;  // full scale is 1.0
    int loopMs = -1;          // when the song first went back to its restart position
    int positionAfterLoop = -1;
};

inline constexpr int XmpRate = 44100;

// Plays the module's bytes at full volume for up to seconds (less if it ends).
XmpRendering PlayWithXmp(const std::string& moduleBytes, double seconds);

double Rms(const std::vector<float>& signal, size_t begin, size_t end);
float Peak(const std::vector<float>& signal, size_t begin, size_t end);
// Frequency of a steady tone from its rising zero crossings.
double ToneFrequency(const std::vector<float>& signal, size_t begin, size_t end, double rate);
