#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "tests/content_audio/xmp_player.h"
#include "tools/audio/effects.h"
#include "tools/audio/synth.h"
#include "tools/audio/wave_file.h"

namespace {

// The largest change from one frame to the next inside the signal.
float LargestStep(const std::vector<float>& signal, size_t begin, size_t end) {
    float step = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        step = std::max(step, std::fabs(signal[i] - signal[i - 1]));
    }
    return step;
}

}  // namespace

TEST(WaveFile, SixteenBitMonoPcmClampedRoundedAndNormalised) {
    // RIFF size 46, a 16-byte PCM mono format chunk at 22050 Hz (44100 bytes a
    // second, 2 a frame, 16 bits), then 10 data bytes, little-endian.
    const std::string expected = std::string("RIFF\x2e\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0", 28) +
                                 std::string("\x44\xac\0\0\x02\0\x10\0data\x0a\0\0\0", 16) +
                                 std::string("\0\0\x01\0\xff\xff\xff\x7f\0\x80", 10);
    EXPECT_EQ(audio::EncodeWave({0, 1, -1, 32767, -32768}, 22050), expected);
    // Conversion clamps, rounds and normalises.
    const std::vector<int16_t> pcm = audio::ToPcm16({0.0f, 1.0f, -1.0f, 1.7f, -3.0f, 0.5f, 0.25f / 32767});
    EXPECT_EQ(pcm, (std::vector<int16_t>{0, 32767, -32767, 32767, -32767, 16384, 0}));

    std::vector<float> signal = {0.1f, -0.4f, 0.2f};
    audio::Normalise(signal, 0.8f);
    EXPECT_FLOAT_EQ(signal[0], 0.2f);
    EXPECT_FLOAT_EQ(signal[1], -0.8f);
    EXPECT_FLOAT_EQ(signal[2], 0.4f);
    std::vector<float> silence(10, 0.0f);
    audio::Normalise(silence, 0.8f);
    EXPECT_EQ(silence, std::vector<float>(10, 0.0f));
}

TEST(Synth, EveryInstrumentIsCleanAndLoopsWithoutASeam) {
    for (const std::string& kind : audio::InstrumentKinds()) {
        SCOPED_TRACE(kind);
        audio::SynthSample sound = audio::MakeInstrumentSound(kind);
        const std::vector<float>& s = sound.signal;
        ASSERT_GT(s.size(), 1000u);
        for (float value : s) {
            ASSERT_TRUE(std::isfinite(value));
        }
        const float peak = Peak(s, 0, s.size());
        EXPECT_GT(peak, 0.1f);
        // A note starts from silence, or it clicks.
        EXPECT_LT(std::fabs(s[0]), 0.01f * peak);
        const float step = LargestStep(s, 0, s.size());
        if (sound.loopLength == 0) {
            EXPECT_LT(std::fabs(s.back()), 0.01f * peak) << "a one-shot dies away to nothing";
        } else {
            ASSERT_LE(sound.loopStart + sound.loopLength, static_cast<int>(s.size()));
            // Going round the loop is no bigger a jump than the wave makes anyway.
            const float seam = std::fabs(s[sound.loopStart] - s[sound.loopStart + sound.loopLength - 1]);
            EXPECT_LE(seam, step * 1.01f);
            EXPECT_LT(std::fabs(s[sound.loopStart] - s[sound.loopStart + sound.loopLength - 1] -
                                (s[sound.loopStart + 1] - s[sound.loopStart])),
                      0.25f * step + 1e-4f)
                << "the slope carries on across the seam";
        }
        EXPECT_EQ(audio::MakeInstrumentSound(kind).signal, s) << "always the same sound";
    }
    EXPECT_THROW(audio::MakeInstrumentSound("harp"), std::invalid_argument);
}

TEST(Effects, EachEffectIsShortNormalisedAndFadesInAndOut) {
    const struct {
        const char* name;
        double shortest, longest;
    } lengths[] = {{"pop", 0.1, 0.6}, {"build", 0.6, 2.5}, {"walk", 0.5, 2.0}};
    ASSERT_EQ(audio::EffectNames().size(), 3u);
    for (const auto& effect : lengths) {
        const std::string name = effect.name;
        SCOPED_TRACE(name);
        const std::vector<float> signal = audio::MakeEffect(name);
        EXPECT_GE(signal.size(), effect.shortest * audio::EffectRate);
        EXPECT_LE(signal.size(), effect.longest * audio::EffectRate);
        EXPECT_NEAR(Peak(signal, 0, signal.size()), audio::EffectPeak, 1e-4);
        EXPECT_LT(std::fabs(signal.front()), 0.01f);
        EXPECT_LT(Peak(signal, signal.size() - audio::EffectRate / 200, signal.size()), 0.01f)
            << "the last 5 ms are silent";
        EXPECT_GT(Rms(signal, 0, signal.size()), 0.02) << "more than a blip";
        EXPECT_EQ(audio::EffectWave(name), audio::EffectWave(name));
    }
    EXPECT_THROW(audio::MakeEffect("explosion"), std::invalid_argument);
}
