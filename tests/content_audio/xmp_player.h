#pragma once

// libxmp as a second, independent player: what a module sounds like to a
// player that is not the game's.

#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

struct XmpRendering {
    std::vector<float> mono;  // full scale is 1.0
    int loopMs = -1;          // when the song first went back to its restart position
    int positionAfterLoop = -1;
};

inline constexpr int XmpRate = 44100;

// Plays the module's bytes at full volume for up to seconds (less if it ends;
// nothing if the player cannot read them).
inline XmpRendering PlayWithXmp(const std::string& moduleBytes, double seconds) {
    XmpRendering result;
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, moduleBytes.data(), static_cast<long>(moduleBytes.size())) ==
        0) {
        xmp_start_player(context, XmpRate, XMP_FORMAT_MONO);
        xmp_frame_info info;
        while (result.mono.size() < seconds * XmpRate && xmp_play_frame(context) == 0) {
            xmp_get_frame_info(context, &info);
            if (info.loop_count > 0 && result.loopMs < 0) {
                result.loopMs = static_cast<int>(result.mono.size() * 1000 / XmpRate);
                result.positionAfterLoop = info.pos;
            }
            const int16_t* buffer = static_cast<const int16_t*>(info.buffer);
            for (int i = 0; i < info.buffer_size / 2; ++i) {
                result.mono.push_back(buffer[i] / 32768.0f);
            }
        }
        xmp_end_player(context);
        xmp_release_module(context);
    }
    xmp_free_context(context);
    return result;
}

inline double Rms(const std::vector<float>& signal, size_t begin, size_t end) {
    double sum = 0;
    for (size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(signal.at(i)) * signal.at(i);
    }
    return std::sqrt(sum / (end - begin));
}

inline float Peak(const std::vector<float>& signal, size_t begin, size_t end) {
    float peak = 0;
    for (size_t i = begin; i < end; ++i) {
        peak = std::max(peak, std::fabs(signal.at(i)));
    }
    return peak;
}

// Frequency of a steady tone from its rising zero crossings.
inline double ToneFrequency(const std::vector<float>& signal, size_t begin, size_t end) {
    std::vector<size_t> crossings;
    for (size_t i = begin + 1; i < end; ++i) {
        if (signal.at(i - 1) < 0 && signal.at(i) >= 0) {
            crossings.push_back(i);
        }
    }
    return (crossings.size() - 1.0) * XmpRate / (crossings.at(crossings.size() - 1) - crossings.at(0));
}
