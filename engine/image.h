#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <string>

class Package;

// Loads a picture file converted to the screen's format; null on failure.
// The caller owns the result and frees it with FreeSurface.
SDL_Surface* LoadImage(const std::string& path);
// Blits the whole surface with its top-left corner at (x, y); SDL clips.
void DrawSurface(SDL_Surface* source, SDL_Surface* destination, int x, int y);
// Frees the surface held in the variable (if any) and sets it to null.
void FreeSurface(SDL_Surface*& surface);
// The raw pixel value at (x, y); the surface must be locked if SDL requires it.
Uint32 GetPixel(SDL_Surface* surface, int x, int y);
bool LockIfNeeded(SDL_Surface* surface);
void UnlockIfNeeded(SDL_Surface* surface);

// Drawing primitives over SDL_gfx; both corners of a rectangle are included.
void DrawRectangle(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b,
                   Uint8 a = 255);
void FillBox(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b,
             Uint8 a = 255);
void DrawLine(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b,
              Uint8 a = 255);
// The look of every menu and panel: a three-pixel red frame around a dark red
// body, and the lighter band of the entry under the pointer.
void DrawFramedBox(SDL_Surface* destination, int x1, int y1, int x2, int y2);
void DrawHighlightBand(SDL_Surface* destination, int x1, int y1, int x2, int y2);

// Owns one surface in the screen's format. Movable, not copyable.
class Sprite {
  public:
    Sprite() = default;
    explicit Sprite(const std::string& path);
    ~Sprite();
    Sprite(Sprite&& other) noexcept;
    Sprite& operator=(Sprite&& other) noexcept;
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    // Frees any held surface first; throws FileLoadingFailed and stays empty on failure.
    void Load(const std::string& path);
    void Free();
    void Draw(SDL_Surface* destination, int x, int y) const;
    // Throws SurfaceOpFailed when SDL refuses; an empty sprite does nothing.
    void SetColorKey(Uint8 r, Uint8 g, Uint8 b, Uint32 flags);
    // The same with a raw pixel value of the surface's format as the key.
    void SetColorKeyValue(Uint32 key, Uint32 flags);
    int GetWidth() const;
    int GetHeight() const;
    SDL_Surface* GetSurface() const { return surface; }
    bool IsEmpty() const { return surface == nullptr; }

  private:
    SDL_Surface* surface = nullptr;
};

// Loaders for LoadMember (engine/package.h). LoadSprite throws as Sprite::Load,
// naming the file it read; LoadPictureMember extracts the member itself and names
// the member instead, since "temp.tmp" says nothing about which picture failed.
Sprite LoadSprite(const std::string& path);
Sprite LoadPictureMember(Package& package, const std::string& member);

// Owns one open TrueType font with its file name and point size.
class Font {
  public:
    Font() = default;
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Closes an open font first; throws FileLoadingFailed (keeping name and size).
    void Load(const std::string& path, int pointSize);
    void Close();
    TTF_Font* GetHandle() const { return handle; }
    const std::string& GetName() const { return name; }
    int GetSize() const { return size; }

    // Draws one line of text with its top-left corner at (x, y).
    void Draw(SDL_Surface* destination, int x, int y, const std::string& text, int r, int g, int b) const;
    void Draw(SDL_Surface* destination, int x, int y, const std::string& text, SDL_Color colour) const;
    // The text over four copies in the outline colour, two pixels left, right, up and down.
    void DrawOutlined(SDL_Surface* destination, int x, int y, const std::string& text, SDL_Color colour,
                      SDL_Color outline) const;
    // The rendered width of the text in pixels (0 when closed or empty).
    int TextWidth(const std::string& text) const;

  private:
    TTF_Font* handle = nullptr;
    std::string name;
    int size = 0;
};
