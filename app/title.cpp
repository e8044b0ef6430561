#include "app/title.h"

#include "app/screen.h"
#include "engine/package.h"
#include "engine/video.h"

bool EndsTitle(const SDL_Event& event) {
    return event.type == SDL_QUIT || event.type == SDL_KEYDOWN;
}

Sprite LoadTitlePicture() {
    return LoadMember("data/gui.rkp", "start.png", LoadSprite);
}

void ShowTitle(const Sprite& picture) {
    const Uint32 shownAt = Now();
    bool done = false;
    while (!done) {
        SDL_Event event;
        while (PollEvent(&event) > 0) {
            if (EndsTitle(event)) {
                done = true;
            }
        }
        // A difference, not a sum, so that the clock's wrap-around cannot cut the title short.
        if (Now() - shownAt >= TitleMilliseconds) {
            done = true;
        }
        // Asked anew every frame: Alt+Enter replaces the screen.
        picture.Draw(RequireScreen(), 0, 0);
        video.Flip();
    }
}
