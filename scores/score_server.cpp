#include "engine/text.h"
#include "scores/score_protocol.h"
#include "scores/score_screen.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool IsHostCharacter(char c) {
    return std::isgraph(static_cast<unsigned char>(c)) != 0 && c != '/';
}

bool ReadScoreServer(const std::string& text, ScoreServer& server) {
    const std::size_t colon = text.find(':');
    const std::string host = text.substr(0, colon);
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostCharacter)) {
        return false;
    }
    uint16_t port = DefaultScorePort;
    if (colon != std::string::npos) {
        const std::string portText = text.substr(colon + 1);
        if (portText.empty() || portText.size() > 5 ||
            !std::all_of(portText.begin(), portText.end(), IsDigit)) {
            return false;
        }
        const long value = std::stol(portText);
        if (value < 1 || value > 65535) {
            return false;
        }
        port = static_cast<uint16_t>(value);
    }
    server.host = host;
    server.port = port;
    return true;
}

}  // namespace

ScoreServer ParseScoreServer(const std::string& text) {
    ScoreServer server;
    if (!ReadScoreServer(text, server)) {
        ReadScoreServer(DefaultScoreServer, server);
    }
    return server;
}

std::string ScoresPageAddress(const ScoreServer& server) {
    std::string address = "http://" + server.host;
    if (server.port != 80) {
        address += ":" + NumberToText(server.port);
    }
    return address + "/scores";
}
