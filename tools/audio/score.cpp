#include "tools/audio/score.h"

#include "tools/audio/synth.h"
#include "tools/audio/wave_file.h"

#include <cctype>
#include <sstream>

namespace audio {
namespace {

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    std::string word;
    while (stream >> word) {
        words.push_back(word);
    }
    return words;
}

int ParseNumber(const std::string& word, int line, int low, int high, const std::string& what) {
    if (word.empty() || word.size() > 6) {
        throw ScoreError(line, what + " must be a number");
    }
    int value = 0;
    for (char c : word) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            throw ScoreError(line, what + " must be a number, not \"" + word + "\"");
        }
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) {
        throw ScoreError(line, what + " must be from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
}

// Reads "volume N" and "pan N" pairs after the fixed words of a declaration.
void ParseOptions(const std::vector<std::string>& words, size_t first, int line, int* volume, int* panning) {
    for (size_t i = first; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) {
            throw ScoreError(line, "\"" + words[i] + "\" needs a value");
        }
        if (words[i] == "volume") {
            *volume = ParseNumber(words[i + 1], line, 0, 64, "volume");
        } else if (words[i] == "pan" && panning != nullptr) {
            *panning = ParseNumber(words[i + 1], line, 0, 255, "pan");
        } else {
            throw ScoreError(line, "unknown option \"" + words[i] + "\"");
        }
    }
}

// The module note of a pitch name such as "C4", "F#5" or "Bb3", or 0.
int PitchNote(const std::string& name) {
    static const int semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') {
        return 0;
    }
    int midi = semitones[name[0] - 'A'];
    size_t at = 1;
    if (name[at] == '#') {
        ++midi;
        ++at;
    } else if (name[at] == 'b') {
        --midi;
        ++at;
    }
    if (at + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[at]))) {
        return 0;
    }
    midi += 12 * (name[at] - '0' + 1);
    const int note = midi - 11;  // C-4, module note 49, is middle C (MIDI 60)
    return note >= 1 && note <= 96 ? note : 0;
}

// A comment starts with a '#' at the start of a line or after a blank; any
// other '#' is a sharp.
size_t CommentStart(const std::string& line) {
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(line[i - 1])))) {
            return i;
        }
    }
    return line.size();
}

struct VoiceState {
    int rows = 0;
    int barStart = 0;
    int lastLine = 0;
};

class Parser {
  public:
    Score Run(const std::string& text);

  private:
    void Directive(const std::vector<std::string>& words, const std::string& rest);
    void VoiceLine(int voice, const std::string& tokens);
    void Token(int voice, const std::string& token);
    void CloseBar(int voice, VoiceState& state);
    void FinishSection();
    int RowsOf(const std::string& length);
    int FindSection(const std::string& name) const;

    Score score;
    int line = 0;
    bool inSection = false;
    std::vector<VoiceState> states;
    std::vector<std::string> orderNames;
    int orderLine = 0;
    std::string restartName;
    int restartLine = 0;
};

