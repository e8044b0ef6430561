#include "engine/sound.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A short 16-bit mono PCM WAV file's bytes.
std::string TinyWav() {
    auto le32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto le16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string samples;
    for (int i = 0; i < 2205; ++i) {
        samples += le16(static_cast<uint16_t>((i % 50 < 25) ? 8000 : -8000));
    }
    return "RIFF" + le32(36 + samples.size()) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(1) + le32(22050) +
           le32(44100) + le16(2) + le16(16) + "data" + le32(samples.size()) + samples;
}

}  // namespace

TEST(Sound, NullHandlesAreHarmless) {
    SetSongVolume(nullptr, 82);
    PlaySong(nullptr);
    FreeSong(nullptr);
    PlaySample(nullptr);
    FreeSample(nullptr);
    EXPECT_EQ(LoadSong("anything.xm"), nullptr) << "nothing loads before the output is started";
    EXPECT_EQ(LoadSample("anything.wav"), nullptr);
    StopSound();
}

TEST(Sound, WithoutADeviceTheOutputFallsBackToSilence) {
    ASSERT_EQ(SDL_Init(0), 0);
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    StartSound(44100, 32);
    EXPECT_TRUE(SoundIsSilent());

    WriteFileBytes("pop.wav", TinyWav());
    SampleHandle sample(LoadSample("pop.wav"));
    ASSERT_NE(sample, nullptr) << SDL_GetError();
    std::remove("pop.wav");  // the sample was read completely
    PlaySample(sample.get());

    WriteFileBytes("not-music.xm", "certainly not a module");
    EXPECT_EQ(LoadSong("not-music.xm"), nullptr);
    EXPECT_EQ(LoadSong("missing.xm"), nullptr);
    WriteFileBytes("not-sound.wav", "RIFF nonsense");
    EXPECT_EQ(LoadSample("not-sound.wav"), nullptr);

    sample.reset();
    StopSound();
    StopSound();
    SDL_Quit();
}

TEST(Sound, OutputCanBeStartedAgainAfterStopping) {
    ASSERT_EQ(SDL_Init(0), 0);
    WriteFileBytes("walk.wav", TinyWav());
    for (int round = 0; round < 3; ++round) {
        StartSound(44100, 32);
        SampleHandle sample(LoadSample("walk.wav"));
        EXPECT_NE(sample, nullptr) << "round " << round;
        PlaySample(sample.get());
        sample.reset();
        StopSound();
    }
    SDL_Quit();
}
