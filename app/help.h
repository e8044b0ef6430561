#pragma once

#include "engine/image.h"

#include <SDL.h>

inline constexpr int HelpPageCount = 4;

// Which help page is up. A page ends when the queue runs empty after at least
// one key press, so a burst of keys turns one page only.
class HelpPager {
  public:
    int Page() const { return page; }
    bool Done() const { return page > HelpPageCount; }
    void OnEvent(const SDL_Event& event);
    void OnQueueEmpty();

  private:
    int page = 1;
    bool keyPressed = false;
};

// The help pictures: three pages and the box that page 4 puts over page 3.
struct HelpPictures {
    Sprite pages[3];
    Sprite box;
};

// Loads the four pictures from "data/gui.rkp"; white is transparent in the box.
// Throws FileLoadingFailed (and SurfaceOpFailed for the colour key).
HelpPictures LoadHelpPictures();

// Draws help page 1 to 4; page 4 is page 3 with the box centred on the screen.
void DrawHelpPage(const HelpPictures& pictures, int page, SDL_Surface* screen);

// Shows the four pages in turn; returns when the last one is left. The close
// button does nothing here.
void ShowHelp();
