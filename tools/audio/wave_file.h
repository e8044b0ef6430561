#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// The bytes of a RIFF WAVE file of 16-bit PCM; with several channels the
// samples are interleaved.
std::string EncodeWave(const std::vector<int16_t>& samples, int sampleRate, int channels = 1);

// Writes the bytes as the whole file; false when they could not be written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Scales the signal so its largest magnitude is peak (0..1 of full scale);
// a silent signal is left alone.
void Normalise(std::vector<float>& signal, float peak);

// Full scale is 1.0; values beyond it are clamped, the rest rounded to nearest.
std::vector<int16_t> ToPcm16(const std::vector<float>& signal);

}  // namespace audio
