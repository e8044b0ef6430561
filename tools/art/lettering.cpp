#include "tools/art/lettering.h"

#include <SDL.h>

#include <stdexcept>

namespace art {

LetteringSession::LetteringSession() {
    if (SDL_Init(0) < 0 || TTF_Init() < 0) {
        throw std::runtime_error(std::string("cannot start the font renderer: ") + SDL_GetError());
    }
}

LetteringSession::~LetteringSession() {
    TTF_Quit();
    SDL_Quit();
}

Lettering::Lettering(const std::string& path, int pointSize) {
    font = TTF_OpenFont(path.c_str(), pointSize);
    if (font == nullptr) {
        throw std::runtime_error("cannot open font " + path + ": " + TTF_GetError());
    }
}

Lettering::~Lettering() {
    TTF_CloseFont(font);
}

int Lettering::Width(const std::string& text) const {
    int w = 0;
    int h = 0;
    if (text.empty() || TTF_SizeUTF8(font, text.c_str(), &w, &h) < 0) {
        return 0;
    }
    return w;
}

int Lettering::LineHeight() const {
    return TTF_FontHeight(font);
}

void Lettering::Draw(Canvas& canvas, int x, int y, const std::string& text, Colour colour) const {
    if (text.empty()) {
        return;
    }
    const SDL_Color white{255, 255, 255, 0};
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font, text.c_str(), white);
    if (rendered == nullptr) {
        throw std::runtime_error("cannot render '" + text + "': " + TTF_GetError());
    }
    SDL_LockSurface(rendered);
    const SDL_PixelFormat* format = rendered->format;
    for (int row = 0; row < rendered->h; ++row) {
        const Uint32* line = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(rendered->pixels) +
                                                             row * rendered->pitch);
        for (int column = 0; column < rendered->w; ++column) {
            const int alpha = static_cast<int>((line[column] & format->Amask) >> format->Ashift);
            canvas.Blend(x + column, y + row, colour, alpha);
        }
    }
    SDL_UnlockSurface(rendered);
    SDL_FreeSurface(rendered);
}

void Lettering::DrawOutlined(Canvas& canvas, int x, int y, const std::string& text, Colour colour,
                             Colour rim) const {
    Draw(canvas, x + 2, y + 2, text, rim);
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            if (dx != 0 || dy != 0) {
                Draw(canvas, x + dx, y + dy, text, rim);
            }
        }
    }
    Draw(canvas, x, y, text, colour);
}

void Lettering::DrawCentred(Canvas& canvas, int centreX, int y, const std::string& text,
                            Colour colour) const {
    Draw(canvas, centreX - Width(text) / 2, y, text, colour);
}

}  // namespace art
