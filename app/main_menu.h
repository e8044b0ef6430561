#pragma once

#include "engine/image.h"

#include <SDL.h>

#include <cstdint>
#include <memory>

// The entries of the main menu, in screen order; MainMenu::Run returns one.
enum MenuChoice : int32_t { MenuBegin = 0, MenuHelp = 1, MenuQuit = 2 };
inline constexpr int32_t MenuEntries = 3;

// The keyboard-driven main menu over its picture. Loaded, run and unloaded
// once per showing, so every showing starts on "Begin".
class MainMenu {
  public:
    MainMenu() = default;
    MainMenu(const MainMenu&) = delete;
    MainMenu& operator=(const MainMenu&) = delete;

    // Opens the 36-point font on "guifont.ttf" and the picture "start_menu.png".
    // Throws FileLoadingFailed. A picture that cannot be decoded is left out.
    void Load();
    // Runs until Return (the highlighted entry) or the close button (MenuQuit).
    int32_t Run();
    void Unload();

    // Applies one event: the choice it makes, or -1 when the menu goes on.
    int32_t HandleEvent(const SDL_Event& event);
    // The picture, then the three words, the highlighted one in light red.
    void Draw(SDL_Surface* screen) const;
    int32_t Selected() const { return selected; }

  private:
    struct SurfaceDeleter {
        void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
    };

    std::unique_ptr<SDL_Surface, SurfaceDeleter> background;
    Font font;
    int32_t selected = MenuBegin;
};
