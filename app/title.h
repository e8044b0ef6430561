#pragma once

#include "engine/image.h"

#include <SDL.h>

#include <cstdint>

// How long the title picture stays without input.
inline constexpr Uint32 TitleMilliseconds = 3000;

// True for the events that end the title: any key press or the window's close
// button. Mouse buttons, motion and key releases do not.
bool EndsTitle(const SDL_Event& event);

// Loads "start.png" from "data/gui.rkp". Throws FileLoadingFailed.
Sprite LoadTitlePicture();

// Shows the picture until a key, the close button or TitleMilliseconds on the
// clock (Now()); the pass that ends it still presents once.
void ShowTitle(const Sprite& picture);
