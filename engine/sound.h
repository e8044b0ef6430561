#pragma once

#include <memory>
#include <string>

// The game's sound layer over SDL_mixer: one tracker song and short samples.
// Every operation accepts a null handle and then does nothing. Loads read the
// whole file before they return, so the caller may delete it at once.
struct Song;
struct Sample;

// Opens the output; without a usable device it falls back to silent output,
// so that songs and samples still load and play (unheard).
void StartSound(int mixRate, int softwareChannels);
void StopSound();
bool SoundIsSilent();

Song* LoadSong(const std::string& path);
// Volume on a scale of 0 to 256.
void SetSongVolume(Song* song, int volume);
void PlaySong(Song* song);
void FreeSong(Song* song);

Sample* LoadSample(const std::string& path);
void PlaySample(Sample* sample);
// The volume of every sample, on a scale of 0 to 256; full until set.
void SetSampleVolume(int volume);
void FreeSample(Sample* sample);

struct SongDeleter {
    void operator()(Song* song) const { FreeSong(song); }
};
struct SampleDeleter {
    void operator()(Sample* sample) const { FreeSample(sample); }
};
using SongHandle = std::unique_ptr<Song, SongDeleter>;
using SampleHandle = std::unique_ptr<Sample, SampleDeleter>;
