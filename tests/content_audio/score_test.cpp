#include <gtest/gtest.h>

#include <string>

#include "tools/audio/score.h"

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

TEST(Score, NotesBecomeEventsOnTheirRows) {
    const audio::Score score = audio::ParseScore(Header +
                                                 "section a\n"
                                                 "tune: C4 F#5:e Bb3:e G4:q. A4:s A4:s@12 # a comment\n"
                                                 "drums: kick*2 r:h\n"
                                                 "order a\n");
    ASSERT_EQ(score.sections.size(), 1u);
    const audio::ScoreSection& section = score.sections[0];
    EXPECT_EQ(section.rows, 16);
    const auto& tune = section.voices[0];
    std::vector<int> notes, rows;
    for (const auto& event : tune) {
        notes.push_back(event.note);
        rows.push_back(event.row);
        EXPECT_EQ(event.instrument, 0);
        EXPECT_FALSE(event.release);
    }
    // Middle C is module note C-4 (49); F#5 is 18 semitones higher; Bb3 two below C4.
    EXPECT_EQ(notes, (std::vector<int>{49, 49 + 18, 49 - 2, 49 + 7, 49 + 9, 49 + 9}));
    EXPECT_EQ(rows, (std::vector<int>{0, 4, 6, 8, 14, 15}));
    EXPECT_EQ(tune[4].volume, 40) << "the voice's volume is the default";
    EXPECT_EQ(tune[5].volume, 12);

    const auto& drums = section.voices[1];
    ASSERT_EQ(drums.size(), 3u);
    EXPECT_EQ(drums[0].row, 0);
    EXPECT_EQ(drums[1].row, 4);
    EXPECT_EQ(drums[0].instrument, 1) << "a drum token names its instrument";
    EXPECT_TRUE(drums[2].release);
    EXPECT_EQ(drums[2].row, 8);
}

