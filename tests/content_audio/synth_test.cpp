#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "tests/content_audio/xmp_player.h"
#include "tools/audio/effects.h"
#include "tools/audio/synth.h"
#include "tools/audio/wave_file.h"

namespace {

uint32_t Dword(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
           static_cast<uint8_t>(bytes[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24;
}

int Word(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
}

// The largest change from one frame to the next inside the signal.
float LargestStep(const std::vector<float>& signal, size_t begin, size_t end) {
    float step = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        step = std::max(step, std::fabs(signal[i] - signal[i - 1]));
    }
    return step;
}

}  // namespace

TEST(WaveFile, HeaderDescribesSixteenBitMonoPcm) {
    const std::string bytes = audio::EncodeWave({0, 1, -1, 32767, -32768}, 22050);
    ASSERT_EQ(bytes.size(), 44u + 10u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Dword(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Dword(bytes, 16), 16u);
    EXPECT_EQ(Word(bytes, 20), 1) << "PCM";
    EXPECT_EQ(Word(bytes, 22), 1) << "mono";
    EXPECT_EQ(Dword(bytes, 24), 22050u);
    EXPECT_EQ(Dword(bytes, 28), 44100u) << "bytes a second";
    EXPECT_EQ(Word(bytes, 32), 2);
    EXPECT_EQ(Word(bytes, 34), 16);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(Dword(bytes, 40), 10u);
    EXPECT_EQ(Word(bytes, 46), 1);
    EXPECT_EQ(Word(bytes, 48), 0xFFFF);
    EXPECT_EQ(Word(bytes, 52), 0x8000);
}

TEST(WaveFile, ConversionClampsRoundsAndNormalises) {
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

TEST(Effects, EachEffectIsNormalisedAndFadesInAndOut) {
    for (const std::string& name : audio::EffectNames()) {
        SCOPED_TRACE(name);
        const std::vector<float> signal = audio::MakeEffect(name);
        EXPECT_NEAR(Peak(signal, 0, signal.size()), audio::EffectPeak, 1e-4);
        EXPECT_LT(std::fabs(signal.front()), 0.01f);
        EXPECT_LT(Peak(signal, signal.size() - audio::EffectRate / 200, signal.size()), 0.01f)
            << "the last 5 ms are silent";
        EXPECT_GT(Rms(signal, 0, signal.size()), 0.02) << "more than a blip";
        EXPECT_EQ(audio::EffectWave(name), audio::EffectWave(name));
    }
    EXPECT_THROW(audio::MakeEffect("explosion"), std::invalid_argument);
}
