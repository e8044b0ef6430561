#include "tools/audio/score.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A score header with two voices; tests append their sections.
const std::string Header =
    "tempo 120\n"
    "speed 6\n"
    "beat 4\n"
    "bar 4\n"
    "instrument bell glockenspiel volume 32\n"
    "instrument kick kick\n"
    "voice tune bell volume 40\n"
    "voice drums kick\n";

int ErrorLine(const std::string& text) {
    try {
        audio::ParseScore(text);
    } catch (const audio::ScoreError& error) {
        return error.Line();
    }
    return 0;
}

}  // namespace

TEST(Score, MistakesAreReportedWithTheirLine) {
    // Header lines are 1 to 8; one row per check the reader makes.
    const struct {
        std::string text;
        int line;
    } mistakes[] = {
        {"section a\ntune: C4 D4 E4\norder a\n", 10},                 // short bar
        {"section a\ntune: C4:w\ndrums: kick:w | %\norder a\n", 10},  // voices of unequal length
        {"section a\nflute: C4:w\norder a\n", 10},                    // unknown voice
        {"section a\ntune: H4:w\norder a\n", 10},                     // neither pitch nor drum
        {"section a\ntune: C9:w\norder a\n", 10},                     // beyond the module's range
        {"section a\ntune: C4:x C4:h.\norder a\n", 10},               // unknown length
        {"section a\ntune: C4:w@65\norder a\n", 10},                  // volume above 64
        {"section a\ntune: % \norder a\n", 10},                       // nothing to repeat
        {"section a\ntune: =a\norder a\n", 10},                       // copy of itself
        {"tune: C4:w\n", 9},                                          // notes before any section
        {"section a\ntune: C4:w\norder a c\n", 11},                   // unknown section in order
        {"section a\ntune: C4:w\norder a\nrestart b\n", 12},          // restart not in order
        {"section a\ntune: C4:w\nsection b\norder a b\n", 12},        // empty section
        {"section a\ntune: C4:w\ntempo 99\norder a\n", 11},           // header after a section
        {"section a\ntune: C4:w\n", 10},                              // no order at all
        {"section a\ntune: C4:w\norder a\n", 0},                      // the same score, mended
    };
    for (const auto& mistake : mistakes) {
        EXPECT_EQ(ErrorLine(Header + mistake.text), mistake.line) << mistake.text;
    }
    EXPECT_EQ(ErrorLine("instrument bell harp\n"), 1) << "unknown instrument kind";
    EXPECT_EQ(ErrorLine("instrument bell glockenspiel\nvoice v harp\n"), 2)
        << "voice with unknown instrument";
    EXPECT_EQ(ErrorLine("tempo fast\n"), 1);
    // A sixteenth is not a whole number of rows at three rows a beat.
    EXPECT_EQ(
        ErrorLine("beat 3\ninstrument b glockenspiel\nvoice v b\nsection a\nv: C4:s C4:h C4:q\norder a\n"),
        5);
}

TEST(Score, ModuleHasOneChannelPerVoiceAndSplitsLongSections) {
    const audio::Score score = audio::ParseScore(Header +
                                                 "section long\n"
                                                 "tune: C4:w | F#5:w | % | % | Bb3:w | D4:h@12 r:h\n"
                                                 "drums: kick:w | % | % | % | % | kick r r r\n"
                                                 "section short\n"
                                                 "tune: E4:w\n"
                                                 "order short long\n"
                                                 "restart long\n");
    const xm::Module module = audio::BuildModule(score);
    EXPECT_EQ((std::vector<int>{module.channels, module.bpm, module.speed}), (std::vector<int>{2, 120, 6}));
    // Six bars of 16 rows: one pattern of 64 rows and one of 32, then the short one.
    ASSERT_EQ(module.patterns.size(), 3u);
    EXPECT_EQ((std::vector<int>{module.patterns[0].rows, module.patterns[1].rows, module.patterns[2].rows}),
              (std::vector<int>{64, 32, 16}));
    EXPECT_EQ(module.order, (std::vector<uint8_t>{2, 0, 1}));
    EXPECT_EQ(module.restartPosition, 1);
    // Middle C is module note 49, F#5 18 semitones up (repeated by "%"), Bb3
    // two below. A note's volume is the voice's 40 scaled by the instrument's
    // balance of 32 out of 64.
    const std::vector<xm::Cell>& first = module.patterns[0].cells;
    EXPECT_EQ((std::vector<int>{first[0].note, first[0].instrument, first[0].volume}),
              (std::vector<int>{49, 1, 0x10 + 20}));
    EXPECT_EQ((std::vector<int>{first[32].note, first[96].note}), (std::vector<int>{67, 67}));
    // The fifth bar is row 0 of the second pattern, channel 0; the sixth bar's
    // D4 at volume 12 is released after half a bar.
    const std::vector<xm::Cell>& cells = module.patterns[1].cells;
    EXPECT_EQ((std::vector<int>{cells[0].note, cells[32].note, cells[32].volume, cells[48].note}),
              (std::vector<int>{47, 51, 0x10 + 6, xm::KeyOff}));
    // The last bar's rests release the kick on row 20 of that pattern.
    EXPECT_EQ(cells[(16 + 4) * 2 + 1].note, xm::KeyOff);
}
