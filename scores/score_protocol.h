#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the game and the score server share. The server checks that
// checksum == score * ChecksumFactor in wrapping 32-bit arithmetic.
inline constexpr int32_t ChecksumFactor = 577;
inline constexpr const char* SaveRequestPrefix = "GET /hwendel/quorvel/save.php?name=";
inline constexpr const char* DefaultScoreServer = "localhost:8480";
inline constexpr uint16_t DefaultScorePort = 80;

// The request after the prefix: "name=N&score=S&checksum=C&fetch=1\n" and a zero byte.
inline constexpr const char* ScoreField = "&score=";
inline constexpr const char* ChecksumField = "&checksum=";
inline constexpr const char* SaveRequestEnd = "&fetch=1\n";
// The name a player who typed nothing is sent under.
inline constexpr const char* UnnamedPlayer = "unnamed";
// A name can be typed up to this length.
inline constexpr std::size_t LongestPlayerName = 15;

// The reply: records "name|score" joined by "&", the whole ended by "!".
inline constexpr char ReplyEnd = '!';
inline constexpr const char* RecordSeparator = "&";
inline constexpr const char* FieldSeparator = "|";
// No game of 24 minutes can end with more; the server refuses higher scores
// and negative ones. docs/SCORE_BOUND.md derives it from the rules: the bound
// rounded up to whole millions.
inline constexpr int32_t HighestPlausibleScore = 12000000;
// The game shows at most this many records.
inline constexpr int MostScoreRecords = 15;

// score * ChecksumFactor, wrapping like signed 32-bit arithmetic on two's
// complement hardware. Multiplying as unsigned keeps the overflow defined.
inline constexpr int32_t RequestChecksum(int32_t score) {
    return static_cast<int32_t>(static_cast<uint32_t>(score) * static_cast<uint32_t>(ChecksumFactor));
}

// A name as it travels: "+" for every space, "unnamed" for an empty name.
inline std::string EncodePlayerName(const std::string& name) {
    if (name.empty()) {
        return UnnamedPlayer;
    }
    std::string encoded = name;
    for (char& c : encoded) {
        if (c == ' ') {
            c = '+';
        }
    }
    return encoded;
}

// A received name as shown: every "+" back to a space.
inline std::string DecodePlayerName(const std::string& name) {
    std::string decoded = name;
    for (char& c : decoded) {
        if (c == '+') {
            c = ' ';
        }
    }
    return decoded;
}
