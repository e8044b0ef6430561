// Feeds arbitrary bytes to everything that reads client input before the
// database: the protocol decision, the game line and the page query.
#include "scores/score_protocol.h"
#include "server/game_request.h"
#include "server/score_page.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    ConnectionStart start = ClassifyConnectionStart(input, 8192);
    std::size_t lineEnd = input.find('\n');
    if (start == ConnectionStart::GameLine &&
        (lineEnd == std::string_view::npos || input[lineEnd + 1] != '\0')) {
        std::abort();
    }
    GameRequest request = ParseGameRequest(input.substr(0, lineEnd));
    if (request.verdict == RequestVerdict::Accepted) {
        // What is stored must round-trip through the reply without breaking its syntax.
        if (request.name.empty() || request.name.size() > LongestPlayerName) {
            std::abort();
        }
        std::string reply = FormatGameReply({{request.name, request.score}});
        if (reply.find('&') != std::string::npos || reply.back() != '!' ||
            reply.find('|') != reply.rfind('|')) {
            std::abort();
        }
    }
    PageRequest page = ReadPageRequest(input);
    if (page.page < 1 || (page.page > 1 && page.after.has_value() == page.before.has_value())) {
        std::abort();
    }
    std::string escaped = HtmlEscape(input);
    if (escaped.find('<') != std::string::npos || escaped.find('"') != std::string::npos) {
        std::abort();
    }
    return 0;
}
