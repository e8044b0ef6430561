#include "scores/score_protocol.h"
#include "scores/score_exchange.h"
#include "scores/score_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Request(const std::string& name, const std::string& score, const std::string& checksum) {
    std::string bytes = "GET /hwendel/quorvel/save.php?name=" + name + "&score=" + score +
                        "&checksum=" + checksum + "&fetch=1\n";
    bytes.push_back('\0');
    return bytes;
}

TEST(SaveRequest, CarriesNameScoreChecksumAndTheZeroByte) {
    // 5230 * 577 = 3017710
    EXPECT_EQ(BuildSaveRequest("Ann Lee", 5230), Request("Ann+Lee", "5230", "3017710"));
    EXPECT_EQ(BuildSaveRequest("Ann Lee", 5230).size(), Request("Ann+Lee", "5230", "3017710").size());
    EXPECT_EQ(BuildSaveRequest("Ann Lee", 5230).back(), '\0');
    EXPECT_EQ(BuildSaveRequest("", 0), Request("unnamed", "0", "0"));
    EXPECT_EQ(BuildSaveRequest(" a  b ", 7), Request("+a++b+", "7", "4039"));
    EXPECT_EQ(BuildSaveRequest("X", -12), Request("X", "-12", "-6924"));
}

TEST(SaveRequest, ChecksumWrapsLikeSigned32BitArithmetic) {
    // 2147483647 * 577 = 1239098064319 = 288 * 2^32 + 2147483071
    EXPECT_EQ(RequestChecksum(2147483647), 2147483071);
    EXPECT_EQ(RequestChecksum(-2147483647), -2147483071);
    // 10000000 * 577 = 5770000000, which wraps to 5770000000 - 2^32
    EXPECT_EQ(RequestChecksum(10000000), static_cast<int32_t>(5770000000LL - 4294967296LL));
    EXPECT_EQ(RequestChecksum(-2147483647 - 1), 0 - 2147483647 - 1);  // 577 is odd: the lowest value stays
    EXPECT_EQ(BuildSaveRequest("Max", 10000000), Request("Max", "10000000", "1475032704"));
}

TEST(ScoreReply, TwoRecordsInOrder) {
    ScoreList list = ParseScoreReply("Ann|5230&Bo|4100");
    ASSERT_EQ(list.names.size(), 2u);
    ASSERT_EQ(list.values.size(), 2u);
    EXPECT_EQ(list.names[0], "Ann");
    EXPECT_EQ(list.values[0], "5230");
    EXPECT_EQ(list.names[1], "Bo");
    EXPECT_EQ(list.values[1], "4100");
}

TEST(ScoreReply, TakesFifteenRecordsAndTwoFields) {
    std::string reply;
    for (int i = 0; i < 20; ++i) {
        reply += (i > 0 ? "&" : "") + std::string("P") + std::to_string(i) + "|" + std::to_string(1000 - i);
    }
    ScoreList list = ParseScoreReply(reply);
    ASSERT_EQ(list.names.size(), 15u);
    EXPECT_EQ(list.names[14], "P14");
    EXPECT_EQ(list.values[14], "986");

    list = ParseScoreReply("Ann|5230|extra|more&Bo|4100");
    ASSERT_EQ(list.names.size(), 2u);
    EXPECT_EQ(list.values[0], "5230");
    EXPECT_EQ(list.names[1], "Bo");
}

TEST(ScoreReply, PlusBecomesSpaceInNamesOnly) {
    ScoreList list = ParseScoreReply("Ann+Lee|+12&+|1+1");
    ASSERT_EQ(list.names.size(), 2u);
    EXPECT_EQ(list.names[0], "Ann Lee");
    EXPECT_EQ(list.values[0], "+12");
    EXPECT_EQ(list.names[1], " ");
    EXPECT_EQ(list.values[1], "1+1");
}

TEST(ScoreReply, OddRecords) {
    EXPECT_TRUE(ParseScoreReply("").names.empty());
    EXPECT_TRUE(ParseScoreReply("&&").names.empty());

    ScoreList list = ParseScoreReply("Lonely&&Bo|4100&|77&");
    ASSERT_EQ(list.names.size(), 3u);
    EXPECT_EQ(list.names[0], "Lonely");
    EXPECT_EQ(list.values[0], "");
    EXPECT_EQ(list.names[1], "Bo");
    EXPECT_EQ(list.names[2], "");
    EXPECT_EQ(list.values[2], "77");
    EXPECT_EQ(list.names.size(), list.values.size());

    // Empty records still count towards the fifteen that are read.
    std::string reply(14, '&');
    reply += "A|1&B|2";
    list = ParseScoreReply(reply);
    ASSERT_EQ(list.names.size(), 1u);
    EXPECT_EQ(list.names[0], "A");
}

TEST(ScoreServerText, HostAndPort) {
    ScoreServer server = ParseScoreServer("scores.example.org");
    EXPECT_EQ(server.host, "scores.example.org");
    EXPECT_EQ(server.port, 80);

    server = ParseScoreServer("127.0.0.1:8480");
    EXPECT_EQ(server.host, "127.0.0.1");
    EXPECT_EQ(server.port, 8480);

    server = ParseScoreServer("h:65535");
    EXPECT_EQ(server.port, 65535);
    server = ParseScoreServer("h:00081");
    EXPECT_EQ(server.port, 81);
}

TEST(ScoreServerText, UnreadableTextFallsBackToTheDefault) {
    for (const char* text : {"", ":80", "host:", "host:http", "host:80x", "host:-1", "host:+80", "host:0",
                             "host:65536", "host:123456", "host:80:81", "::1", "two words", "a/b:80"}) {
        ScoreServer server = ParseScoreServer(text);
        EXPECT_EQ(server.host, "localhost") << text;
        EXPECT_EQ(server.port, 8480) << text;
    }
}

TEST(ScoresPage, AddressNamesThePortUnlessItIs80) {
    EXPECT_EQ(ScoresPageAddress(ParseScoreServer("localhost:8480")), "http://localhost:8480/scores");
    EXPECT_EQ(ScoresPageAddress(ParseScoreServer("scores.example.org")), "http://scores.example.org/scores");
    EXPECT_EQ(ScoresPageAddress(ParseScoreServer("scores.example.org:80")),
              "http://scores.example.org/scores");
    EXPECT_EQ(ScoresPageAddress(ParseScoreServer("bad:port")), "http://localhost:8480/scores");
}

}  // namespace
