#include "tests/content_audio/xmp_player.h"

#include <xmp.h>

#include <algorithm>
#include <cmath>

XmpRendering PlayWithXmp(const std::string& moduleBytes, double seconds) {
    XmpRendering result;
    xmp_context context = xmp_create_context();
    if (xmp_load_module_from_memory(context, moduleBytes.data(), static_cast<long>(moduleBytes.size())) !=
        0) {
        xmp_free_context(context);
        return result;
    }
    result.loaded = true;
    xmp_start_player(context, XmpRate, XMP_FORMAT_MONO);
    const size_t wanted = static_cast<size_t>(seconds * XmpRate);
    xmp_frame_info info;
    while (result.mono.size() < wanted && xmp_play_frame(context) == 0) {
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
    xmp_free_context(context);
    return result;
}

double Rms(const std::vector<float>& signal, size_t begin, size_t end) {
    end = std::min(end, signal.size());
    if (begin >= end) {
        return 0;
    }
    double sum = 0;
    for (size_t i = begin; i < end; ++i) {
        sum += static_cast<double>(signal[i]) * signal[i];
    }
    return std::sqrt(sum / (end - begin));
}

float Peak(const std::vector<float>& signal, size_t begin, size_t end) {
    float peak = 0;
    for (size_t i = begin; i < std::min(end, signal.size()); ++i) {
        peak = std::max(peak, std::fabs(signal[i]));
    }
    return peak;
}

double ToneFrequency(const std::vector<float>& signal, size_t begin, size_t end, double rate) {
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t i = begin + 1; i < std::min(end, signal.size()); ++i) {
        if (signal[i - 1] < 0 && signal[i] >= 0) {
            first = crossings++ == 0 ? i : first;
            last = i;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * rate / static_cast<double>(last - first);
}
