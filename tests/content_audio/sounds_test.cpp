// What the build packed into sounds.rkp: the music and the three effects the
// game loads, as the tools make them.

#include <SDL.h>
#include <gtest/gtest.h>

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

// Every member of the built package, read once.
const std::map<std::string, std::string>& Packed() {
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

int RunTool(const std::string& command) {
    return std::system((command + " 2>/dev/null").c_str());
}

}  // namespace

TEST(SoundsPackage, HoldsTheMusicAndTheEffectsAndTheGamesSoundLayerLoadsThem) {
    // Each member is named where it is read (Packed().at); nothing else is packed.
    EXPECT_EQ(Packed().size(), 4u);
    ASSERT_EQ(SDL_Init(0), 0);
    StartSound(44100, 32);
    for (const auto& member : Packed()) {
        WriteFileBytes(ScratchFile, member.second);
        if (member.first == "christmas.xm") {
            EXPECT_NE(SongHandle(LoadSong(ScratchFile)), nullptr) << SDL_GetError();
        } else {
            EXPECT_NE(SampleHandle(LoadSample(ScratchFile)), nullptr)
                << member.first << ": " << SDL_GetError();
        }
    }
    StopSound();
    SDL_Quit();
}

TEST(Music, PlaysOverAMinuteWithoutAGapThenLoopsBackToTheVerse) {
    const std::string& song = Packed().at("christmas.xm");
    ASSERT_GT(song.size(), 80u);
    const int restart = Word(song, 66);
    EXPECT_GT(restart, 0) << "the introduction is heard once";
    const XmpRendering whole = PlayWithXmp(song, 300);
    ASSERT_TRUE(whole.loaded);
    ASSERT_GE(whole.loopMs, 60000) << "the song loops after " << whole.loopMs << " ms";
    EXPECT_EQ(whole.positionAfterLoop, restart);
    const size_t end = static_cast<size_t>(whole.loopMs) * XmpRate / 1000;
    const double rms = Rms(whole.mono, 0, end);
    EXPECT_GT(rms, 0.05) << "loud enough at the game's low music volume";
    EXPECT_LT(rms, 0.3);
    EXPECT_LT(Peak(whole.mono, 0, whole.mono.size()), 0.9f) << "room to spare before clipping";
    for (size_t second = 0; second + XmpRate <= end; second += XmpRate) {
        EXPECT_GT(Rms(whole.mono, second, second + XmpRate), 0.002)
            << "silent at " << second / XmpRate << " s";
    }

    EXPECT_GE(Word(song, 68), 4) << "melody, harmony, bass and percussion at least";
}

TEST(SoundTools, RemakeWhatTheBuildPackedAndRefuseMistakes) {
    for (const char* leftover : {"made.xm", "made.wav", "broken.xm", "thunder.wav"}) {
        std::remove(leftover);
    }
    ASSERT_EQ(RunTool(std::string(XMCOMPOSE) + " " + SONG_SCORE + " made.xm"), 0);
    EXPECT_TRUE(ReadFileBytes("made.xm") == Packed().at("christmas.xm"));
    for (const char* effect : {"pop", "build", "walk"}) {
        ASSERT_EQ(RunTool(std::string(SFXSYNTH) + " " + effect + " made.wav"), 0);
        EXPECT_TRUE(ReadFileBytes("made.wav") == Packed().at(std::string(effect) + ".wav")) << effect;
    }

    std::string broken = ReadFileBytes(SONG_SCORE);
    broken.replace(broken.find("section verse"), 13, "section verse\nmelody: D5 B5 A5 |");
    WriteFileBytes("broken.score", broken);
    EXPECT_NE(RunTool(std::string(XMCOMPOSE) + " broken.score broken.xm"), 0);
    EXPECT_FALSE(FileExists("broken.xm")) << "nothing written for a score with a mistake";
    EXPECT_NE(RunTool(std::string(SFXSYNTH) + " thunder thunder.wav"), 0);
    EXPECT_FALSE(FileExists("thunder.wav"));
}
