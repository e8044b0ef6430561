#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/package.h"
#include "engine/sound.h"
#include "tests/content_audio/xmp_player.h"
#include "tests/support/test_support.h"

namespace {

const std::vector<std::string> Members = {"christmas.xm", "pop.wav", "build.wav", "walk.wav"};

// Every member of the built package, read once.
const std::map<std::string, std::string>& PackedSounds() {
    static const std::map<std::string, std::string> sounds = [] {
        std::map<std::string, std::string> read;
        Package package(SOUNDS_PACKAGE);
        for (const std::string& name : package.Names()) {
            package.Extract(name, "member.tmp");
            read[name] = ReadFileBytes("member.tmp");
        }
        std::remove("member.tmp");
        return read;
    }();
    return sounds;
}

int Word(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
}

uint32_t Dword(const std::string& bytes, size_t at) {
    return static_cast<uint32_t>(Word(bytes, at)) | static_cast<uint32_t>(Word(bytes, at + 2)) << 16;
}

struct Wave {
    int format = 0, channels = 0, rate = 0, bits = 0;
    std::vector<float> samples;
};

// Walks the RIFF chunks rather than trusting fixed offsets.
Wave ReadWave(const std::string& bytes) {
    Wave wave;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0 ||
        Dword(bytes, 4) != bytes.size() - 8) {
        return wave;
    }
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const uint32_t size = Dword(bytes, at + 4);
        if (at + 8 + size > bytes.size()) {
            return Wave{};
        }
        if (id == "fmt " && size >= 16) {
            wave.format = Word(bytes, at + 8);
            wave.channels = Word(bytes, at + 10);
            wave.rate = static_cast<int>(Dword(bytes, at + 12));
            wave.bits = Word(bytes, at + 22);
        } else if (id == "data" && wave.bits == 16) {
            for (size_t i = 0; i + 1 < size; i += 2) {
                wave.samples.push_back(static_cast<int16_t>(Word(bytes, at + 8 + i)) / 32768.0f);
            }
        }
        at += 8 + size + (size & 1);
    }
    return wave;
}

// Share of the windows of the given length in which the signal is audible.
double AudibleShare(const std::vector<float>& signal, size_t begin, size_t end, double windowSeconds) {
    const size_t window = static_cast<size_t>(windowSeconds * XmpRate);
    int windows = 0, audible = 0;
    for (size_t at = begin; at + window <= end; at += window) {
        ++windows;
        audible += Rms(signal, at, at + window) > 0.002 ? 1 : 0;
    }
    return windows == 0 ? 0 : static_cast<double>(audible) / windows;
}

int RunTool(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

}  // namespace

TEST(SoundsPackage, HoldsTheMusicAndTheThreeEffects) {
    Package package(SOUNDS_PACKAGE);
    std::vector<std::string> names = package.Names();
    std::vector<std::string> wanted = Members;
    std::sort(names.begin(), names.end());
    std::sort(wanted.begin(), wanted.end());
    EXPECT_EQ(names, wanted);
    for (const std::string& name : Members) {
        EXPECT_GT(PackedSounds().at(name).size(), 1000u) << name;
    }
}

TEST(SoundsPackage, EverySoundLoadsThroughTheGamesSoundLayer) {
    ASSERT_EQ(SDL_Init(0), 0);
    StartSound(44100, 32);
    {
        Package package(SOUNDS_PACKAGE);
        package.Extract("christmas.xm");
        SongHandle song(LoadSong(ScratchFile));
        ASSERT_NE(song, nullptr) << SDL_GetError();
        SetSongVolume(song.get(), 82);
        PlaySong(song.get());
        std::vector<SampleHandle> samples;
        for (const char* name : {"pop.wav", "build.wav", "walk.wav"}) {
            package.Extract(name);
            samples.emplace_back(LoadSample(ScratchFile));
            EXPECT_NE(samples.back(), nullptr) << name << ": " << SDL_GetError();
            PlaySample(samples.back().get());
        }
        package.Close();
        EXPECT_FALSE(FileExists(ScratchFile));
    }
    StopSound();
    SDL_Quit();
}

TEST(Music, PlaysMoreThanAMinuteBeforeLoopingBackToTheVerse) {
    const std::string& song = PackedSounds().at("christmas.xm");
    ASSERT_GT(song.size(), 80u);
    const int restart = Word(song, 66);
    EXPECT_GT(restart, 0) << "the introduction is heard once";

    const XmpRendering played = PlayWithXmp(song, 300);
    ASSERT_TRUE(played.loaded);
    EXPECT_GE(played.estimatedMs, 60000);
    ASSERT_GE(played.loopMs, 60000) << "the song loops after " << played.loopMs << " ms";
    EXPECT_EQ(played.positionAfterLoop, restart);
    EXPECT_NEAR(played.loopMs, played.estimatedMs, 1000);
}

