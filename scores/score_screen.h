#pragma once

#include "play/end_of_game.h"
#include "scores/score_exchange.h"

#include <functional>
#include <string>

// Parses "HOST[:PORT]"; port 80 when none is given. Falls back to the default
// server for text it cannot read.
ScoreServer ParseScoreServer(const std::string& text);
// The scores web page address shown on the end-of-game screen.
std::string ScoresPageAddress(const ScoreServer& server);

// The end-of-game screen: the score, name entry, the question and the exchange.
class ScoreScreen : public EndOfGameScreen {
  public:
    explicit ScoreScreen(ScoreServer server, ExchangeLimits limits = ExchangeLimits());
    // Exchanges through the given function instead of the network; the
    // server still names the scores page.
    ScoreScreen(ScoreServer server, ScoreExchange exchange);
    // Loads "scoreboard.png" from "data/gui.rkp" (FileLoadingFailed when it
    // cannot) and runs frames until the player leaves.
    void Run(int score, const GameHistory& history, bool& returnToMenu) override;

    // Who hears of the name the player sends, as typed, once its exchange is over.
    using NameSent = std::function<void(const std::string& name)>;
    // The name field starts with name instead of empty.
    void OfferName(std::string name, NameSent onSent);

  private:
    ScoreServer server;
    ScoreExchange exchange;
    std::string offeredName;
    NameSent nameSent;
};
