#include "server/game_request.h"

#include "scores/score_protocol.h"

namespace {

bool IsLetterOrDigit(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The fixed part of the game's line up to and including "?".
std::string_view SavePathWithQueryMark() {
    std::string_view prefix = SaveRequestPrefix;
    return prefix.substr(0, prefix.find('?') + 1);
}

std::optional<std::string> DecodeName(std::string_view raw) {
    if (raw.empty() || raw.size() > LongestPlayerName) {
        return std::nullopt;
    }
    for (char c : raw) {
        if (c != '+' && !IsLetterOrDigit(c)) {
            return std::nullopt;
        }
    }
    return DecodePlayerName(std::string(raw));
}

}  // namespace

ConnectionStart ClassifyConnectionStart(std::string_view received, std::size_t limit) {
    std::size_t lineEnd = received.find('\n');
    if (lineEnd == std::string_view::npos) {
        return received.size() >= limit ? ConnectionStart::TooLong : ConnectionStart::NeedMore;
    }
    if (received.substr(0, lineEnd).find(" HTTP/") != std::string_view::npos) {
        return ConnectionStart::Http;
    }
    if (lineEnd + 1 == received.size()) {
        // The zero byte may still be on its way.
        return received.size() >= limit ? ConnectionStart::TooLong : ConnectionStart::NeedMore;
    }
    return received[lineEnd + 1] == '\0' ? ConnectionStart::GameLine : ConnectionStart::Http;
}

std::optional<int32_t> ParseCanonicalNumber(std::string_view text) {
    bool negative = !text.empty() && text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10 || (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (negative) {
        value = -value;
    }
    if ((negative && value == 0) || value < INT32_MIN || value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

GameRequest ParseGameRequest(std::string_view line) {
    GameRequest request;
    std::string_view path = SavePathWithQueryMark();
    if (line.substr(0, path.size()) != path) {
        return request;
    }
    std::string_view query = line.substr(path.size());

    std::optional<std::string_view> name, score, checksum, fetch;
    bool malformed = false;
    while (true) {
        std::size_t end = query.find('&');
        std::string_view part = query.substr(0, end);
        std::size_t equals = part.find('=');
        if (equals == std::string_view::npos) {
            malformed = true;
        } else {
            std::string_view key = part.substr(0, equals);
            std::string_view value = part.substr(equals + 1);
            std::optional<std::string_view>* field = key == "name"       ? &name
                                                     : key == "score"    ? &score
                                                     : key == "checksum" ? &checksum
                                                     : key == "fetch"    ? &fetch
                                                                         : nullptr;
            if (field == nullptr || field->has_value()) {
                malformed = true;
            } else {
                *field = value;
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        query.remove_prefix(end + 1);
    }

    request.fetch = fetch.has_value() && *fetch == "1";
    if (malformed) {
        request.verdict = RequestVerdict::Malformed;
        return request;
    }
    if (!name || !score || !checksum) {
        request.verdict = RequestVerdict::MissingField;
        return request;
    }
    std::optional<std::string> decodedName = DecodeName(*name);
    if (!decodedName) {
        request.verdict = RequestVerdict::BadName;
        return request;
    }
    std::optional<int32_t> scoreValue = ParseCanonicalNumber(*score);
    if (!scoreValue) {
        request.verdict = RequestVerdict::BadScore;
        return request;
    }
    std::optional<int32_t> checksumValue = ParseCanonicalNumber(*checksum);
    if (!checksumValue || *checksumValue != RequestChecksum(*scoreValue)) {
        request.verdict = RequestVerdict::BadChecksum;
        return request;
    }
    if (fetch && !request.fetch) {
        request.verdict = RequestVerdict::BadFetch;
        return request;
    }
    request.verdict = RequestVerdict::Accepted;
    request.name = std::move(*decodedName);
    request.score = *scoreValue;
    return request;
}

const char* VerdictName(RequestVerdict verdict) {
    switch (verdict) {
        case RequestVerdict::Accepted:
            return "accepted";
        case RequestVerdict::NotASaveRequest:
            return "not-a-save-request";
        case RequestVerdict::Malformed:
            return "malformed";
        case RequestVerdict::MissingField:
            return "missing-field";
        case RequestVerdict::BadName:
            return "bad-name";
        case RequestVerdict::BadScore:
            return "bad-score";
        case RequestVerdict::BadChecksum:
            return "bad-checksum";
        case RequestVerdict::BadFetch:
            return "bad-fetch";
    }
    return "unknown";
}

std::string FormatGameReply(const std::vector<StoredScore>& best) {
    std::string reply;
    std::size_t count = 0;
    for (const StoredScore& record : best) {
        if (count == static_cast<std::size_t>(MostScoreRecords)) {
            break;
        }
        if (count++ > 0) {
            reply += RecordSeparator;
        }
        std::string shown = record.name;
        for (char& c : shown) {
            c = c == ' ' || IsLetterOrDigit(c) ? c : '?';
        }
        reply += EncodePlayerName(shown);
        reply += FieldSeparator;
        reply += std::to_string(record.score);
    }
    reply += ReplyEnd;
    return reply;
}
