#pragma once

#include "engine/image.h"
#include "play/game_history.h"
#include "scores/score_exchange.h"

#include <SDL.h>

#include <string>

enum class ScorePhase { EnterName = 0, AskSend = 1, ShowResult = 2 };

// The state of one end-of-game screen: what the player typed and chose, and
// what the server sent back. Events go in, frames come out; the loop around
// it belongs to ScoreScreen.
class ScoreBoard {
  public:
    // The name field starts with startName (the name sent last time); Tab
    // shows `history` as a graph.
    ScoreBoard(int score, ScoreExchange exchange, std::string startName = std::string(),
               GameHistory history = GameHistory());

    // Sets returnToMenu false when the window is closed. A yes to the question
    // runs the exchange at once, before the next frame. Tab shows the game's
    // graph instead of the phase and back; the phase waits meanwhile.
    void HandleEvent(const SDL_Event& event, bool& returnToMenu);
    // The whole frame, in white with guiFont, without presenting it.
    void Draw(SDL_Surface* screen, const Sprite& picture, const std::string& pageAddress) const;

    ScorePhase Phase() const { return phase; }
    const std::string& PlayerName() const { return playerName; }
    int SendChoice() const { return sendChoice; }
    bool Failed() const { return failed; }
    bool Done() const { return done; }
    bool ShowingGraph() const { return showingGraph; }
    const ScoreList& Scores() const { return scores; }

  private:
    void TypeKey(const SDL_keysym& key);
    void ChooseKey(SDLKey key);
    void SendScore();
    void DrawPhase(SDL_Surface* screen) const;

    int score;
    ScoreExchange exchange;
    ScorePhase phase = ScorePhase::EnterName;
    std::string playerName;
    int sendChoice = 0;  // 0: yes, 1: no
    bool failed = false;
    bool done = false;
    ScoreList scores;
    GameHistory history;
    bool showingGraph = false;
};
