#include "tools/audio/wave_file.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace audio {
namespace {

void PutWord(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutDword(std::string& out, uint32_t value) {
    PutWord(out, value & 0xFFFF);
    PutWord(out, value >> 16);
}

}  // namespace

std::string EncodeWave(const std::vector<int16_t>& samples, int sampleRate, int channels) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out;
    out += "RIFF";
    PutDword(out, 36 + dataBytes);
    out += "WAVE";
    out += "fmt ";
    PutDword(out, 16);
    PutWord(out, 1);  // PCM
    PutWord(out, static_cast<uint32_t>(channels));
    PutDword(out, static_cast<uint32_t>(sampleRate));
    PutDword(out, static_cast<uint32_t>(sampleRate * 2 * channels));
    PutWord(out, static_cast<uint32_t>(2 * channels));
    PutWord(out, 16);
    out += "data";
    PutDword(out, dataBytes);
    for (int16_t value : samples) {
        PutWord(out, static_cast<uint16_t>(value));
    }
    return out;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}

void Normalise(std::vector<float>& signal, float peak) {
    float largest = 0.0f;
    for (float value : signal) {
        largest = std::max(largest, std::fabs(value));
    }
    if (largest <= 0.0f) {
        return;
    }
    const float gain = peak / largest;
    for (float& value : signal) {
        value *= gain;
    }
}

std::vector<int16_t> ToPcm16(const std::vector<float>& signal) {
    std::vector<int16_t> samples;
    samples.reserve(signal.size());
    for (float value : signal) {
        const float scaled = std::clamp(value, -1.0f, 1.0f) * 32767.0f;
        samples.push_back(static_cast<int16_t>(std::lround(scaled)));
    }
    return samples;
}

}  // namespace audio
