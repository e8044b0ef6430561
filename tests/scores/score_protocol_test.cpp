#include "scores/score_protocol.h"

#include "scores/score_exchange.h"
#include "scores/score_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Request(const std::string& name, const std::string& score, const std::string& checksum) {
    return "GET /hwendel/quorvel/save.php?name=" + name + "&score=" + score + "&checksum=" + checksum +
           "&fetch=1\n" + std::string(1, '\0');
}

TEST(SaveRequest, CarriesNameScoreChecksumAndTheZeroByte) {
    EXPECT_EQ(BuildSaveRequest("Ann Lee", 5230), Request("Ann+Lee", "5230", "3017710"));  // 5230 * 577
    EXPECT_EQ(BuildSaveRequest("", 0), Request("unnamed", "0", "0"));
    EXPECT_EQ(BuildSaveRequest(" a  b ", 7), Request("+a++b+", "7", "4039"));
    EXPECT_EQ(BuildSaveRequest("X", -12), Request("X", "-12", "-6924"));
    // The checksum wraps like signed 32-bit arithmetic: 10000000 * 577 - 2^32.
    EXPECT_EQ(BuildSaveRequest("Max", 10000000), Request("Max", "10000000", "1475032704"));
    EXPECT_EQ(RequestChecksum(2147483647), 2147483071);
    EXPECT_EQ(RequestChecksum(-2147483647), -2147483071);
}

TEST(ScoreReply, RecordsInOrderWithSpacesBackInTheNames) {
    const ScoreList list = ParseScoreReply("Ann+Lee|5230&Bo|+12&+|1+1&Cy|7|extra");
    ASSERT_EQ(list.names, (std::vector<std::string>{"Ann Lee", "Bo", " ", "Cy"}));
    EXPECT_EQ(list.values, (std::vector<std::string>{"5230", "+12", "1+1", "7"}));
}

TEST(ScoreReply, FifteenRecordsAtMostAndOddRecords) {
    std::string reply;
    for (int i = 0; i < 20; ++i) {
        reply += (i > 0 ? "&P" : "P") + std::to_string(i) + "|" + std::to_string(1000 - i);
    }
    ScoreList list = ParseScoreReply(reply);
    ASSERT_EQ(list.names.size(), 15u);
    EXPECT_EQ(list.names[14], "P14");
    EXPECT_EQ(list.values[14], "986");

    EXPECT_TRUE(ParseScoreReply("").names.empty());
    list = ParseScoreReply("Lonely&&Bo|4100&|77&");
    EXPECT_EQ(list.names, (std::vector<std::string>{"Lonely", "Bo", ""}));
    EXPECT_EQ(list.values, (std::vector<std::string>{"", "4100", "77"}));
    // Empty records still count towards the fifteen that are read.
    list = ParseScoreReply(std::string(14, '&') + "A|1&B|2");
    EXPECT_EQ(list.names, std::vector<std::string>{"A"});
}

TEST(ScoreServerText, HostPortAndThePageAddress) {
    const struct {
        const char* text;
        const char* host;
        uint16_t port;
        const char* page;
    } servers[] = {
        {"scores.example.org", "scores.example.org", 80, "http://scores.example.org/scores"},
        {"scores.example.org:80", "scores.example.org", 80, "http://scores.example.org/scores"},
        {"127.0.0.1:8480", "127.0.0.1", 8480, "http://127.0.0.1:8480/scores"},
        {"h:65535", "h", 65535, "http://h:65535/scores"},
        {"h:00081", "h", 81, "http://h:81/scores"},
    };
    for (const auto& s : servers) {
        const ScoreServer server = ParseScoreServer(s.text);
        EXPECT_EQ(server.host, s.host) << s.text;
        EXPECT_EQ(server.port, s.port) << s.text;
        EXPECT_EQ(ScoresPageAddress(server), s.page) << s.text;
    }
    // Unreadable text falls back to the default server.
    for (const char* text : {"", ":80", "host:", "host:http", "host:80x", "host:-1", "host:+80", "host:0",
                             "host:65536", "host:123456", "host:80:81", "::1", "two words", "a/b:80"}) {
        EXPECT_EQ(ScoresPageAddress(ParseScoreServer(text)), "http://localhost:8480/scores") << text;
    }
}

}  // namespace
