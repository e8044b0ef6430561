// Feeds arbitrary bytes to the parsers of what comes from outside: the score
// server's reply and the "-server" text.
#include "scores/score_exchange.h"
#include "scores/score_protocol.h"
#include "scores/score_screen.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ScoreList list = ParseScoreReply(text);
    if (list.names.size() != list.values.size() ||
        list.names.size() > static_cast<size_t>(MostScoreRecords)) {
        std::abort();
    }
    const ScoreServer server = ParseScoreServer(text);
    if (server.host.empty() || server.port == 0 || ScoresPageAddress(server).rfind("http://", 0) != 0) {
        std::abort();
    }
    return 0;
}
