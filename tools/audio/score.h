#pragma once

#include "tools/audio/xm_module.h"

#include <stdexcept>
#include <string>
#include <vector>

// The music's source: a small text notation, read into a Score and turned
// into a module.
//
//   title Jingle Bells
//   tempo 120                   (the module BPM: beats a minute at speed 6, beat 4)
//   speed 6                     (ticks a row)
//   beat 4                      (rows a quarter note)
//   bar 4                       (quarter notes a bar)
//   instrument bell glockenspiel volume 48 pan 150
//   voice melody bell volume 40
//   section verse
//   melody: D5 B5 A5 G5 | D5:h. D5:e D5:e
//   drums: kick snare:q@30 kick snare | %
//   order intro verse chorus
//   restart verse
//
// A note is a pitch (C4 is middle C; # and b alter it) or, on percussion, the
// name of an instrument; "r" is a rest, which also releases a held note.
// After the name come an optional length (":w", ":h", ":q", ":e", ":s", a "."
// adds half), an optional volume "@0".."@64" and an optional repeat "*N".
// "|" closes a bar and checks that it is full; "%" repeats the last bar;
// "=name" takes the whole voice from an earlier section. Each line of a voice
// must end on a bar line, and every voice of a section must be equally long.
// A '#' at the start of a line or after a blank starts a comment.
namespace audio {

class ScoreError : public std::runtime_error {
  public:
    ScoreError(int line, const std::string& message);
    int Line() const { return line; }

  private:
    int line;
};

// An instrument's volume sets its balance in the mix: every note's volume is
// scaled by it.
struct ScoreInstrument {
    std::string name;
    std::string kind;
    int volume = 64;
    int panning = 128;
};

struct ScoreVoice {
    std::string name;
    int instrument = 0;  // index into Score::instruments
    int volume = 64;
};

// Something that happens in one voice at one row.
struct ScoreEvent {
    int row = 0;
    bool release = false;  // a rest: release whatever sounds
    int note = 0;          // module note, 1 = C-0
    int instrument = 0;    // index into Score::instruments
    int volume = 64;
};

struct ScoreSection {
    std::string name;
    int rows = 0;
    std::vector<std::vector<ScoreEvent>> voices;  // one list per Score::voices entry
};

struct Score {
    std::string title;
    int tempo = 125;
    int speed = 6;
    int rowsPerBeat = 4;
    int beatsPerBar = 4;
    std::vector<ScoreInstrument> instruments;
    std::vector<ScoreVoice> voices;
    std::vector<ScoreSection> sections;
    std::vector<int> order;  // indices into sections
    int restart = 0;         // index into order

    int RowsPerBar() const { return rowsPerBeat * beatsPerBar; }
};

// Throws ScoreError naming the line of the first mistake.
Score ParseScore(const std::string& text);

// Sections longer than this are split over several patterns.
inline constexpr int RowsPerPattern = 64;

// The module: one channel per voice, instruments synthesised from their kind.
xm::Module BuildModule(const Score& score);

}  // namespace audio
