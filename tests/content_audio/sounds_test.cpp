// What the build packed into sounds.rkp (the game's own loading of it is run
// end to end): the music, and the tools' refusals.

#include "engine/package.h"
#include "tests/content_audio/xmp_player.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

TEST(Music, PlaysOverAMinuteWithoutAGapThenLoopsBackToTheVerse) {
    Package(SOUNDS_PACKAGE).Extract("christmas.xm", "christmas.xm");
    const std::string song = ReadFileBytes("christmas.xm");
    ASSERT_GT(song.size(), 80u);
    // The header's restart position (below 256 in any song of ours) and channel count.
    const int restart = static_cast<uint8_t>(song[66]);
    EXPECT_GT(restart, 0) << "the introduction is heard once";
    EXPECT_GE(song[68], 4) << "melody, harmony, bass and percussion at least";
    const XmpRendering whole = PlayWithXmp(song, 300);
    ASSERT_GE(whole.loopMs, 60000) << "the song loops after " << whole.loopMs << " ms";
    EXPECT_EQ(whole.positionAfterLoop, restart);
    const size_t end = static_cast<size_t>(whole.loopMs) * XmpRate / 1000;
    EXPECT_GT(Rms(whole.mono, 0, end), 0.05) << "loud enough at the game's low music volume";
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
