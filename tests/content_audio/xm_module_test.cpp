#include "tools/audio/xm_module.h"

#include "tests/content_audio/xmp_player.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace {

// Two channels, patterns of 32 rows; A-4 (module note 58) in pattern 0,
// E-5 (65) in pattern 1, each released on row 30; order 0 1 1 looping back to
// position 1. The one instrument is a pure sine of 441 Hz made at 22050 Hz:
// exactly 50 frames a cycle, looped over its second half.
xm::Module TwoNoteModule() {
    xm::Module module;
    module.name = "test tune";
    module.channels = 2;
    for (uint8_t note : {58, 65}) {
        xm::Pattern pattern;
        pattern.rows = 32;
        pattern.cells.assign(32 * 2, xm::Cell{});
        pattern.cells[0] = xm::Cell{note, 1, 0x10 + 48, 0, 0};
        pattern.cells[30 * 2].note = xm::KeyOff;
        module.patterns.push_back(pattern);
    }
    module.order = {0, 1, 1};
    module.restartPosition = 1;
    xm::Instrument sine;
    for (int i = 0; i < 2000; ++i) {
        sine.samples.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(M_PI * i / 25))));
    }
    sine.loopStart = 1000;
    sine.loopLength = 1000;
    const xm::Tuning tuning = xm::TuningFor(22050, 441);
    sine.relativeNote = tuning.relativeNote;
    sine.fineTune = tuning.fineTune;
    sine.volumeEnvelope.points = {{0, 64}, {4, 48}, {10, 0}};
    sine.volumeEnvelope.sustainPoint = 1;
    module.instruments.push_back(sine);
    return module;
}

}  // namespace

TEST(XmModule, NotesSoundAtTheirPitchAndTheSongLoopsToItsRestart) {
    const XmpRendering played = PlayWithXmp(xm::Write(TwoNoteModule()), 20);
    // 32 rows of 6 ticks at 125 beats a minute (20 ms a tick): 3.84 s a pattern.
    const size_t second = static_cast<size_t>(3.84 * XmpRate);
    EXPECT_NEAR(ToneFrequency(played.mono, 4410, 13230), 440.0, 1.5);
    EXPECT_NEAR(ToneFrequency(played.mono, second + 4410, second + 13230), 659.26, 2.0);
    // Three positions play, then the player goes back to position 1.
    EXPECT_NEAR(played.loopMs, 3 * 3840, 100);
    EXPECT_EQ(played.positionAfterLoop, 1);
    // The release on row 30 fades the note out before the pattern ends.
    const size_t quiet = static_cast<size_t>(3.75 * XmpRate);
    const double sounding = Rms(played.mono, 4410, 13230);
    EXPECT_GT(sounding, 0.02);
    EXPECT_LT(Rms(played.mono, quiet, quiet + 2000), 0.05 * sounding);
}

TEST(XmModule, ModulesTheFormatCannotHoldAreRefused) {
    void (*const spoils[])(xm::Module&) = {
        [](xm::Module& m) { m.order.push_back(2); },
        [](xm::Module& m) { m.order.clear(); },
        [](xm::Module& m) { m.restartPosition = 3; },
        [](xm::Module& m) { m.patterns[1].cells.pop_back(); },
        [](xm::Module& m) { m.patterns[0].cells[5].note = 98; },
        [](xm::Module& m) { m.instruments[0].loopLength = 1001; },
        [](xm::Module& m) { m.instruments[0].volumeEnvelope.sustainPoint = 3; },
        [](xm::Module& m) { m.instruments[0].volumeEnvelope.points[2].tick = 4; },
        [](xm::Module& m) {
            m.instruments[0].volumeEnvelope.points.resize(13, {0, 0});
        },
        [](xm::Module& m) { m.channels = 0; },
        [](xm::Module& m) { m.bpm = 20; },
    };
    for (size_t i = 0; i < std::size(spoils); ++i) {
        xm::Module module = TwoNoteModule();
        spoils[i](module);
        EXPECT_THROW(xm::Write(module), std::invalid_argument) << "spoil " << i;
    }
}
