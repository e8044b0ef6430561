#include "app/main_menu.h"

#include "app/screen.h"
#include "engine/package.h"
#include "engine/video.h"

namespace {

struct MenuWord {
    const char* text;
    int x;
    int y;
};

constexpr MenuWord Words[MenuEntries] = {{"Begin", 100, 300}, {"Help", 100, 350}, {"Quit", 100, 400}};
constexpr SDL_Color HighlightColour = {255, 128, 128, 0};
constexpr SDL_Color WordColour = {255, 0, 0, 0};
constexpr int MenuPointSize = 36;

}  // namespace

void MainMenu::Load() {
    font.Load("guifont.ttf", MenuPointSize);
    background.reset(LoadMember("data/gui.rkp", "start_menu.png", LoadImage));
    selected = MenuBegin;
}

int32_t MainMenu::Run() {
    RequireScreen();
    for (;;) {
        SDL_Event event;
        while (PollEvent(&event) > 0) {
            int32_t choice = HandleEvent(event);
            if (choice >= 0) {
                return choice;
            }
        }
        // Asked anew every frame: Alt+Enter replaces the screen.
        Draw(RequireScreen());
        video.Flip();
    }
}

void MainMenu::Unload() {
    font.Close();
    background.reset();
}

int32_t MainMenu::HandleEvent(const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        return MenuQuit;
    }
    if (event.type != SDL_KEYDOWN) {
        return -1;
    }
    switch (event.key.keysym.sym) {
        case SDLK_UP:
            selected = (selected + MenuEntries - 1) % MenuEntries;
            break;
        case SDLK_DOWN:
            selected = (selected + 1) % MenuEntries;
            break;
        case SDLK_RETURN:
            return selected;
        default:
            break;
    }
    return -1;
}

void MainMenu::Draw(SDL_Surface* screen) const {
    // Without its picture the words go over whatever the screen held.
    if (background != nullptr) {
        DrawSurface(background.get(), screen, 0, 0);
    }
    for (int32_t entry = 0; entry < MenuEntries; ++entry) {
        const MenuWord& word = Words[entry];
        font.Draw(screen, word.x, word.y, word.text, entry == selected ? HighlightColour : WordColour);
    }
}