int Parser::FindSection(const std::string& name) const {
    for (size_t i = 0; i < score.sections.size(); ++i) {
        if (score.sections[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Score Parser::Run(const std::string& text) {
    std::istringstream stream(text);
    std::string raw;
    while (std::getline(stream, raw)) {
        ++line;
        const std::string content = raw.substr(0, CommentStart(raw));
        const std::vector<std::string> words = SplitWords(content);
        if (words.empty()) {
            continue;
        }
        const size_t colon = words[0].find(':');
        if (colon != std::string::npos && colon + 1 == words[0].size()) {
            const std::string name = words[0].substr(0, colon);
            int voice = -1;
            for (size_t i = 0; i < score.voices.size(); ++i) {
                if (score.voices[i].name == name)
                    voice = static_cast<int>(i);
            }
            if (voice < 0) {
                throw ScoreError(line, "unknown voice \"" + name + "\"");
            }
            if (!inSection) {
                throw ScoreError(line, "notes outside a section");
            }
            VoiceLine(voice, content.substr(content.find(':') + 1));
        } else {
            const size_t after = content.find(words[0]) + words[0].size();
            Directive(words, content.substr(after));
        }
    }
    if (inSection) {
        FinishSection();
    }
    if (score.voices.empty()) {
        throw ScoreError(line, "no voices");
    }
    if (orderNames.empty()) {
        throw ScoreError(line, "no order");
    }
    int patterns = 0;
    for (const std::string& name : orderNames) {
        const int section = FindSection(name);
        if (section < 0) {
            throw ScoreError(orderLine, "order names unknown section \"" + name + "\"");
        }
        score.order.push_back(section);
    }
    for (const ScoreSection& section : score.sections) {
        patterns += (section.rows + RowsPerPattern - 1) / RowsPerPattern;
    }
    if (patterns > 256) {
        throw ScoreError(orderLine, "the sections need more than 256 patterns");
    }
    score.restart = 0;
    if (!restartName.empty()) {
        score.restart = -1;
        for (size_t i = 0; i < orderNames.size() && score.restart < 0; ++i) {
            if (orderNames[i] == restartName)
                score.restart = static_cast<int>(i);
        }
        if (score.restart < 0) {
            throw ScoreError(restartLine, "restart section \"" + restartName + "\" is not in the order");
        }
    }
    return score;
}

void Parser::Directive(const std::vector<std::string>& words, const std::string& rest) {
    const std::string& keyword = words[0];
    const bool inHeader = score.sections.empty() && !inSection;
    auto needs = [&](size_t count) {
        if (words.size() != count) {
            throw ScoreError(line, "\"" + keyword + "\" takes " + std::to_string(count - 1) + " value(s)");
        }
    };
    if (keyword == "section") {
        needs(2);
        if (inSection) {
            FinishSection();
        }
        if (FindSection(words[1]) >= 0) {
            throw ScoreError(line, "section \"" + words[1] + "\" defined twice");
        }
        ScoreSection section;
        section.name = words[1];
        section.voices.resize(score.voices.size());
        score.sections.push_back(section);
        states.assign(score.voices.size(), VoiceState{});
        inSection = true;
        return;
    }
    if (keyword == "order") {
        if (words.size() < 2) {
            throw ScoreError(line, "\"order\" needs at least one section");
        }
        if (inSection) {
            FinishSection();
            inSection = false;
        }
        orderNames.assign(words.begin() + 1, words.end());
        orderLine = line;
        return;
    }
    if (keyword == "restart") {
        needs(2);
        restartName = words[1];
        restartLine = line;
        return;
    }
    if (!inHeader) {
        throw ScoreError(line, "\"" + keyword + "\" must come before the first section");
    }
    if (keyword == "title") {
        const size_t first = rest.find_first_not_of(" \t");
        const size_t last = rest.find_last_not_of(" \t\r");
        score.title = first == std::string::npos ? "" : rest.substr(first, last - first + 1);
    } else if (keyword == "tempo") {
        needs(2);
        score.tempo = ParseNumber(words[1], line, 32, 255, "tempo");
    } else if (keyword == "speed") {
        needs(2);
        score.speed = ParseNumber(words[1], line, 1, 31, "speed");
    } else if (keyword == "beat") {
        needs(2);
        score.rowsPerBeat = ParseNumber(words[1], line, 1, 16, "rows per beat");
    } else if (keyword == "bar") {
        needs(2);
        score.beatsPerBar = ParseNumber(words[1], line, 1, 16, "beats per bar");
    } else if (keyword == "instrument") {
        if (words.size() < 3) {
            throw ScoreError(line, "\"instrument\" needs a name and a kind");
        }
        bool known = false;
        for (const std::string& kind : InstrumentKinds()) {
            known = known || kind == words[2];
        }
        if (!known) {
            throw ScoreError(line, "unknown instrument kind \"" + words[2] + "\"");
        }
        if (!std::islower(static_cast<unsigned char>(words[1][0]))) {
            throw ScoreError(line, "instrument names start with a small letter");
        }
        for (const ScoreInstrument& other : score.instruments) {
            if (other.name == words[1]) {
                throw ScoreError(line, "instrument \"" + words[1] + "\" defined twice");
            }
        }
        ScoreInstrument instrument;
        instrument.name = words[1];
        instrument.kind = words[2];
        ParseOptions(words, 3, line, &instrument.volume, &instrument.panning);
        if (score.instruments.size() >= 128) {
            throw ScoreError(line, "too many instruments");
        }
        score.instruments.push_back(instrument);
    } else if (keyword == "voice") {
        if (words.size() < 3) {
            throw ScoreError(line, "\"voice\" needs a name and an instrument");
        }
        ScoreVoice voice;
        voice.name = words[1];
        voice.instrument = -1;
        for (size_t i = 0; i < score.instruments.size(); ++i) {
            if (score.instruments[i].name == words[2])
                voice.instrument = static_cast<int>(i);
        }
        if (voice.instrument < 0) {
            throw ScoreError(line, "unknown instrument \"" + words[2] + "\"");
        }
        for (const ScoreVoice& other : score.voices) {
            if (other.name == voice.name) {
                throw ScoreError(line, "voice \"" + voice.name + "\" defined twice");
            }
        }
        ParseOptions(words, 3, line, &voice.volume, nullptr);
        if (score.voices.size() >= 32) {
            throw ScoreError(line, "too many voices");
        }
        score.voices.push_back(voice);
    } else {
        throw ScoreError(line, "unknown keyword \"" + keyword + "\"");
    }
    if (score.RowsPerBar() > 256) {
        throw ScoreError(line, "a bar may hold at most 256 rows");
    }
}

int Parser::RowsOf(const std::string& length) {
    if (length.empty()) {
        return score.rowsPerBeat;
    }
    int sixteenths = 0;
    switch (length[0]) {
        case 'w':
            sixteenths = 16;
            break;
        case 'h':
            sixteenths = 8;
            break;
        case 'q':
            sixteenths = 4;
            break;
        case 'e':
            sixteenths = 2;
            break;
        case 's':
            sixteenths = 1;
            break;
        default:
            throw ScoreError(line, "unknown length \"" + length + "\"");
    }
    if (length.size() == 2 && length[1] == '.') {
        if (sixteenths == 1) {
            throw ScoreError(line, "a dotted sixteenth is too short");
        }
        sixteenths += sixteenths / 2;
    } else if (length.size() != 1) {
        throw ScoreError(line, "unknown length \"" + length + "\"");
    }
    if ((sixteenths * score.rowsPerBeat) % 4 != 0) {
        throw ScoreError(line, "length \"" + length + "\" is not a whole number of rows");
    }
    return sixteenths * score.rowsPerBeat / 4;
}

void Parser::CloseBar(int voice, VoiceState& state) {
    const int held = state.rows - state.barStart;
    if (held != score.RowsPerBar()) {
        throw ScoreError(line, "bar of voice \"" + score.voices[voice].name + "\" holds " +
                                   std::to_string(held) + " rows instead of " +
                                   std::to_string(score.RowsPerBar()));
    }
    state.barStart = state.rows;
}

void Parser::VoiceLine(int voice, const std::string& tokens) {
    VoiceState& state = states[voice];
    state.lastLine = line;
    const std::vector<std::string> words = SplitWords(tokens);
    if (words.size() == 1 && words[0][0] == '=') {
        const int source = FindSection(words[0].substr(1));
        if (source < 0 || source + 1 == static_cast<int>(score.sections.size())) {
            throw ScoreError(line, "no earlier section \"" + words[0].substr(1) + "\"");
        }
        if (state.rows != 0) {
            throw ScoreError(line, "\"=\" must be the whole voice");
        }
        ScoreSection& section = score.sections.back();
        section.voices[voice] = score.sections[source].voices[voice];
        state.rows = state.barStart = score.sections[source].rows;
        if (section.voices[voice].empty()) {
            throw ScoreError(line, "voice \"" + score.voices[voice].name + "\" is silent in section \"" +
                                       score.sections[source].name + "\"");
        }
        return;
    }
    for (const std::string& word : words) {
        Token(voice, word);
    }
    if (state.rows != state.barStart) {
        CloseBar(voice, state);
    }
}

void Parser::Token(int voice, const std::string& token) {
    VoiceState& state = states[voice];
    std::vector<ScoreEvent>& events = score.sections.back().voices[voice];
    const int bar = score.RowsPerBar();
    if (token == "|") {
        CloseBar(voice, state);
        return;
    }
    if (token == "%") {
        if (state.rows != state.barStart || state.rows < bar) {
            throw ScoreError(line, "\"%\" needs a full bar before it");
        }
        const int from = state.rows - bar;
        std::vector<ScoreEvent> copies;
        for (const ScoreEvent& event : events) {
            if (event.row >= from) {
                ScoreEvent copy = event;
                copy.row += bar;
                copies.push_back(copy);
            }
        }
        events.insert(events.end(), copies.begin(), copies.end());
        state.rows += bar;
        return;
    }

    const size_t nameEnd = token.find_first_of(":@*");
    const std::string name = token.substr(0, nameEnd);
    std::string length;
    int volume = score.voices[voice].volume;
    int repeats = 1;
    size_t at = nameEnd;
    while (at != std::string::npos) {
        const size_t next = token.find_first_of(":@*", at + 1);
        const std::string part = token.substr(at + 1, next == std::string::npos ? next : next - at - 1);
        if (token[at] == ':') {
            length = part;
        } else if (token[at] == '@') {
            volume = ParseNumber(part, line, 0, 64, "volume");
        } else {
            repeats = ParseNumber(part, line, 1, 64, "repeat count");
        }
        at = next;
    }
    const int rows = RowsOf(length);

    ScoreEvent event;
    event.volume = volume;
    event.instrument = score.voices[voice].instrument;
    if (name == "r") {
        event.release = true;
    } else if (std::isupper(static_cast<unsigned char>(name.empty() ? ' ' : name[0]))) {
        event.note = PitchNote(name);
        if (event.note == 0) {
            throw ScoreError(line, "\"" + name + "\" is not a pitch from C0 to B7");
        }
    } else {
        event.instrument = -1;
        for (size_t i = 0; i < score.instruments.size(); ++i) {
            if (score.instruments[i].name == name)
                event.instrument = static_cast<int>(i);
        }
        if (event.instrument < 0) {
            throw ScoreError(line, "\"" + name + "\" is neither a pitch nor an instrument");
        }
        event.note = 49;  // plays the sample as it was made
    }
    for (int i = 0; i < repeats; ++i) {
        event.row = state.rows;
        const bool alreadyQuiet = event.release && !events.empty() && events.back().release;
        if (!alreadyQuiet) {
            events.push_back(event);
        }
        state.rows += rows;
    }
}

void Parser::FinishSection() {
    ScoreSection& section = score.sections.back();
    int longest = 0;
    int longestVoice = -1;
    for (size_t v = 0; v < states.size(); ++v) {
        if (states[v].rows > longest) {
            longest = states[v].rows;
            longestVoice = static_cast<int>(v);
        }
    }
    if (longest == 0) {
        throw ScoreError(line, "section \"" + section.name + "\" has no notes");
    }
    for (size_t v = 0; v < states.size(); ++v) {
        if (states[v].rows != 0 && states[v].rows != longest) {
            throw ScoreError(states[v].lastLine, "voice \"" + score.voices[v].name + "\" has " +
                                                     std::to_string(states[v].rows / score.RowsPerBar()) +
                                                     " bars, voice \"" + score.voices[longestVoice].name +
                                                     "\" " + std::to_string(longest / score.RowsPerBar()));
        }
    }
    section.rows = longest;
    inSection = false;
}

xm::Envelope Points(std::vector<xm::EnvelopePoint> points, int sustain) {
    xm::Envelope envelope;
    envelope.points = std::move(points);
    envelope.sustainPoint = sustain;
    return envelope;
}

// How each kind of instrument swells and dies away, in ticks. Every
// instrument has an envelope, because without one a release cuts the sound
// off at once, which clicks.
void ShapeInstrument(const std::string& kind, xm::Instrument& instrument) {
    if (kind == "softlead") {
        instrument.volumeEnvelope = Points({{0, 64}, {6, 54}, {14, 0}}, 1);
        instrument.fadeOut = 1024;
    } else if (kind == "pad") {
        instrument.volumeEnvelope = Points({{0, 0}, {18, 64}, {48, 0}}, 1);
        instrument.fadeOut = 512;
    } else if (kind == "glockenspiel") {
        instrument.volumeEnvelope = Points({{0, 64}, {1, 64}}, -1);
        instrument.fadeOut = 1100;
    } else if (kind == "pluckbass") {
        instrument.volumeEnvelope = Points({{0, 64}, {1, 64}}, -1);
        instrument.fadeOut = 2048;
    } else {
        instrument.volumeEnvelope = Points({{0, 64}, {1, 64}}, -1);
        instrument.fadeOut = 4096;
    }
}

}  // namespace

ScoreError::ScoreError(int line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line) {}

Score ParseScore(const std::string& text) {
    return Parser().Run(text);
}

xm::Module BuildModule(const Score& score) {
    xm::Module module;
    module.name = score.title;
    module.channels = static_cast<int>(score.voices.size());
    module.speed = score.speed;
    module.bpm = score.tempo;

    for (const ScoreInstrument& source : score.instruments) {
        SynthSample sound = MakeInstrumentSound(source.kind);
        Normalise(sound.signal, 0.97f);
        xm::Instrument instrument;
        instrument.name = source.name;
        instrument.samples = ToPcm16(sound.signal);
        instrument.loopStart = sound.loopStart;
        instrument.loopLength = sound.loopLength;
        instrument.panning = source.panning;
        const xm::Tuning tuning = xm::TuningFor(sound.rate, sound.contentFrequency);
        instrument.relativeNote = tuning.relativeNote;
        instrument.fineTune = tuning.fineTune;
        ShapeInstrument(source.kind, instrument);
        module.instruments.push_back(instrument);
    }

    std::vector<int> firstPattern;
    for (const ScoreSection& section : score.sections) {
        firstPattern.push_back(static_cast<int>(module.patterns.size()));
        for (int start = 0; start < section.rows; start += RowsPerPattern) {
            xm::Pattern pattern;
            pattern.rows = std::min(RowsPerPattern, section.rows - start);
            pattern.cells.assign(pattern.rows * module.channels, xm::Cell{});
            for (int voice = 0; voice < module.channels; ++voice) {
                for (const ScoreEvent& event : section.voices[voice]) {
                    if (event.row < start || event.row >= start + pattern.rows) {
                        continue;
                    }
                    xm::Cell& cell = pattern.cells[(event.row - start) * module.channels + voice];
                    if (event.release) {
                        cell.note = xm::KeyOff;
                    } else {
                        cell.note = static_cast<uint8_t>(event.note);
                        cell.instrument = static_cast<uint8_t>(event.instrument + 1);
                        const int balance = score.instruments[event.instrument].volume;
                        cell.volume = static_cast<uint8_t>(0x10 + (event.volume * balance + 32) / 64);
                    }
                }
            }
            module.patterns.push_back(pattern);
        }
    }
    for (size_t i = 0; i < score.order.size(); ++i) {
        const int section = score.order[i];
        if (static_cast<int>(i) == score.restart) {
            module.restartPosition = static_cast<int>(module.order.size());
        }
        const int count = (score.sections[section].rows + RowsPerPattern - 1) / RowsPerPattern;
        for (int p = 0; p < count; ++p) {
            module.order.push_back(static_cast<uint8_t>(firstPattern[section] + p));
        }
    }
    if (module.order.size() > 256) {
        throw std::invalid_argument("the order is longer than 256 patterns");
    }
    return module;
}

}  // namespace audio
