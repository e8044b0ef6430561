#include "tools/audio/synth.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace audio {
namespace {

constexpr double Pi = 3.14159265358979323846;

int Frames(double rate, double seconds) {
    return static_cast<int>(std::lround(rate * seconds));
}

// Bell with a bright strike and a long, pure fundamental: the tune's voice.
SynthSample Glockenspiel() {
    SynthSample sound;
    sound.rate = 44100;
    sound.contentFrequency = MidiFrequency(84);
    sound.signal.assign(Frames(sound.rate, 1.8), 0.0f);
    const std::vector<Partial> partials = {
        {1.0, 1.0, 0.95},   {2.0, 0.10, 0.45},  {3.0, 0.03, 0.22},
        {2.76, 0.13, 0.30}, {5.40, 0.05, 0.10}, {8.93, 0.02, 0.05},
    };
    AddStrike(sound.signal, sound.rate, 0.0, sound.contentFrequency, partials, 1.0);
    ApplyFades(sound.signal, sound.rate, 0.0, 0.08);
    return sound;
}

// A breathy flute-like tone with vibrato made into the waveform. The carrier
// (441 Hz, 100 frames a cycle) and the vibrato (5.25 Hz) both repeat exactly
// every 8400 frames, so the loop joins without a seam.
SynthSample SoftLead() {
    SynthSample sound;
    sound.rate = 44100;
    sound.contentFrequency = 441.0;
    sound.loopStart = 4200;
    sound.loopLength = 8400;
    const int total = sound.loopStart + sound.loopLength;
    sound.signal.assign(total, 0.0f);
    const double vibratoRate = 5.25;
    const double vibratoDepth = 0.0045 * sound.contentFrequency / vibratoRate;
    Noise breath(0x5EED1);
    Biquad breathFilter = Biquad::BandPass(sound.rate, 2200, 0.8);
    for (int i = 0; i < total; ++i) {
        const double t = i / sound.rate;
        const double phase =
            2 * Pi * sound.contentFrequency * t + vibratoDepth * std::sin(2 * Pi * vibratoRate * t);
        const double attack = std::min(1.0, t / 0.06);
        const double shapedAttack = attack * attack * (3 - 2 * attack);
        double tone = std::sin(phase) + 0.22 * std::sin(2 * phase) + 0.07 * std::sin(3 * phase);
        const float chiff = breathFilter.Process(breath.Next());
        const double breathLevel = t < 0.09 ? 0.25 * (1 - t / 0.09) : 0.0;
        sound.signal[i] = static_cast<float>(0.8 * shapedAttack * tone + breathLevel * shapedAttack * chiff);
    }
    return sound;
}

// A warm chorus of three sines a hertz apart; the slow beating stays in the
// one-second loop because every frequency is a whole number of hertz.
SynthSample Pad() {
    SynthSample sound;
    sound.rate = 44100;
    sound.contentFrequency = 441.0;
    sound.loopStart = 4410;
    sound.loopLength = 44100;
    const int total = sound.loopStart + sound.loopLength;
    sound.signal.assign(total, 0.0f);
    for (int i = 0; i < total; ++i) {
        const double t = i / sound.rate;
        const double ramp = std::min(1.0, t / 0.08);
        const double tone = std::sin(2 * Pi * 440 * t) + std::sin(2 * Pi * 441 * t + 1.0) +
                            std::sin(2 * Pi * 442 * t + 2.0) + 0.35 * std::sin(2 * Pi * 882 * t + 0.5) +
                            0.3 * std::sin(2 * Pi * 884 * t + 1.5) + 0.12 * std::sin(2 * Pi * 1323 * t);
        sound.signal[i] = static_cast<float>(0.3 * ramp * tone);
    }
    return sound;
}

// Plucked string bass: higher harmonics die away faster than the fundamental.
SynthSample PluckBass() {
    SynthSample sound;
    sound.rate = 22050;
    sound.contentFrequency = 110.25;
    sound.signal.assign(Frames(sound.rate, 1.4), 0.0f);
    std::vector<Partial> partials;
    for (int h = 1; h <= 10; ++h) {
        partials.push_back({static_cast<double>(h), 1.0 / std::pow(h, 1.3), 0.9 / (1 + 0.55 * (h - 1))});
    }
    AddStrike(sound.signal, sound.rate, 0.0, sound.contentFrequency, partials, 0.7);
    ApplyFades(sound.signal, sound.rate, 0.0, 0.06);
    return sound;
}

// Soft kick: a sine that falls quickly from 130 Hz to 48 Hz.
SynthSample Kick() {
    SynthSample sound;
    sound.rate = 22050;
    sound.signal.assign(Frames(sound.rate, 0.4), 0.0f);
    double phase = 0;
    for (size_t i = 0; i < sound.signal.size(); ++i) {
        const double t = i / sound.rate;
        const double frequency = 48 + 82 * std::exp(-t / 0.035);
        phase += 2 * Pi * frequency / sound.rate;
        sound.signal[i] = static_cast<float>(std::sin(phase) * std::exp(-t / 0.16));
    }
    ApplyFades(sound.signal, sound.rate, 0.002, 0.03);
    return sound;
}

// Brushed snare: band-passed noise with a little drum body under it.
SynthSample Brush() {
    SynthSample sound;
    sound.rate = 44100;
    sound.signal.assign(Frames(sound.rate, 0.35), 0.0f);
    Noise noise(0xB5D5);
    Biquad band = Biquad::BandPass(sound.rate, 2600, 0.6);
    Biquad soften = Biquad::LowPass(sound.rate, 7000, 0.7);
    for (size_t i = 0; i < sound.signal.size(); ++i) {
        const double t = i / sound.rate;
        const double hiss = soften.Process(band.Process(noise.Next())) * std::exp(-t / 0.085);
        const double body = 0.35 * std::sin(2 * Pi * 185 * t) * std::exp(-t / 0.04);
        sound.signal[i] = static_cast<float>(1.6 * hiss + body);
    }
    ApplyFades(sound.signal, sound.rate, 0.002, 0.04);
    return sound;
}

// One shake of a strap of sleigh bells: several small bells struck a few
// milliseconds apart, over a short metallic rattle.
SynthSample SleighBells() {
    SynthSample sound;
    sound.rate = 44100;
    sound.signal.assign(Frames(sound.rate, 0.32), 0.0f);
    Noise random(0x51E16);
    const std::vector<Partial> bell = {{1.0, 1.0, 0.07}, {1.51, 0.6, 0.05}, {2.27, 0.35, 0.03}};
    for (int strike = 0; strike < 9; ++strike) {
        const double start = random.Between(0.0, 0.045);
        const double frequency = random.Between(2500, 4800);
        AddStrike(sound.signal, sound.rate, start, frequency, bell, random.Between(0.25, 0.5));
    }
    Biquad rattleFilter = Biquad::HighPass(sound.rate, 6000, 0.7);
    for (size_t i = 0; i < sound.signal.size(); ++i) {
        const double t = i / sound.rate;
        const double envelope = std::min(1.0, t / 0.002) * std::exp(-t / 0.035);
        sound.signal[i] += static_cast<float>(0.5 * envelope * rattleFilter.Process(random.Next()));
    }
    ApplyFades(sound.signal, sound.rate, 0.0, 0.03);
    return sound;
}

}  // namespace

