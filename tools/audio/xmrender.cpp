// xmrender <in.xm> <out.wav> [seconds]: plays a module with libxmp, a player
// independent of the game's, writes what it hears as a stereo WAV and prints
// figures to judge it by: length before the loop, peak and loudness overall
// and of every channel on its own.
#include "tools/audio/wave_file.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int Rate = 44100;

struct Rendering {
    std::vector<int16_t> frames;  // interleaved stereo
    int loopTimeMs = -1;
    int totalTimeMs = 0;
};

Rendering Render(const char* path, double seconds, int soloChannel) {
    Rendering result;
    xmp_context context = xmp_create_context();
    if (xmp_load_module(context, path) != 0) {
        xmp_free_context(context);
        return result;
    }
    xmp_start_player(context, Rate, 0);
    if (soloChannel >= 0) {
        for (int channel = 0; channel < XMP_MAX_CHANNELS; ++channel) {
            xmp_channel_mute(context, channel, channel == soloChannel ? 0 : 1);
        }
    }
    xmp_frame_info info;
    const size_t wanted = static_cast<size_t>(seconds * Rate) * 2;
    while (result.frames.size() < wanted && xmp_play_frame(context) == 0) {
        xmp_get_frame_info(context, &info);
        if (info.loop_count > 0 && result.loopTimeMs < 0) {
            result.loopTimeMs = static_cast<int>(result.frames.size() / 2 * 1000 / Rate);
        }
        result.totalTimeMs = info.total_time;
        const int16_t* buffer = static_cast<const int16_t*>(info.buffer);
        result.frames.insert(result.frames.end(), buffer, buffer + info.buffer_size / 2);
    }
    xmp_end_player(context);
    xmp_release_module(context);
    xmp_free_context(context);
    return result;
}

void Figures(const std::vector<int16_t>& frames, double* peak, double* rms) {
    double sum = 0;
    int largest = 0;
    for (int16_t value : frames) {
        largest = std::max(largest, std::abs(static_cast<int>(value)));
        sum += static_cast<double>(value) * value;
    }
    *peak = largest / 32768.0;
    *rms = frames.empty() ? 0 : std::sqrt(sum / frames.size()) / 32768.0;
}

bool WriteStereoWave(const char* path, const std::vector<int16_t>& frames) {
    return audio::WriteWholeFile(path, audio::EncodeWave(frames, Rate, 2));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: xmrender <in.xm> <out.wav> [seconds]\n");
        return 2;
    }
    const double seconds = argc == 4 ? std::atof(argv[3]) : 180.0;
    const Rendering whole = Render(argv[1], seconds, -1);
    if (whole.frames.empty()) {
        std::fprintf(stderr, "%s: libxmp cannot play it\n", argv[1]);
        return 1;
    }
    if (!WriteStereoWave(argv[2], whole.frames)) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    double peak = 0, rms = 0;
    Figures(whole.frames, &peak, &rms);
    std::printf("rendered %.1f s, length before the loop %.1f s (libxmp estimate %.1f s)\n",
                whole.frames.size() / 2.0 / Rate, whole.loopTimeMs / 1000.0, whole.totalTimeMs / 1000.0);
    std::printf("all channels: peak %.3f (%.1f dBFS), RMS %.3f (%.1f dBFS)\n", peak, 20 * std::log10(peak),
                rms, 20 * std::log10(rms));
    xmp_context context = xmp_create_context();
    xmp_module_info info;
    int channels = 0;
    if (xmp_load_module(context, argv[1]) == 0) {
        xmp_get_module_info(context, &info);
        channels = info.mod->chn;
        xmp_release_module(context);
    }
    xmp_free_context(context);
    for (int channel = 0; channel < channels; ++channel) {
        const Rendering solo = Render(argv[1], std::min(seconds, 60.0), channel);
        Figures(solo.frames, &peak, &rms);
        std::printf("channel %d alone: peak %.3f, RMS %.4f (%.1f dBFS)\n", channel + 1, peak, rms,
                    20 * std::log10(std::max(rms, 1e-9)));
    }
    return 0;
}
