#include <xmp.h>

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "tests/content_audio/xmp_player.h"
#include "tools/audio/xm_module.h"

namespace {

constexpr double Pi = 3.14159265358979323846;

// Two channels, patterns of 32 rows; A-4 (module note 58) in pattern 0,
// E-5 (65) in pattern 1, order 0 1 1 looping back to position 1. The one
// instrument is a pure sine of 441 Hz made at 22050 Hz: exactly 50 frames a
// cycle, looped over its second half.
xm::Module TwoNoteModule() {
    xm::Module module;
    module.name = "test tune";
    module.channels = 2;
    module.speed = 6;
    module.bpm = 125;
    for (int p = 0; p < 2; ++p) {
        xm::Pattern pattern;
        pattern.rows = 32;
        pattern.cells.assign(32 * 2, xm::Cell{});
        pattern.cells[0] = xm::Cell{static_cast<uint8_t>(p == 0 ? 58 : 65), 1, 0x10 + 48, 0, 0};
        pattern.cells[30 * 2] = xm::Cell{xm::KeyOff, 0, 0, 0, 0};
        module.patterns.push_back(pattern);
    }
    module.order = {0, 1, 1};
    module.restartPosition = 1;
    xm::Instrument sine;
    for (int i = 0; i < 2000; ++i) {
        sine.samples.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(2 * Pi * i / 50.0))));
    }
    sine.loopStart = 1000;
    sine.loopLength = 1000;
    const xm::Tuning tuning = xm::TuningFor(22050, 441);
    sine.relativeNote = tuning.relativeNote;
    sine.fineTune = tuning.fineTune;
    sine.volumeEnvelope.points = {{0, 64}, {4, 48}, {10, 0}};
    sine.volumeEnvelope.sustainPoint = 1;
    sine.fadeOut = 600;
    sine.panning = 96;
    module.instruments.push_back(sine);
    return module;
}

}  // namespace

TEST(XmModule, AnotherPlayerReadsBackWhatWasWritten) {
    const xm::Module module = TwoNoteModule();
    const std::string bytes = xm::Write(module);
    xmp_context context = xmp_create_context();
    ASSERT_EQ(xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())), 0);
    xmp_module_info info;
    xmp_get_module_info(context, &info);
    EXPECT_STREQ(info.mod->name, "test tune");
    ASSERT_EQ(info.mod->smp, 1);
    const xmp_sample& sample = info.mod->xxs[0];
    EXPECT_EQ((std::vector<int>{sample.len, sample.lps, sample.lpe}), (std::vector<int>{2000, 1000, 2000}));
    // The differences written are summed back into the original values.
    const int16_t* data = reinterpret_cast<const int16_t*>(sample.data);
    for (int i : {0, 1, 13, 999, 1999}) {
        EXPECT_EQ(data[i], module.instruments[0].samples[i]) << "frame " << i;
    }
    const xmp_envelope& envelope = info.mod->xxi[0].aei;
    EXPECT_TRUE(envelope.flg & XMP_ENVELOPE_SUS);
    EXPECT_EQ(envelope.sus, 1);
    EXPECT_EQ(std::vector<int>(envelope.data, envelope.data + 6), (std::vector<int>{0, 64, 4, 48, 10, 0}));
    EXPECT_EQ(info.mod->xxi[0].sub[0].pan, 96);
    xmp_release_module(context);
    xmp_free_context(context);
}

TEST(XmModule, NotesSoundAtTheirPitchAndTheSongLoopsToItsRestart) {
    const XmpRendering played = PlayWithXmp(xm::Write(TwoNoteModule()), 20);
    ASSERT_TRUE(played.loaded);
    // 32 rows of 6 ticks at 125 beats a minute (20 ms a tick): 3.84 s a pattern.
    const size_t second = static_cast<size_t>(3.84 * XmpRate);
    EXPECT_NEAR(ToneFrequency(played.mono, 4410, 13230, XmpRate), 440.0, 1.5);
    EXPECT_NEAR(ToneFrequency(played.mono, second + 4410, second + 13230, XmpRate), 659.26, 2.0);
    // Three positions play, then the player goes back to position 1.
    EXPECT_NEAR(played.loopMs, 3 * 3840, 100);
    EXPECT_EQ(played.positionAfterLoop, 1);
    // The release on row 30 fades the note out before the pattern ends.
    const size_t quiet = static_cast<size_t>(3.75 * XmpRate);
    const double sounding = Rms(played.mono, 4410, 13230);
    EXPECT_GT(sounding, 0.02);
    EXPECT_LT(Rms(played.mono, quiet, quiet + 2000), 0.05 * sounding);
}

TEST(XmModule, TuningFollowsTheSampleRateAndPitch) {
    // Middle C made at 8363 Hz needs no correction; twice the rate is an
    // octave up; content a fifth higher is seven down.
    EXPECT_EQ(xm::TuningFor(8363, xm::NoteFrequency(49)).relativeNote, 0);
    EXPECT_EQ(xm::TuningFor(16726, xm::NoteFrequency(49)).relativeNote, 12);
    EXPECT_EQ(xm::TuningFor(8363, xm::NoteFrequency(56)).relativeNote, -7);
    // A quarter tone is split into note and fine tune, never beyond half a semitone.
    const xm::Tuning quarter = xm::TuningFor(8363 * std::pow(2.0, 0.25 / 12), xm::NoteFrequency(49));
    EXPECT_EQ(quarter.relativeNote, 0);
    EXPECT_EQ(quarter.fineTune, 32);
}

TEST(XmModule, ModulesTheFormatCannotHoldAreRefused) {
    auto refused = [](void (*spoil)(xm::Module&)) {
        xm::Module module = TwoNoteModule();
        spoil(module);
        try {
            xm::Write(module);
        } catch (const std::invalid_argument&) {
            return true;
        }
        return false;
    };
    EXPECT_FALSE(refused([](xm::Module&) {}));
    EXPECT_TRUE(refused([](xm::Module& m) { m.order.push_back(2); }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.order.clear(); }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.restartPosition = 3; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.patterns[1].cells.pop_back(); }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.patterns[0].cells[5].note = 98; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.instruments[0].loopLength = 1001; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.instruments[0].volumeEnvelope.sustainPoint = 3; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.instruments[0].volumeEnvelope.points[2].tick = 4; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.instruments[0].volumeEnvelope.points.resize(13, {0, 0}); }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.channels = 0; }));
    EXPECT_TRUE(refused([](xm::Module& m) { m.bpm = 20; }));
}
