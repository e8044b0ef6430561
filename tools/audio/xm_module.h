#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An in-memory FastTracker II extended module (format version 1.04), just the
// parts the music tool writes: one sample per instrument, volume envelopes,
// linear frequency table.
namespace xm {

inline constexpr uint8_t KeyOff = 97;
inline constexpr int MaxEnvelopePoints = 12;

// One cell of a pattern; zero in a field means "nothing there".
struct Cell {
    uint8_t note = 0;        // 1 = C-0 ... 96 = B-7, KeyOff = release
    uint8_t instrument = 0;  // 1-based
    uint8_t volume = 0;      // volume column byte, 0x10 + 0..64 sets the volume
    uint8_t effect = 0;
    uint8_t parameter = 0;
};

struct Pattern {
    int rows = 64;
    std::vector<Cell> cells;  // rows x channels, row-major
};

struct EnvelopePoint {
    uint16_t tick;
    uint16_t value;  // 0..64
};

struct Envelope {
    std::vector<EnvelopePoint> points;  // empty: envelope off
    int sustainPoint = -1;              // index into points, or -1
};

struct Instrument {
    std::string name;
    std::vector<int16_t> samples;
    int loopStart = 0;   // in sample frames
    int loopLength = 0;  // 0: no loop
    int volume = 64;
    int panning = 128;
    int relativeNote = 0;
    int fineTune = 0;  // 1/128 semitone, -128..127
    Envelope volumeEnvelope;
    int fadeOut = 0;
};

struct Module {
    std::string name;
    int channels = 4;
    int speed = 6;  // ticks per row
    int bpm = 125;
    std::vector<uint8_t> order;
    int restartPosition = 0;
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// Relative note and fine tune that make a sample recorded at sampleRate, whose
// pitch is contentFrequency, sound in tune: note C-4 then plays middle C.
struct Tuning {
    int relativeNote;
    int fineTune;
};
Tuning TuningFor(double sampleRate, double contentFrequency);

// Frequency in Hz that a module note (1 = C-0) sounds at when in tune.
double NoteFrequency(int note);

// The file bytes. Throws std::invalid_argument for a module the format cannot
// hold (bad channel count, empty order, a pattern of the wrong size, an order
// entry naming a missing pattern, too many envelope points, ...).
std::string Write(const Module& module);

}  // namespace xm
