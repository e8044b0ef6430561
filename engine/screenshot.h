#pragma once

#include <SDL.h>

#include <ctime>
#include <string>

// "quorvel-2026-12-07-19-30-05.png" for the first picture of that second,
// then "quorvel-2026-12-07-19-30-05-2.png" and so on.
std::string ScreenshotName(const std::tm& time, int number);

// Saves the surface as an RGB PNG file in the folder (made when missing),
// named by the local time `when`; an existing file is never replaced, a
// picture of the same second gets the next number. Returns the file's path;
// throws std::runtime_error with the reason when it cannot.
std::string SaveScreenshot(SDL_Surface* surface, const std::string& folder, std::time_t when);