TEST(Music, IsAudibleThroughoutAndNeverClips) {
    const XmpRendering played = PlayWithXmp(PackedSounds().at("christmas.xm"), 300);
    ASSERT_GT(played.loopMs, 0);
    const size_t end = static_cast<size_t>(played.loopMs) * XmpRate / 1000;
    const double rms = Rms(played.mono, 0, end);
    EXPECT_GT(rms, 0.05) << "loud enough at the game's low music volume";
    EXPECT_LT(rms, 0.3);
    EXPECT_LT(Peak(played.mono, 0, played.mono.size()), 0.9f) << "room to spare before clipping";
    EXPECT_EQ(AudibleShare(played.mono, 0, end, 1.0), 1.0) << "no gap of silence";
}

TEST(Music, EveryChannelPlaysItsPart) {
    const std::string& song = PackedSounds().at("christmas.xm");
    const int channels = Word(song, 68);
    ASSERT_GE(channels, 4) << "melody, harmony, bass and percussion at least";
    const XmpRendering whole = PlayWithXmp(song, 300);
    ASSERT_GT(whole.loopMs, 60000);
    const size_t end = static_cast<size_t>(whole.loopMs) * XmpRate / 1000;
    std::vector<double> loudness;
    for (int channel = 0; channel < channels; ++channel) {
        SCOPED_TRACE("channel " + std::to_string(channel + 1));
        const XmpRendering solo = PlayWithXmp(song, whole.loopMs / 1000.0, channel);
        const double rms = Rms(solo.mono, 0, end);
        EXPECT_GT(rms, 0.004);
        EXPECT_GT(AudibleShare(solo.mono, 0, end, 2.0), 0.8) << "plays through the whole song";
        loudness.push_back(rms);
    }
    // No single voice drowns the others out.
    const double loudest = *std::max_element(loudness.begin(), loudness.end());
    EXPECT_LT(loudest, 0.9 * Rms(whole.mono, 0, end));
}

TEST(Effects, AreShortCleanSixteenBitMonoWaves) {
    struct Expected {
        const char* name;
        double shortest, longest;
    };
    for (const Expected& effect :
         {Expected{"pop.wav", 0.1, 0.6}, Expected{"build.wav", 0.6, 2.5}, Expected{"walk.wav", 0.5, 2.0}}) {
        SCOPED_TRACE(effect.name);
        const Wave wave = ReadWave(PackedSounds().at(effect.name));
        EXPECT_EQ(wave.format, 1) << "PCM";
        EXPECT_EQ(wave.channels, 1);
        EXPECT_EQ(wave.bits, 16);
        EXPECT_GE(wave.rate, 22050);
        EXPECT_LE(wave.rate, 48000);
        ASSERT_FALSE(wave.samples.empty());
        const double seconds = static_cast<double>(wave.samples.size()) / wave.rate;
        EXPECT_GE(seconds, effect.shortest);
        EXPECT_LE(seconds, effect.longest);
        const float peak = Peak(wave.samples, 0, wave.samples.size());
        EXPECT_GT(peak, 0.3f);
        EXPECT_LT(peak, 0.9f) << "not clipped, not harsh";
        EXPECT_GT(Rms(wave.samples, 0, wave.samples.size()), 0.02);
        // Starting and ending at silence: no click at either end.
        EXPECT_LT(std::fabs(wave.samples.front()), 0.01f);
        EXPECT_LT(Peak(wave.samples, wave.samples.size() - wave.rate / 200, wave.samples.size()), 0.01f);
    }
}

TEST(Generation, MakesTheSameBytesEveryTimeAndRefusesABrokenScore) {
    for (const char* leftover : {"first.xm", "second.xm", "again.wav", "broken.xm", "thunder.wav"}) {
        std::remove(leftover);
    }
    const std::string tools = std::string(XMCOMPOSE) + " " + SONG_SCORE + " ";
    ASSERT_EQ(RunTool(tools + "first.xm"), 0);
    ASSERT_EQ(RunTool(tools + "second.xm"), 0);
    EXPECT_TRUE(ReadFileBytes("first.xm") == ReadFileBytes("second.xm"));
    EXPECT_TRUE(ReadFileBytes("first.xm") == PackedSounds().at("christmas.xm"));
    for (const char* effect : {"pop", "build", "walk"}) {
        ASSERT_EQ(RunTool(std::string(SFXSYNTH) + " " + effect + " again.wav"), 0);
        EXPECT_TRUE(ReadFileBytes("again.wav") == PackedSounds().at(std::string(effect) + ".wav")) << effect;
    }

    std::string broken = ReadFileBytes(SONG_SCORE);
    broken.replace(broken.find("section verse"), 13, "section verse\nmelody: D5 B5 A5 |");
    WriteFileBytes("broken.score", broken);
    EXPECT_NE(RunTool(std::string(XMCOMPOSE) + " broken.score broken.xm"), 0);
    EXPECT_FALSE(FileExists("broken.xm")) << "nothing written for a score with a mistake";
    EXPECT_NE(RunTool(std::string(SFXSYNTH) + " thunder thunder.wav"), 0);
    EXPECT_FALSE(FileExists("thunder.wav"));
}
