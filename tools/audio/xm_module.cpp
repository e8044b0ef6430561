#include "tools/audio/xm_module.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace xm {
namespace {

void PutByte(std::string& out, int value) {
    out.push_back(static_cast<char>(value & 0xFF));
}

void PutWord(std::string& out, int value) {
    PutByte(out, value);
    PutByte(out, value >> 8);
}

void PutDword(std::string& out, uint32_t value) {
    PutWord(out, static_cast<int>(value & 0xFFFF));
    PutWord(out, static_cast<int>(value >> 16));
}

// Fixed-width text field, padded with zero bytes, cut if too long.
void PutText(std::string& out, const std::string& text, size_t width) {
    std::string field = text.substr(0, width);
    field.resize(width, '\0');
    out += field;
}

void Require(bool condition, const char* what) {
    if (!condition) {
        throw std::invalid_argument(what);
    }
}

// The packed form: a leading byte with the high bit set tells which of the
// five fields follow; an empty cell is a single byte.
void PackCell(std::string& out, const Cell& cell) {
    int mask = 0x80;
    if (cell.note != 0)
        mask |= 0x01;
    if (cell.instrument != 0)
        mask |= 0x02;
    if (cell.volume != 0)
        mask |= 0x04;
    if (cell.effect != 0)
        mask |= 0x08;
    if (cell.parameter != 0)
        mask |= 0x10;
    PutByte(out, mask);
    if (cell.note != 0)
        PutByte(out, cell.note);
    if (cell.instrument != 0)
        PutByte(out, cell.instrument);
    if (cell.volume != 0)
        PutByte(out, cell.volume);
    if (cell.effect != 0)
        PutByte(out, cell.effect);
    if (cell.parameter != 0)
        PutByte(out, cell.parameter);
}

void WritePattern(std::string& out, const Pattern& pattern, int channels) {
    Require(pattern.rows >= 1 && pattern.rows <= 256, "pattern rows out of range");
    Require(pattern.cells.size() == static_cast<size_t>(pattern.rows * channels),
            "pattern cell count does not match rows x channels");
    std::string packed;
    for (const Cell& cell : pattern.cells) {
        Require(cell.note <= KeyOff, "note out of range");
        PackCell(packed, cell);
    }
    Require(packed.size() <= 0xFFFF, "pattern too large");
    PutDword(out, 9);
    PutByte(out, 0);
    PutWord(out, pattern.rows);
    PutWord(out, static_cast<int>(packed.size()));
    out += packed;
}

void WriteInstrument(std::string& out, const Instrument& instrument) {
    const Envelope& envelope = instrument.volumeEnvelope;
    Require(envelope.points.size() <= MaxEnvelopePoints, "too many envelope points");
    Require(envelope.sustainPoint < static_cast<int>(envelope.points.size()), "sustain point out of range");
    Require(instrument.volume >= 0 && instrument.volume <= 64, "sample volume out of range");
    Require(instrument.relativeNote >= -96 && instrument.relativeNote <= 95, "relative note out of range");
    Require(instrument.fineTune >= -128 && instrument.fineTune <= 127, "fine tune out of range");
    const int frames = static_cast<int>(instrument.samples.size());
    Require(instrument.loopLength == 0 || (instrument.loopStart >= 0 && instrument.loopLength > 0 &&
                                           instrument.loopStart + instrument.loopLength <= frames),
            "sample loop outside the sample");
    for (size_t i = 1; i < envelope.points.size(); ++i) {
        Require(envelope.points[i].tick > envelope.points[i - 1].tick, "envelope ticks must rise");
    }

    const int headerSize = 263;
    const size_t start = out.size();
    PutDword(out, headerSize);
    PutText(out, instrument.name, 22);
    PutByte(out, 0);
    PutWord(out, 1);
    PutDword(out, 40);
    out.append(96, '\0');  // every note uses sample 0
    for (int i = 0; i < MaxEnvelopePoints; ++i) {
        EnvelopePoint point =
            i < static_cast<int>(envelope.points.size()) ? envelope.points[i] : EnvelopePoint{0, 0};
        PutWord(out, point.tick);
        PutWord(out, point.value);
    }
    out.append(48, '\0');  // no panning envelope
    PutByte(out, static_cast<int>(envelope.points.size()));
    PutByte(out, 0);
    PutByte(out, std::max(envelope.sustainPoint, 0));
    PutByte(out, 0);
    PutByte(out, 0);
    out.append(3, '\0');
    int volumeType = 0;
    if (!envelope.points.empty())
        volumeType |= 1;
    if (envelope.sustainPoint >= 0)
        volumeType |= 2;
    PutByte(out, volumeType);
    PutByte(out, 0);
    out.append(4, '\0');  // no automatic vibrato
    PutWord(out, instrument.fadeOut);
    out.resize(start + headerSize, '\0');

    const bool looped = instrument.loopLength > 0;
    PutDword(out, static_cast<uint32_t>(frames * 2));
    PutDword(out, looped ? static_cast<uint32_t>(instrument.loopStart * 2) : 0);
    PutDword(out, looped ? static_cast<uint32_t>(instrument.loopLength * 2) : 0);
    PutByte(out, instrument.volume);
    PutByte(out, instrument.fineTune);
    PutByte(out, 0x10 | (looped ? 1 : 0));
    PutByte(out, instrument.panning);
    PutByte(out, instrument.relativeNote);
    PutByte(out, 0);
    PutText(out, instrument.name, 22);

    // Sample data is stored as differences from the previous value.
    int16_t previous = 0;
    for (int16_t value : instrument.samples) {
        PutWord(out, static_cast<uint16_t>(value - previous));
        previous = value;
    }
}

}  // namespace

