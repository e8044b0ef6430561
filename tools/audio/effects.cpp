#include "tools/audio/effects.h"

#include "tools/audio/synth.h"
#include "tools/audio/wave_file.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace audio {
namespace {

constexpr double Pi = 3.14159265358979323846;

std::vector<float> Silence(double seconds) {
    return std::vector<float>(static_cast<size_t>(std::lround(seconds * EffectRate)), 0.0f);
}

// A soft bubble that swells upward in pitch, with a small twinkle after it.
std::vector<float> Pop() {
    std::vector<float> signal = Silence(0.4);
    double phase = 0;
    for (size_t i = 0; i < signal.size(); ++i) {
        const double t = static_cast<double>(i) / EffectRate;
        const double frequency = 340 + 880 * (1 - std::exp(-t / 0.022));
        phase += 2 * Pi * frequency / EffectRate;
        const double envelope = std::min(1.0, t / 0.004) * std::exp(-t / 0.055);
        signal[i] = static_cast<float>(envelope * (std::sin(phase) + 0.15 * std::sin(2 * phase)));
    }
    const std::vector<Partial> twinkle = {{1.0, 1.0, 0.10}, {2.76, 0.2, 0.04}};
    AddStrike(signal, EffectRate, 0.055, MidiFrequency(96), twinkle, 0.22);
    AddStrike(signal, EffectRate, 0.105, MidiFrequency(100), twinkle, 0.16);
    ApplyFades(signal, EffectRate, 0.0, 0.03);
    return signal;
}

// One knock of a hammer on timber: a damped low tone and a short woody click.
void AddKnock(std::vector<float>& signal, double startSeconds, double gain, Noise& noise) {
    const size_t first = static_cast<size_t>(std::lround(startSeconds * EffectRate));
    Biquad wood = Biquad::BandPass(EffectRate, 1300, 1.4);
    for (size_t i = first; i < signal.size(); ++i) {
        const double t = static_cast<double>(i - first) / EffectRate;
        if (t > 0.25) {
            break;
        }
        const double attack = std::min(1.0, t / 0.0015);
        const double tone = std::sin(2 * Pi * (205 - 30 * t) * t) * std::exp(-t / 0.035) +
                            0.45 * std::sin(2 * Pi * 517 * t) * std::exp(-t / 0.018);
        const double click = wood.Process(noise.Next()) * std::exp(-t / 0.012);
        signal[i] += static_cast<float>(gain * attack * (tone + 1.8 * click));
    }
}

// Three hammer knocks, then a rising chime: the building stands.
std::vector<float> Build() {
    std::vector<float> signal = Silence(1.7);
    Noise noise(0xB0117);
    AddKnock(signal, 0.00, 0.9, noise);
    AddKnock(signal, 0.19, 0.8, noise);
    AddKnock(signal, 0.38, 1.0, noise);
    const std::vector<Partial> chime = {
        {1.0, 1.0, 0.55}, {2.0, 0.12, 0.25}, {2.76, 0.1, 0.15}, {5.4, 0.04, 0.06}};
    AddStrike(signal, EffectRate, 0.62, MidiFrequency(84), chime, 0.45);
    AddStrike(signal, EffectRate, 0.70, MidiFrequency(88), chime, 0.42);
    AddStrike(signal, EffectRate, 0.78, MidiFrequency(91), chime, 0.40);
    AddStrike(signal, EffectRate, 0.86, MidiFrequency(96), chime, 0.32);
    ApplyFades(signal, EffectRate, 0.0, 0.12);
    return signal;
}

// One step into fresh snow: many tiny grains of muffled noise packed into a
// tenth of a second, the crunch, with a faint jingle of bells on the boot.
void AddStep(std::vector<float>& signal, double startSeconds, double gain, Noise& random) {
    const size_t first = static_cast<size_t>(std::lround(startSeconds * EffectRate));
    const size_t length = static_cast<size_t>(0.16 * EffectRate);
    std::vector<float> grains(length, 0.0f);
    const size_t grainLength = static_cast<size_t>(0.004 * EffectRate);
    for (int grain = 0; grain < 46; ++grain) {
        const double at = random.Between(0.0, 0.10);
        const double weight = random.Between(0.3, 1.0) * std::exp(-at / 0.06);
        const size_t begin = static_cast<size_t>(at * EffectRate);
        for (size_t k = 0; k < grainLength && begin + k < length; ++k) {
            const double window = 0.5 - 0.5 * std::cos(2 * Pi * k / grainLength);
            grains[begin + k] += static_cast<float>(weight * window);
        }
    }
    Biquad crunch = Biquad::BandPass(EffectRate, 1700, 0.7);
    Biquad muffle = Biquad::LowPass(EffectRate, 3500, 0.7);
    for (size_t k = 0; k < length && first + k < signal.size(); ++k) {
        const double t = static_cast<double>(k) / EffectRate;
        const double envelope = std::min(1.0, t / 0.008) * std::exp(-t / 0.07);
        const double hiss = muffle.Process(crunch.Process(random.Next()));
        signal[first + k] += static_cast<float>(gain * envelope * (0.5 + grains[k]) * hiss);
    }
    const std::vector<Partial> bell = {{1.0, 1.0, 0.08}, {1.51, 0.5, 0.05}};
    for (int strike = 0; strike < 3; ++strike) {
        AddStrike(signal, EffectRate, startSeconds + 0.01 + random.Between(0.0, 0.03),
                  random.Between(2800, 4200), bell, 0.05 * gain);
    }
}

// Four quick steps, alternating feet, fading as the elf leaves.
std::vector<float> Walk() {
    std::vector<float> signal = Silence(1.15);
    Noise random(0x5A0A1);
    const double gains[] = {1.0, 0.85, 0.8, 0.62};
    for (int step = 0; step < 4; ++step) {
        AddStep(signal, 0.005 + 0.26 * step, gains[step], random);
    }
    // Noise is all peaks: round them off so the steps are not lost under the
    // loudness of the other effects, which are normalised to the same peak.
    Normalise(signal, 1.0f);
    for (float& value : signal) {
        value = std::tanh(2.0f * value);
    }
    ApplyFades(signal, EffectRate, 0.0, 0.05);
    return signal;
}

}  // namespace

const std::vector<std::string>& EffectNames() {
    static const std::vector<std::string> names = {"pop", "build", "walk"};
    return names;
}

std::vector<float> MakeEffect(const std::string& name) {
    std::vector<float> signal;
    if (name == "pop") {
        signal = Pop();
    } else if (name == "build") {
        signal = Build();
    } else if (name == "walk") {
        signal = Walk();
    } else {
        throw std::invalid_argument("unknown effect \"" + name + "\"");
    }
    Normalise(signal, EffectPeak);
    return signal;
}

std::string EffectWave(const std::string& name) {
    return EncodeWave(ToPcm16(MakeEffect(name)), EffectRate);
}

}  // namespace audio
