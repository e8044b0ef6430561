#include "engine/image.h"

#include "engine/errors.h"
#include "engine/package.h"

#include <SDL_gfxPrimitives.h>
#include <SDL_image.h>

#include <utility>

SDL_Surface* LoadImage(const std::string& path) {
    SDL_Surface* loaded = IMG_Load(path.c_str());
    if (loaded == nullptr) {
        return nullptr;
    }
    SDL_Surface* converted = SDL_DisplayFormat(loaded);
    SDL_FreeSurface(loaded);
    return converted;
}

void DrawSurface(SDL_Surface* source, SDL_Surface* destination, int x, int y) {
    if (source == nullptr || destination == nullptr) {
        return;
    }
    SDL_Rect where;
    where.x = static_cast<Sint16>(x);
    where.y = static_cast<Sint16>(y);
    where.w = 0;
    where.h = 0;
    SDL_UpperBlit(source, nullptr, destination, &where);
}

void FreeSurface(SDL_Surface*& surface) {
    if (surface != nullptr) {
        SDL_FreeSurface(surface);
        surface = nullptr;
    }
}

Uint32 GetPixel(SDL_Surface* surface, int x, int y) {
    const SDL_PixelFormat* format = surface->format;
    const int bytesPerPixel = format->BytesPerPixel;
    const Uint8* p = static_cast<const Uint8*>(surface->pixels) + y * surface->pitch + x * bytesPerPixel;
    switch (bytesPerPixel) {
        case 1:
            return *p;
        case 2:
            return *reinterpret_cast<const Uint16*>(p);
        case 3: {
            Uint8 r = p[format->Rshift / 8];
            Uint8 g = p[format->Gshift / 8];
            Uint8 b = p[format->Bshift / 8];
            return SDL_MapRGB(surface->format, r, g, b);
        }
        case 4:
            return *reinterpret_cast<const Uint32*>(p);
        default:
            return 0xFFFFFFFFu;
    }
}

bool LockIfNeeded(SDL_Surface* surface) {
    if (!SDL_MUSTLOCK(surface)) {
        return true;
    }
    return SDL_LockSurface(surface) >= 0;
}

void UnlockIfNeeded(SDL_Surface* surface) {
    if (SDL_MUSTLOCK(surface)) {
        SDL_UnlockSurface(surface);
    }
}

namespace {

Sint16 Coordinate(int value) {
    return static_cast<Sint16>(value);
}

}  // namespace

void DrawRectangle(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b,
                   Uint8 a) {
    if (destination != nullptr) {
        rectangleRGBA(destination, Coordinate(x1), Coordinate(y1), Coordinate(x2), Coordinate(y2), r, g, b,
                      a);
    }
}

void FillBox(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    if (destination != nullptr) {
        boxRGBA(destination, Coordinate(x1), Coordinate(y1), Coordinate(x2), Coordinate(y2), r, g, b, a);
    }
}

void DrawLine(SDL_Surface* destination, int x1, int y1, int x2, int y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    if (destination != nullptr) {
        lineRGBA(destination, Coordinate(x1), Coordinate(y1), Coordinate(x2), Coordinate(y2), r, g, b, a);
    }
}

void DrawFramedBox(SDL_Surface* destination, int x1, int y1, int x2, int y2) {
    for (int inset = 0; inset < 3; ++inset) {
        DrawRectangle(destination, x1 + inset, y1 + inset, x2 - inset, y2 - inset, 200, 0, 0);
    }
    FillBox(destination, x1 + 3, y1 + 3, x2 - 3, y2 - 3, 128, 0, 0);
}

void DrawHighlightBand(SDL_Surface* destination, int x1, int y1, int x2, int y2) {
    FillBox(destination, x1, y1, x2, y2, 180, 0, 0);
}

Sprite::Sprite(const std::string& path) {
    Load(path);
}

Sprite::~Sprite() {
    Free();
}

Sprite::Sprite(Sprite&& other) noexcept : surface(std::exchange(other.surface, nullptr)) {}

Sprite& Sprite::operator=(Sprite&& other) noexcept {
    if (this != &other) {
        Free();
        surface = std::exchange(other.surface, nullptr);
    }
    return *this;
}

void Sprite::Load(const std::string& path) {
    Free();
    surface = LoadImage(path);
    if (surface == nullptr) {
        throw FileLoadingFailed(FileHeadline(path), SDL_GetError());
    }
}

void Sprite::Free() {
    FreeSurface(surface);
}

void Sprite::Draw(SDL_Surface* destination, int x, int y) const {
    DrawSurface(surface, destination, x, y);
}

void Sprite::SetColorKey(Uint8 r, Uint8 g, Uint8 b, Uint32 flags) {
    if (surface != nullptr) {
        SetColorKeyValue(SDL_MapRGB(surface->format, r, g, b), flags);
    }
}

void Sprite::SetColorKeyValue(Uint32 key, Uint32 flags) {
    if (surface != nullptr && SDL_SetColorKey(surface, flags, key) == -1) {
        throw SurfaceOpFailed(SurfaceHeadline("SetColorKey"), SDL_GetError());
    }
}

int Sprite::GetWidth() const {
    return surface != nullptr ? surface->w : 0;
}

int Sprite::GetHeight() const {
    return surface != nullptr ? surface->h : 0;
}

Font::~Font() {
    Close();
}

void Font::Load(const std::string& path, int pointSize) {
    Close();
    name = path;
    size = pointSize;
    handle = TTF_OpenFont(path.c_str(), pointSize);
    if (handle == nullptr) {
        throw FileLoadingFailed(FileHeadline(path), SDL_GetError());
    }
}

void Font::Close() {
    if (handle != nullptr) {
        TTF_CloseFont(handle);
        handle = nullptr;
    }
}

int Font::TextWidth(const std::string& text) const {
    int width = 0;
    int height = 0;
    if (handle == nullptr || text.empty() || TTF_SizeText(handle, text.c_str(), &width, &height) != 0) {
        return 0;
    }
    return width;
}

Sprite LoadSprite(const std::string& path) {
    return Sprite(path);
}

Sprite LoadPictureMember(Package& package, const std::string& member) {
    return LoadMember(package, member, [&member](const std::string& path) {
        try {
            return Sprite(path);
        } catch (const FileLoadingFailed& failure) {
            throw FileLoadingFailed(FileHeadline(member), failure.GetDetails());
        }
    });
}