TEST(Score, RepeatsCopiesAndOrder) {
    const audio::Score score = audio::ParseScore(Header +
                                                 "section a\n"
                                                 "tune: C4 D4 E4 F4 | %\n"
                                                 "tune: r:w | r:w\n"
                                                 "section b\n"
                                                 "tune: =a\n"
                                                 "drums: kick:w | % | % | %\n"
                                                 "order a b a\n"
                                                 "restart b\n");
    const auto& first = score.sections[0].voices[0];
    // The bar repeated by "%", then one release: a second rest adds nothing.
    ASSERT_EQ(first.size(), 9u);
    EXPECT_EQ(first[4].row, 16);
    EXPECT_EQ(first[7].note, first[3].note);
    EXPECT_EQ(first[7].row, 28);
    EXPECT_TRUE(first[8].release);
    EXPECT_EQ(first[8].row, 32);

    const audio::ScoreSection& second = score.sections[1];
    EXPECT_EQ(second.rows, 64);
    ASSERT_EQ(second.voices[0].size(), first.size());
    EXPECT_EQ(second.voices[0][7].row, 28);
    EXPECT_EQ(second.voices[1].size(), 4u);
    EXPECT_TRUE(score.sections[0].voices[1].empty()) << "a voice left out is silent";

    EXPECT_EQ(score.order, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(score.restart, 1);
}

TEST(Score, MistakesAreReportedWithTheirLine) {
    // Header lines are 1 to 8.
    const struct {
        std::string text;
        int line;
    } mistakes[] = {
        {"section a\ntune: C4 D4 E4\norder a\n", 10},                      // short bar
        {"section a\ntune: C4 D4 E4 F4 G4 | C4:w\norder a\n", 10},         // long bar
        {"section a\ntune: C4:w\ntune: C4:h\ntune: C4:h\norder a\n", 11},  // line ends inside a bar
        {"section a\ntune: C4:w\ndrums: kick:w | %\norder a\n", 10},       // voices of unequal length
        {"section a\nflute: C4:w\norder a\n", 10},                         // unknown voice
        {"section a\ntune: H4:w\norder a\n", 10},                          // not a pitch
        {"section a\ntune: C9:w\norder a\n", 10},                          // beyond the module's range
        {"section a\ntune: snare:w\norder a\n", 10},                       // unknown drum
        {"section a\ntune: C4:x C4:h.\norder a\n", 10},                    // unknown length
        {"section a\ntune: C4:w@65\norder a\n", 10},                       // volume above 64
        {"section a\ntune: % \norder a\n", 10},                            // nothing to repeat
        {"section a\ntune: =a\norder a\n", 10},                            // copy of itself
        {"tune: C4:w\n", 9},                                               // notes before any section
        {"section a\ntune: C4:w\norder a c\n", 11},                        // unknown section in order
        {"section a\ntune: C4:w\norder a\nrestart b\n", 12},               // restart not in order
        {"section a\ntune: C4:w\nsection b\norder a b\n", 12},             // empty section
        {"section a\ntune: C4:w\ntempo 99\norder a\n", 11},                // header after a section
        {"section a\ntune: C4:w\n", 10},                                   // no order at all
        {"section a\ntune: C4:w\norder a\n", 0},                           // the same score, mended
    };
    for (const auto& mistake : mistakes) {
        EXPECT_EQ(ErrorLine(Header + mistake.text), mistake.line) << mistake.text;
    }
    EXPECT_EQ(ErrorLine("instrument bell harp\n"), 1) << "unknown instrument kind";
    EXPECT_EQ(ErrorLine("instrument bell glockenspiel\nvoice v harp\n"), 2)
        << "voice with unknown instrument";
    EXPECT_EQ(ErrorLine("tempo 300\n"), 1);
    EXPECT_EQ(ErrorLine("tempo fast\n"), 1);
    // A sixteenth is not a whole number of rows at three rows a beat.
    EXPECT_EQ(
        ErrorLine("beat 3\ninstrument b glockenspiel\nvoice v b\nsection a\nv: C4:s C4:h C4:q\norder a\n"),
        5);
}

TEST(Score, ModuleHasOneChannelPerVoiceAndSplitsLongSections) {
    const audio::Score score = audio::ParseScore(Header +
                                                 "section long\n"
                                                 "tune: C4:w | D4:w | D4:w | D4:w | D4:w | D4:w\n"
                                                 "drums: kick:w | % | % | % | % | kick r r r\n"
                                                 "section short\n"
                                                 "tune: E4:w\n"
                                                 "order short long\n"
                                                 "restart long\n");
    const xm::Module module = audio::BuildModule(score);
    EXPECT_EQ(module.channels, 2);
    EXPECT_EQ(module.bpm, 120);
    EXPECT_EQ(module.speed, 6);
    ASSERT_EQ(module.instruments.size(), 2u);
    // Six bars of 16 rows: one pattern of 64 rows and one of 32, then the short one.
    ASSERT_EQ(module.patterns.size(), 3u);
    EXPECT_EQ(module.patterns[0].rows, 64);
    EXPECT_EQ(module.patterns[1].rows, 32);
    EXPECT_EQ(module.patterns[2].rows, 16);
    EXPECT_EQ(module.order, (std::vector<uint8_t>{2, 0, 1}));
    EXPECT_EQ(module.restartPosition, 1);

    // The fifth bar's D4 is row 0 of the second pattern, channel 0; its volume
    // is the voice's 40 scaled by the instrument's balance 32 of 64.
    const xm::Cell& d4 = module.patterns[1].cells[0];
    EXPECT_EQ(d4.note, 49 + 2);
    EXPECT_EQ(d4.instrument, 1);
    EXPECT_EQ(d4.volume, 0x10 + 20);
    // The last bar's rests release the kick on row 20 of that pattern.
    EXPECT_EQ(module.patterns[1].cells[(16 + 4) * 2 + 1].note, xm::KeyOff);
    EXPECT_EQ(module.patterns[1].cells[(16 + 8) * 2 + 1].note, 0);
    EXPECT_EQ(module.patterns[1].cells[16 * 2 + 1].instrument, 2);
}
