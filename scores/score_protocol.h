#pragma once

#include <cstdint>

// What the game and the score server share. The server checks that
// checksum == score * ChecksumFactor in wrapping 32-bit arithmetic.
inline constexpr int32_t ChecksumFactor = 577;
inline constexpr const char* SaveRequestPrefix = "GET /hwendel/quorvel/save.php?name=";
inline constexpr const char* DefaultScoreServer = "localhost:8480";
inline constexpr uint16_t DefaultScorePort = 80;
