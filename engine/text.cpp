#include "engine/text.h"

Font guiFont;

void DrawText(SDL_Surface* destination, int x, int y, TTF_Font* font, const std::string& text,
              SDL_Color colour) {
    if (font == nullptr || destination == nullptr) {
        return;
    }
    SDL_Surface* rendered = TTF_RenderText_Solid(font, text.c_str(), colour);
    if (rendered != nullptr) {
        DrawSurface(rendered, destination, x, y);
        SDL_FreeSurface(rendered);
    }
}

void Font::Draw(SDL_Surface* destination, int x, int y, const std::string& text, int r, int g, int b) const {
    SDL_Color colour;
    colour.r = static_cast<Uint8>(r);
    colour.g = static_cast<Uint8>(g);
    colour.b = static_cast<Uint8>(b);
    colour.unused = 0;
    DrawText(destination, x, y, handle, text, colour);
}

void Font::Draw(SDL_Surface* destination, int x, int y, const std::string& text, SDL_Color colour) const {
    DrawText(destination, x, y, handle, text, colour);
}

void Font::DrawOutlined(SDL_Surface* destination, int x, int y, const std::string& text, SDL_Color colour,
                        SDL_Color outline) const {
    Draw(destination, x - 2, y, text, outline);
    Draw(destination, x + 2, y, text, outline);
    Draw(destination, x, y - 2, text, outline);
    Draw(destination, x, y + 2, text, outline);
    Draw(destination, x, y, text, colour);
}

std::string NextToken(std::string& text, const std::string& separator, bool& found) {
    // An empty separator would be found at the front forever and take nothing.
    std::size_t position = separator.empty() ? std::string::npos : text.find(separator);
    if (position == std::string::npos) {
        found = false;
        return std::string();
    }
    std::string piece = text.substr(0, position);
    text.erase(0, position + separator.size());
    found = true;
    return piece;
}

std::vector<std::string> Split(const std::string& text, const std::string& separator, int largestCount) {
    std::vector<std::string> pieces;
    std::string rest = text;
    int n = 0;
    for (;;) {
        ++n;
        bool found = false;
        std::string piece = NextToken(rest, separator, found);
        if (!found) {
            pieces.push_back(rest);
            return pieces;
        }
        pieces.push_back(piece);
        if (largestCount != -1 && n >= largestCount) {
            return pieces;
        }
    }
}

std::string NumberToText(int32_t value) {
    return std::to_string(value);
}
