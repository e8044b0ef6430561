#include "tools/audio/synth.h"

#include "tests/content_audio/xmp_player.h"
#include "tools/audio/effects.h"
#include "tools/audio/wave_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

TEST(WaveFile, SixteenBitMonoPcmClampedAndRounded) {
    // RIFF size 46, a 16-byte PCM mono format chunk at 22050 Hz (44100 bytes a
    // second, 2 a frame, 16 bits), then 10 data bytes, little-endian.
    const std::string expected = std::string("RIFF\x2e\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0", 28) +
                                 std::string("\x44\xac\0\0\x02\0\x10\0data\x0a\0\0\0", 16) +
                                 std::string("\0\0\x01\0\xff\xff\xff\x7f\0\x80", 10);
    EXPECT_EQ(audio::EncodeWave({0, 1, -1, 32767, -32768}, 22050), expected);
    const std::vector<int16_t> pcm = audio::ToPcm16({0.0f, 1.0f, -1.0f, 1.7f, -3.0f, 0.5f, 0.25f / 32767});
    EXPECT_EQ(pcm, (std::vector<int16_t>{0, 32767, -32767, 32767, -32767, 16384, 0}));
}

TEST(Synth, EveryInstrumentStartsFromSilenceAndLoopsWithoutASeam) {
    for (const std::string& kind : audio::InstrumentKinds()) {
        const audio::SynthSample sound = audio::MakeInstrumentSound(kind);
        const std::vector<float>& s = sound.signal;
        ASSERT_GT(s.size(), 1000u) << kind;
        const float peak = Peak(s, 0, s.size());
        EXPECT_GT(peak, 0.1f) << kind;
        EXPECT_LT(std::fabs(s[0]), 0.01f * peak) << kind << " clicks as it starts";
        // A one-shot dies away; a loop's last frame leads into its first as
        // smoothly as any two neighbours inside it.
        const size_t end =
            sound.loopLength == 0 ? s.size() : static_cast<size_t>(sound.loopStart + sound.loopLength);
        ASSERT_LE(end, s.size()) << kind;
        float step = 0;
        for (size_t i = 1; i < s.size(); ++i) {
            step = std::max(step, std::fabs(s[i] - s[i - 1]));
        }
        const float seam = sound.loopLength == 0 ? s.back() : s[sound.loopStart] - s[end - 1];
        EXPECT_LE(std::fabs(seam), sound.loopLength == 0 ? 0.01f * peak : step * 1.01f) << kind;
    }
    EXPECT_THROW(audio::MakeInstrumentSound("harp"), std::invalid_argument);
}

TEST(Effects, EachEffectIsShortAndNotSilent) {
    for (const std::string& name : audio::EffectNames()) {
        const std::vector<float> signal = audio::MakeEffect(name);
        EXPECT_LE(signal.size(), 2.5 * audio::EffectRate) << name;
        EXPECT_NEAR(Peak(signal, 0, signal.size()), audio::EffectPeak, 1e-4) << name;
        EXPECT_GT(Rms(signal, 0, signal.size()), 0.02) << name;
    }
    EXPECT_THROW(audio::MakeEffect("explosion"), std::invalid_argument);
}
