#include "app/game.h"

#include <SDL.h>

// With SDL.h included this becomes SDL_main where the platform needs it.
int main(int argc, char* argv[]) {
    Game game(argc, argv);
    return game.Run();
}
