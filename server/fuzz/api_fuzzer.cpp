// Feeds arbitrary bytes to the JSON API: as a query, as a cursor and as a
// player's name. Every reply must stay valid JSON, and a query or cursor
// is taken only in the one way it is written back.
#include "server/score_api.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    ApiRequest request = ReadApiRequest(input);
    bool defaults = request.board == ScoreBoard::All && request.limit == ApiDefaultLimit && !request.after;
    if (request.error.empty() ? request.limit < 1 || request.limit > ApiMostLimit : !defaults) {
        std::abort();
    }
    if (request.after && input.find("after=" + CursorText(*request.after)) == std::string_view::npos) {
        std::abort();
    }
    std::optional<ScoreKey> cursor = ReadCursor(input);
    if (cursor && CursorText(*cursor) != input) {
        std::abort();
    }
    // parse() throws, and so fails the run, on anything but valid JSON.
    if (!nlohmann::json::parse(RenderApiError(request.error)).contains("error")) {
        std::abort();
    }
    ApiPage page{ScoreBoard::Day, 1, {{1, std::string(input), 0, std::string(input)}}, cursor};
    if (nlohmann::json::parse(RenderApiPage(page))["scores"].size() != 1) {
        std::abort();
    }
    return 0;
}
