#include "app/help.h"

#include "app/screen.h"
#include "engine/package.h"
#include "engine/screen_geometry.h"
#include "engine/video.h"

void HelpPager::OnEvent(const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN) {
        keyPressed = true;
    }
}

void HelpPager::OnQueueEmpty() {
    if (keyPressed && !Done()) {
        ++page;
        keyPressed = false;
    }
}

HelpPictures LoadHelpPictures() {
    HelpPictures pictures;
    Package gui("data/gui.rkp");
    const char* pageNames[3] = {"help1.png", "help2.png", "help3.png"};
    for (int i = 0; i < 3; ++i) {
        pictures.pages[i] = LoadMember(gui, pageNames[i], LoadSprite);
    }
    pictures.box = LoadMember(gui, "helpbox.png", LoadSprite);
    gui.Close();
    pictures.box.SetColorKey(255, 255, 255, SDL_SRCCOLORKEY);
    return pictures;
}

void DrawHelpPage(const HelpPictures& pictures, int page, SDL_Surface* screen) {
    if (page < 1 || page > HelpPageCount) {
        return;
    }
    if (page < HelpPageCount) {
        pictures.pages[page - 1].Draw(screen, 0, 0);
        return;
    }
    pictures.pages[2].Draw(screen, 0, 0);
    const Sprite& box = pictures.box;
    pictures.box.Draw(screen, ScreenWidth / 2 - box.GetWidth() / 2, ScreenHeight / 2 - box.GetHeight() / 2);
}

void ShowHelp() {
    RequireScreen();
    HelpPictures pictures = LoadHelpPictures();
    HelpPager pager;
    while (!pager.Done()) {
        SDL_Event event;
        // A page is drawn only when an event arrives; until then the screen keeps what it showed.
        while (PollEvent(&event) > 0) {
            pager.OnEvent(event);
            // Asked anew for every page: Alt+Enter replaces the screen.
            DrawHelpPage(pictures, pager.Page(), RequireScreen());
            video.Flip();
        }
        pager.OnQueueEmpty();
    }
}
