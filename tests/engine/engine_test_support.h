#pragma once

#include "engine/errors.h"

#include <SDL.h>

#include <exception>
#include <string>

// An event of the type; a key event carries the key.
inline SDL_Event Event(Uint8 type, SDLKey key = SDLK_UNKNOWN) {
    SDL_Event event{};
    event.type = type;
    if (type == SDL_KEYDOWN || type == SDL_KEYUP) {
        event.key.keysym.sym = key;
    }
    return event;
}

inline void Push(Uint8 type, SDLKey key = SDLK_UNKNOWN) {
    SDL_Event event = Event(type, key);
    SDL_PushEvent(&event);
}

inline void DrainEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) > 0) {
    }
}

// What run throws: an engine failure's headline and details, any other failure's
// message; "" when it does not throw.
template <typename Run>
std::string FailureText(Run run) {
    try {
        run();
    } catch (const VEKException& failure) {
        return failure.what() + (" " + failure.GetDetails());
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
}
