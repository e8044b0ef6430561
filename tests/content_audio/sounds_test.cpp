// What the build packed into sounds.rkp: the music and the three effects the
// game loads.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/package.h"
#include "engine/sound.h"
#include "tests/content_audio/xmp_player.h"
#include "tests/support/test_support.h"

namespace {

// Extracts the member to member.bytes (a package removes its scratch file on
// closing) and returns its bytes.
std::string Member(const std::string& name) {
    Package(SOUNDS_PACKAGE).Extract(name, "member.bytes");
    return ReadFileBytes("member.bytes");
}

int Word(const std::string& bytes, size_t at) {
    return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
}

}  // namespace

TEST(SoundsPackage, HoldsTheMusicAndTheEffectsAndTheGamesSoundLayerLoadsThem) {
    EXPECT_EQ(Package(SOUNDS_PACKAGE).Names().size(), 4u) << "nothing else is packed";
    ASSERT_EQ(SDL_Init(0), 0);
    StartSound(44100, 32);
    Member("christmas.xm");
    EXPECT_NE(SongHandle(LoadSong("member.bytes")), nullptr) << SDL_GetError();
    for (const char* effect : {"pop.wav", "build.wav", "walk.wav"}) {
        Member(effect);
        EXPECT_NE(SampleHandle(LoadSample("member.bytes")), nullptr) << effect << ": " << SDL_GetError();
    }
    StopSound();
    SDL_Quit();
}

TEST(Music, PlaysOverAMinuteWithoutAGapThenLoopsBackToTheVerse) {
    const std::string song = Member("christmas.xm");
    ASSERT_GT(song.size(), 80u);
    const int restart = Word(song, 66);
    EXPECT_GT(restart, 0) << "the introduction is heard once";
    EXPECT_GE(Word(song, 68), 4) << "melody, harmony, bass and percussion at least";
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
}

TEST(SoundTools, RefuseMistakesAndWriteNothing) {
    std::remove("broken.xm");
    std::remove("thunder.wav");
    std::string broken = ReadFileBytes(SONG_SCORE);
    broken.replace(broken.find("section verse"), 13, "section verse\nmelody: D5 B5 A5 |");
    WriteFileBytes("broken.score", broken);
    EXPECT_NE(std::system((std::string(XMCOMPOSE) + " broken.score broken.xm 2>/dev/null").c_str()), 0);
    EXPECT_FALSE(FileExists("broken.xm"));
    EXPECT_NE(std::system((std::string(SFXSYNTH) + " thunder thunder.wav 2>/dev/null").c_str()), 0);
    EXPECT_FALSE(FileExists("thunder.wav"));
}
