#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// "row:note" for each event, "row r" for a release.
std::string Events(const std::vector<audio::ScoreEvent>& voice) {
    std::string text;
    for (const audio::ScoreEvent& event : voice) {
        text += std::to_string(event.row) + (event.release ? "r " : ":" + std::to_string(event.note) + " ");
    }
    return text;
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
    // Middle C is module note C-4 (49); F#5 is 18 semitones higher; Bb3 two below C4.
    const auto& tune = section.voices[0];
    EXPECT_EQ(Events(tune), "0:49 4:67 6:47 8:56 14:58 15:58 ");
    EXPECT_EQ(tune[4].volume, 40) << "the voice's volume is the default";
    EXPECT_EQ(tune[5].volume, 12);
    EXPECT_EQ(tune[5].instrument, 0);
    // A drum token names its instrument and plays its sample as it was made.
    EXPECT_EQ(Events(section.voices[1]), "0:49 4:49 8r ");
    EXPECT_EQ(section.voices[1][0].instrument, 1);
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
    // The bar repeated by "%", then one release: a second rest adds nothing.
    const auto& first = score.sections[0].voices[0];
    EXPECT_EQ(Events(first), "0:49 4:51 8:53 12:54 16:49 20:51 24:53 28:54 32r ");
    EXPECT_TRUE(score.sections[0].voices[1].empty()) << "a voice left out is silent";
    EXPECT_EQ(score.sections[1].rows, 64);
    EXPECT_EQ(Events(score.sections[1].voices[0]), Events(first));
    EXPECT_EQ(Events(score.sections[1].voices[1]), "0:49 16:49 32:49 48:49 ");
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
    EXPECT_EQ((std::vector<int>{module.channels, module.bpm, module.speed}), (std::vector<int>{2, 120, 6}));
    ASSERT_EQ(module.instruments.size(), 2u);
    // Six bars of 16 rows: one pattern of 64 rows and one of 32, then the short one.
    ASSERT_EQ(module.patterns.size(), 3u);
    EXPECT_EQ((std::vector<int>{module.patterns[0].rows, module.patterns[1].rows, module.patterns[2].rows}),
              (std::vector<int>{64, 32, 16}));
    EXPECT_EQ(module.order, (std::vector<uint8_t>{2, 0, 1}));
    EXPECT_EQ(module.restartPosition, 1);
    // The fifth bar's D4 is row 0 of the second pattern, channel 0; its volume
    // is the voice's 40 scaled by the instrument's balance 32 of 64.
    const std::vector<xm::Cell>& cells = module.patterns[1].cells;
    EXPECT_EQ((std::vector<int>{cells[0].note, cells[0].instrument, cells[0].volume}),
              (std::vector<int>{49 + 2, 1, 0x10 + 20}));
    // The last bar's rests release the kick on row 20 of that pattern.
    EXPECT_EQ(cells[(16 + 4) * 2 + 1].note, xm::KeyOff);
    EXPECT_EQ(cells[(16 + 8) * 2 + 1].note, 0);
    EXPECT_EQ(cells[16 * 2 + 1].instrument, 2);
}
