#include "engine/sound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A song keeps the module's bytes: the mixer reads them while it plays, and
// the file they came from may be deleted right after loading.
struct Song {
    std::vector<Uint8> bytes;
    SDL_RWops* source = nullptr;
    Mix_Music* music = nullptr;

    Song() = default;
    Song(const Song&) = delete;
    Song& operator=(const Song&) = delete;
    ~Song() {
        if (music != nullptr) {
            Mix_FreeMusic(music);
        }
        if (source != nullptr) {
            // Closing frees the stream; under sdl12-compat SDL_FreeRW would free only its wrapper.
            SDL_RWclose(source);
        }
    }
};

struct Sample {
    Mix_Chunk* chunk = nullptr;

    explicit Sample(Mix_Chunk* chunk) : chunk(chunk) {}
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;
    ~Sample() { Mix_FreeChunk(chunk); }
};

namespace {

bool audioOpen = false;
bool silent = false;
bool decodersReady = false;

bool OpenOutput(int mixRate, int softwareChannels) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return false;
    }
    if (Mix_OpenAudio(mixRate, AUDIO_S16SYS, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    Mix_AllocateChannels(softwareChannels);
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<Uint8>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

}  // namespace

void StartSound(int mixRate, int softwareChannels) {
    if (audioOpen) {
        return;
    }
    // SDL_mixer 1.2 cannot be set up again after Mix_Quit (it reads memory that
    // Mix_Quit freed), so the decoders are started once and live with the process.
    if (!decodersReady) {
        Mix_Init(MIX_INIT_MOD);
        decodersReady = true;
    }
    silent = false;
    audioOpen = OpenOutput(mixRate, softwareChannels);
    if (!audioOpen) {
        // No usable device: mix into SDL's dummy driver so the game behaves the same.
        // SDL reads the driver's name only while it opens the output; the asked
        // one is put back at once, so a later start tries the device again.
        const char* asked = std::getenv("SDL_AUDIODRIVER");
        const std::optional<std::string> askedDriver =
            asked != nullptr ? std::optional<std::string>(asked) : std::nullopt;
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        audioOpen = OpenOutput(mixRate, softwareChannels);
        silent = true;
        if (askedDriver) {
            setenv("SDL_AUDIODRIVER", askedDriver->c_str(), 1);
        } else {
            unsetenv("SDL_AUDIODRIVER");
        }
    }
}

void StopSound() {
    if (!audioOpen) {
        return;
    }
    Mix_HaltMusic();
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioOpen = false;
}

bool SoundIsSilent() {
    return silent || !audioOpen;
}

Song* LoadSong(const std::string& path) {
    if (!audioOpen) {
        return nullptr;
    }
    auto song = std::make_unique<Song>();
    if (!ReadWholeFile(path, song->bytes) || song->bytes.empty()) {
        return nullptr;
    }
    song->source = SDL_RWFromConstMem(song->bytes.data(), static_cast<int>(song->bytes.size()));
    if (song->source != nullptr) {
        song->music = Mix_LoadMUS_RW(song->source);
    }
    if (song->music == nullptr) {
        return nullptr;
    }
    return song.release();
}

namespace {

// From the scale of 0 to 256 to the mixer's own.
int MixerVolume(int volume) {
    if (volume < 0) {
        volume = 0;
    }
    if (volume > 256) {
        volume = 256;
    }
    return volume * MIX_MAX_VOLUME / 256;
}

}  // namespace

void SetSongVolume(Song* song, int volume) {
    if (song != nullptr) {
        Mix_VolumeMusic(MixerVolume(volume));
    }
}

void PlaySong(Song* song) {
    if (song != nullptr) {
        Mix_PlayMusic(song->music, -1);
    }
}

void FreeSong(Song* song) {
    delete song;  // the song frees its music and stream
}

Sample* LoadSample(const std::string& path) {
    if (!audioOpen) {
        return nullptr;
    }
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (chunk == nullptr) {
        return nullptr;
    }
    return std::make_unique<Sample>(chunk).release();
}

void PlaySample(Sample* sample) {
    if (sample != nullptr) {
        Mix_PlayChannel(-1, sample->chunk, 0);
    }
}

void SetSampleVolume(int volume) {
    if (audioOpen) {
        Mix_Volume(-1, MixerVolume(volume));
    }
}

void FreeSample(Sample* sample) {
    delete sample;  // the sample frees its chunk
}
