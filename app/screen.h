#pragma once

#include <SDL.h>

// The screen every application step draws on. Throws std::runtime_error when
// start-up did not open one, so that a step reports instead of drawing blind.
SDL_Surface* RequireScreen();
