#include "scores/score_board.h"

#include "engine/text.h"
#include "scores/history_graph.h"
#include "scores/score_protocol.h"

#include <cctype>
#include <utility>

namespace {

void DrawWhite(SDL_Surface* screen, int x, int y, const std::string& text) {
    guiFont.Draw(screen, x, y, text, 255, 255, 255);
}

bool IsNameKey(SDLKey key) {
    return (key >= SDLK_a && key <= SDLK_z) || (key >= SDLK_0 && key <= SDLK_9);
}

}  // namespace

ScoreBoard::ScoreBoard(int score, ScoreExchange exchange, std::string startName, GameHistory history)
    : score(score), exchange(std::move(exchange)), playerName(std::move(startName)), history(std::move(history)) {
    if (playerName.size() > LongestPlayerName) {
        playerName.resize(LongestPlayerName);
    }
}

void ScoreBoard::HandleEvent(const SDL_Event& event, bool& returnToMenu) {
    if (event.type == SDL_QUIT) {
        returnToMenu = false;
        done = true;
        return;
    }
    if (event.type != SDL_KEYDOWN) {
        return;
    }
    const SDLKey key = event.key.keysym.sym;
    if (key == SDLK_ESCAPE) {
        done = true;
        return;
    }
    if (key == SDLK_TAB) {
        showingGraph = !showingGraph;
        return;
    }
    // Keys for a phase the player cannot see would act blind.
    if (showingGraph) {
        return;
    }
    switch (phase) {
        case ScorePhase::EnterName:
            TypeKey(event.key.keysym);
            break;
        case ScorePhase::AskSend:
            ChooseKey(key);
            break;
        case ScorePhase::ShowResult:
            break;
    }
}

void ScoreBoard::TypeKey(const SDL_keysym& key) {
    if (IsNameKey(key.sym)) {
        if (playerName.size() < LongestPlayerName) {
            char typed = SDL_GetKeyName(key.sym)[0];
            // Caps Lock is deliberately not consulted: only a held Shift capitalises.
            if ((key.mod & KMOD_SHIFT) != 0) {
                typed = static_cast<char>(std::toupper(static_cast<unsigned char>(typed)));
            }
            playerName.push_back(typed);
        }
    } else if (key.sym == SDLK_SPACE) {
        if (playerName.size() < LongestPlayerName) {
            playerName.push_back(' ');
        }
    } else if (key.sym == SDLK_BACKSPACE) {
        if (!playerName.empty()) {
            playerName.pop_back();
        }
    } else if (key.sym == SDLK_RETURN) {
        phase = ScorePhase::AskSend;
    }
}

void ScoreBoard::ChooseKey(SDLKey key) {
    if (key == SDLK_UP) {
        sendChoice = sendChoice == 0 ? 1 : 0;
    } else if (key == SDLK_DOWN) {
        sendChoice = sendChoice == 1 ? 0 : 1;
    } else if (key == SDLK_RETURN) {
        if (sendChoice == 0) {
            SendScore();
        } else {
            done = true;
        }
    }
}

void ScoreBoard::SendScore() {
    ExchangeResult result = exchange(BuildSaveRequest(playerName, score));
    failed = result.failed;
    scores = std::move(result.scores);
    phase = ScorePhase::ShowResult;
}

void ScoreBoard::Draw(SDL_Surface* screen, const Sprite& picture, const std::string& pageAddress) const {
    picture.Draw(screen, 0, 0);
    DrawWhite(screen, 50, 435, "ESC: Return to main menu");
    // The strip along the bottom has room for the way to the graph and back.
    DrawWhite(screen, 50, 455, showingGraph ? "TAB: Back" : "TAB: How the game went");
    if (showingGraph) {
        DrawHistoryGraph(screen, history);
    } else {
        DrawPhase(screen);
    }
    DrawWhite(screen, 400, 420, "To see all scores, visit:");
    DrawWhite(screen, 400, 440, pageAddress);
}

void ScoreBoard::DrawPhase(SDL_Surface* screen) const {
    switch (phase) {
        case ScorePhase::EnterName:
            DrawWhite(screen, 40, 320, "You scored: " + NumberToText(score));
            DrawWhite(screen, 40, 350, "Enter your name:");
            DrawWhite(screen, 40, 370, playerName + "_");
            break;
        case ScorePhase::AskSend:
            DrawWhite(screen, 40, 320, "Send and fetch scores");
            DrawWhite(screen, 40, 340, "from the Internet?");
            DrawWhite(screen, 40, 370, sendChoice == 0 ? "[ YES ]" : "  YES");
            DrawWhite(screen, 40, 390, sendChoice == 0 ? "  NO" : "[ NO ]");
            break;
        case ScorePhase::ShowResult:
            if (failed) {
                DrawWhite(screen, 40, 370, "Failure occured!");
            } else {
                for (std::size_t i = 0; i < scores.names.size(); ++i) {
                    const int y = 75 + 20 * static_cast<int>(i);
                    DrawWhite(screen, 330, y, scores.names[i]);
                    DrawWhite(screen, 520, y, scores.values[i]);
                }
            }
            break;
    }
}
