#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small deterministic sound synthesis: the instruments of the music and the
// building blocks of the sound effects. Nothing here reads a clock or a
// system random source, so the same build always makes the same bytes.
namespace audio {

// Uniform white noise in [-1, 1) from a fixed seed (xorshift).
class Noise {
  public:
    explicit Noise(uint32_t seed) : state(seed != 0 ? seed : 1) {}
    float Next();
    // Uniform in [low, high).
    double Between(double low, double high);

  private:
    uint32_t state;
};

// Second-order filter (the usual "cookbook" forms).
class Biquad {
  public:
    static Biquad LowPass(double rate, double frequency, double q);
    static Biquad HighPass(double rate, double frequency, double q);
    static Biquad BandPass(double rate, double frequency, double q);
    float Process(float input);

  private:
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

// A sine partial of a struck or plucked sound: frequency as a multiple of the
// fundamental, starting amplitude, and the time in which it falls to 1/e.
struct Partial {
    double ratio;
    double amplitude;
    double decaySeconds;
};

// Adds the partials of one strike of fundamental frequency at startSeconds,
// scaled by gain; the strike ramps in over one millisecond so it never clicks.
void AddStrike(std::vector<float>& signal, double rate, double startSeconds, double frequency,
               const std::vector<Partial>& partials, double gain);

// Linear fade in and out over the given times (either may be zero).
void ApplyFades(std::vector<float>& signal, double rate, double fadeInSeconds, double fadeOutSeconds);

double MidiFrequency(double midiNote);

// A synthesised instrument sample. contentFrequency is the pitch it was made
// at (for unpitched sounds, the pitch of the note that plays it unchanged).
struct SynthSample {
    std::vector<float> signal;
    double rate = 44100;
    double contentFrequency = 261.6255653;
    int loopStart = 0;
    int loopLength = 0;  // 0: one-shot
};

// The instrument kinds the score may name.
const std::vector<std::string>& InstrumentKinds();
// Throws std::invalid_argument for a kind not in InstrumentKinds().
SynthSample MakeInstrumentSound(const std::string& kind);

}  // namespace audio
