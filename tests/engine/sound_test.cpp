#include "engine/sound.h"

#include "tests/support/test_support.h"
#include "tools/audio/wave_file.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

// Without a device the output falls back to silence; it can be started again after stopping.
// Before it starts nothing loads, and null handles are harmless throughout.
TEST(Sound, WithoutADeviceSoundsStillLoadSilently) {
    ASSERT_EQ(SDL_Init(0), 0);
    WriteFileBytes("pop.wav", audio::EncodeWave(std::vector<int16_t>(2205), 22050));  // 0.1 s of silence
    EXPECT_EQ(LoadSample("pop.wav"), nullptr);
    EXPECT_EQ(LoadSong("pop.wav"), nullptr);
    PlaySong(nullptr);
    FreeSong(nullptr);
    PlaySample(nullptr);
    FreeSample(nullptr);
    WriteFileBytes("not-music.xm", "certainly not a module");
    WriteFileBytes("not-sound.wav", "RIFF nonsense");
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    for (int round = 0; round < 3; ++round) {
        StartSound(44100, 32);
        EXPECT_TRUE(SoundIsSilent()) << "round " << round;
        SampleHandle sample(LoadSample("pop.wav"));
        ASSERT_NE(sample, nullptr) << SDL_GetError();
        PlaySample(sample.get());
        SongHandle song(LoadSong("pop.wav"));  // the mixer plays a WAV file as music too
        ASSERT_NE(song, nullptr);
        // The song's scale of 0 to 256 maps onto the mixer's 0 to 128; outside values are clamped.
        for (auto [volume, mixer] : {std::pair{300, 128}, {128, 64}, {-5, 0}}) {
            SetSongVolume(song.get(), volume);
            EXPECT_EQ(Mix_VolumeMusic(-1), mixer) << volume;
        }
        SetSongVolume(nullptr, 200);
        EXPECT_EQ(Mix_VolumeMusic(-1), 0) << "no song, no change";
        PlaySong(song.get());
        EXPECT_EQ(LoadSong("not-music.xm"), nullptr);
        EXPECT_EQ(LoadSong("missing.xm"), nullptr);
        EXPECT_EQ(LoadSample("not-sound.wav"), nullptr);
        sample.reset();
        StopSound();
        StopSound();
    }
    SDL_Quit();
}
