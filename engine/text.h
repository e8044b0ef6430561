#pragma once

#include "engine/image.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>
#include <vector>

// Renders one line (solid, afresh every call) and blits it at (x, y).
void DrawText(SDL_Surface* destination, int x, int y, TTF_Font* font, const std::string& text,
              SDL_Color colour);

// Cuts pieces off the text at the separator; -1 for no limit. With a limit,
// what follows the last separator taken is dropped.
std::vector<std::string> Split(const std::string& text, const std::string& separator, int largestCount);
// Takes the piece before the first separator off the front of the text.
std::string NextToken(std::string& text, const std::string& separator, bool& found);

// Plain decimal text of a signed 32-bit number: every number on screen.
std::string NumberToText(int32_t value);

// The process-wide interface font ("guifont.ttf" at 16 points), opened at start-up.
extern Font guiFont;