float Noise::Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<float>(state / 2147483648.0 - 1.0);
}

double Noise::Between(double low, double high) {
    return low + (Next() + 1.0) * 0.5 * (high - low);
}

Biquad Biquad::LowPass(double rate, double frequency, double q) {
    const double w = 2 * Pi * frequency / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    Biquad filter;
    filter.b0 = (1 - std::cos(w)) / 2 / a0;
    filter.b1 = (1 - std::cos(w)) / a0;
    filter.b2 = filter.b0;
    filter.a1 = -2 * std::cos(w) / a0;
    filter.a2 = (1 - alpha) / a0;
    return filter;
}

Biquad Biquad::HighPass(double rate, double frequency, double q) {
    const double w = 2 * Pi * frequency / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    Biquad filter;
    filter.b0 = (1 + std::cos(w)) / 2 / a0;
    filter.b1 = -(1 + std::cos(w)) / a0;
    filter.b2 = filter.b0;
    filter.a1 = -2 * std::cos(w) / a0;
    filter.a2 = (1 - alpha) / a0;
    return filter;
}

Biquad Biquad::BandPass(double rate, double frequency, double q) {
    const double w = 2 * Pi * frequency / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    Biquad filter;
    filter.b0 = alpha / a0;
    filter.b1 = 0;
    filter.b2 = -alpha / a0;
    filter.a1 = -2 * std::cos(w) / a0;
    filter.a2 = (1 - alpha) / a0;
    return filter;
}

float Biquad::Process(float input) {
    const double output = b0 * input + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = input;
    y2 = y1;
    y1 = output;
    return static_cast<float>(output);
}

void AddStrike(std::vector<float>& signal, double rate, double startSeconds, double frequency,
               const std::vector<Partial>& partials, double gain) {
    const long first = std::lround(startSeconds * rate);
    if (first < 0) {
        return;
    }
    for (size_t i = static_cast<size_t>(first); i < signal.size(); ++i) {
        const double t = (i - first) / rate;
        double value = 0;
        for (const Partial& partial : partials) {
            if (frequency * partial.ratio >= rate / 2) {
                continue;  // would alias
            }
            value += partial.amplitude * std::exp(-t / partial.decaySeconds) *
                     std::sin(2 * Pi * frequency * partial.ratio * t);
        }
        signal[i] += static_cast<float>(gain * std::min(1.0, t / 0.001) * value);
    }
}

void ApplyFades(std::vector<float>& signal, double rate, double fadeInSeconds, double fadeOutSeconds) {
    const size_t fadeIn = std::min(signal.size(), static_cast<size_t>(std::lround(fadeInSeconds * rate)));
    for (size_t i = 0; i < fadeIn; ++i) {
        signal[i] *= static_cast<float>(i) / fadeIn;
    }
    const size_t fadeOut = std::min(signal.size(), static_cast<size_t>(std::lround(fadeOutSeconds * rate)));
    for (size_t i = 0; i < fadeOut; ++i) {
        signal[signal.size() - 1 - i] *= static_cast<float>(i) / fadeOut;
    }
}

double MidiFrequency(double midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

const std::vector<std::string>& InstrumentKinds() {
    static const std::vector<std::string> kinds = {"glockenspiel", "softlead", "pad",        "pluckbass",
                                                   "kick",         "brush",    "sleighbells"};
    return kinds;
}

SynthSample MakeInstrumentSound(const std::string& kind) {
    if (kind == "glockenspiel")
        return Glockenspiel();
    if (kind == "softlead")
        return SoftLead();
    if (kind == "pad")
        return Pad();
    if (kind == "pluckbass")
        return PluckBass();
    if (kind == "kick")
        return Kick();
    if (kind == "brush")
        return Brush();
    if (kind == "sleighbells")
        return SleighBells();
    throw std::invalid_argument("unknown instrument kind \"" + kind + "\"");
}

}  // namespace audio
