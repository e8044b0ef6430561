#include "scores/score_screen.h"

#include "engine/image.h"
#include "engine/package.h"
#include "engine/video.h"
#include "scores/score_board.h"

#include <SDL.h>

#include <utility>

namespace {

// Key repeat for typing the name, for exactly as long as the screen runs.
class KeyRepeat {
  public:
    KeyRepeat() { SDL_EnableKeyRepeat(500, 30); }
    ~KeyRepeat() { SDL_EnableKeyRepeat(0, 0); }
    KeyRepeat(const KeyRepeat&) = delete;
    KeyRepeat& operator=(const KeyRepeat&) = delete;
};

// Tells the event layer whether the name field takes letters, and that it
// does not once the screen is gone.
class LetterTyping {
  public:
    explicit LetterTyping(bool typing) { SetTypingLetters(typing); }
    ~LetterTyping() { SetTypingLetters(false); }
    LetterTyping(const LetterTyping&) = delete;
    LetterTyping& operator=(const LetterTyping&) = delete;

    void Set(bool typing) { SetTypingLetters(typing); }
};

Sprite LoadScoreboardPicture() {
    return LoadMember("data/gui.rkp", "scoreboard.png", LoadSprite);
}

}  // namespace

ScoreScreen::ScoreScreen(ScoreServer server, ExchangeLimits limits) : server(server) {
    exchange = [server, limits](const std::string& request) {
        return ExchangeScores(server, request, limits);
    };
}

ScoreScreen::ScoreScreen(ScoreServer server, ScoreExchange exchange)
    : server(std::move(server)), exchange(std::move(exchange)) {}

void ScoreScreen::OfferName(std::string name, NameSent onSent) {
    offeredName = std::move(name);
    nameSent = std::move(onSent);
}

void ScoreScreen::Run(int score, const GameHistory& history, bool& returnToMenu) {
    const Sprite picture = LoadScoreboardPicture();
    const KeyRepeat repeat;
    ScoreBoard board(score, exchange, offeredName, history);
    LetterTyping typing(true);
    const std::string address = ScoresPageAddress(server);
    do {
        SDL_Event event;
        while (PollEvent(&event) != 0) {
            const ScorePhase before = board.Phase();
            board.HandleEvent(event, returnToMenu);
            typing.Set(board.Phase() == ScorePhase::EnterName);
            if (before != ScorePhase::ShowResult && board.Phase() == ScorePhase::ShowResult && nameSent) {
                nameSent(board.PlayerName());
            }
        }
        board.Draw(video.GetScreen(), picture, address);
        video.Flip();
    } while (!board.Done());
}
