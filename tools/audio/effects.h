#pragma once

#include <string>
#include <vector>

// The game's three sound effects, made from scratch at EffectRate.
namespace audio {

inline constexpr int EffectRate = 44100;
// Loudest point of every effect, as a share of full scale: effects play at
// full volume over the quieter music, so they need no more than this.
inline constexpr float EffectPeak = 0.5f;

// "pop" (an elf is hired), "build" (a building is bought) or "walk" (an elf
// sets off). Throws std::invalid_argument for another name.
std::vector<float> MakeEffect(const std::string& name);
const std::vector<std::string>& EffectNames();

// The effect as the bytes of a 16-bit mono WAV file.
std::string EffectWave(const std::string& name);

}  // namespace audio