Tuning TuningFor(double sampleRate, double contentFrequency) {
    // C-4 with relative note 0 plays the sample at 8363 Hz.
    const double semitones = 12.0 * std::log2(sampleRate * NoteFrequency(49) / (contentFrequency * 8363.0));
    const long steps = std::lround(semitones * 128.0);
    long note = steps / 128;
    long fine = steps - note * 128;
    if (fine > 63) {
        fine -= 128;
        ++note;
    } else if (fine < -64) {
        fine += 128;
        --note;
    }
    return Tuning{static_cast<int>(note), static_cast<int>(fine)};
}

double NoteFrequency(int note) {
    return 440.0 * std::pow(2.0, (note + 11 - 69) / 12.0);
}

std::string Write(const Module& module) {
    Require(module.channels >= 1 && module.channels <= 32, "channel count out of range");
    Require(!module.order.empty() && module.order.size() <= 256, "order length out of range");
    Require(module.restartPosition >= 0 && module.restartPosition < static_cast<int>(module.order.size()),
            "restart position outside the order");
    Require(!module.patterns.empty() && module.patterns.size() <= 256, "pattern count out of range");
    Require(module.instruments.size() <= 128, "too many instruments");
    Require(module.speed >= 1 && module.speed <= 31, "speed out of range");
    Require(module.bpm >= 32 && module.bpm <= 255, "tempo out of range");
    for (uint8_t entry : module.order) {
        Require(entry < module.patterns.size(), "order names a missing pattern");
    }

    std::string out;
    out += "Extended Module: ";
    PutText(out, module.name, 20);
    PutByte(out, 0x1A);
    PutText(out, "Quorvel xmcompose", 20);
    PutWord(out, 0x0104);
    PutDword(out, 276);
    PutWord(out, static_cast<int>(module.order.size()));
    PutWord(out, module.restartPosition);
    PutWord(out, module.channels);
    PutWord(out, static_cast<int>(module.patterns.size()));
    PutWord(out, static_cast<int>(module.instruments.size()));
    PutWord(out, 1);  // linear frequency table
    PutWord(out, module.speed);
    PutWord(out, module.bpm);
    std::string order(module.order.begin(), module.order.end());
    order.resize(256, '\0');
    out += order;

    for (const Pattern& pattern : module.patterns) {
        WritePattern(out, pattern, module.channels);
    }
    for (const Instrument& instrument : module.instruments) {
        WriteInstrument(out, instrument);
    }
    return out;
}

}  // namespace xm
