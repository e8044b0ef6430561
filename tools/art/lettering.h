#pragma once

#include "tools/art/canvas.h"

#include <SDL_ttf.h>

#include <string>

namespace art {

// Starts and stops SDL and its TrueType layer for the generator's run.
class LetteringSession {
  public:
    LetteringSession();
    ~LetteringSession();
    LetteringSession(const LetteringSession&) = delete;
    LetteringSession& operator=(const LetteringSession&) = delete;
};

// One open font at one size, rendered anti-aliased onto canvases.
class Lettering {
  public:
    Lettering(const std::string& path, int pointSize);
    ~Lettering();
    Lettering(const Lettering&) = delete;
    Lettering& operator=(const Lettering&) = delete;

    int Width(const std::string& text) const;
    int LineHeight() const;
    // Draws text with its top-left corner at (x, y).
    void Draw(Canvas& canvas, int x, int y, const std::string& text, Colour colour) const;
    // The same with a one-pixel dark rim all round and a shadow below right.
    void DrawOutlined(Canvas& canvas, int x, int y, const std::string& text, Colour colour, Colour rim) const;
    void DrawCentred(Canvas& canvas, int centreX, int y, const std::string& text, Colour colour) const;

  private:
    TTF_Font* font = nullptr;
};

}  // namespace art
