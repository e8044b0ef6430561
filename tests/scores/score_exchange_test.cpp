#include "scores/score_exchange.h"
#include "scores/score_screen.h"
#include "tests/scores/loopback_server.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ScoreServer Loopback(uint16_t port) {
    return ScoreServer{"127.0.0.1", port};
}

// Short limits keep the failing cases quick; the outcome is what is checked.
ExchangeLimits QuickLimits() {
    ExchangeLimits limits;
    limits.timeLimitMs = 1500;
    return limits;
}

TEST(ScoreExchange, SendsTheRequestAndReadsTheListUpToTheMark) {
    LoopbackServer server(LoopbackServer::Answer::Reply, "Ann+Lee|5230&Bo|4100!ignored|1");
    const std::string request = BuildSaveRequest("Ann Lee", 5230);
    ExchangeResult result = ExchangeScores(Loopback(server.Port()), request);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(server.Received(), request);
    EXPECT_EQ(server.Connections(), 1);
    ASSERT_EQ(result.scores.names.size(), 2u);
    EXPECT_EQ(result.scores.names[0], "Ann Lee");
    EXPECT_EQ(result.scores.values[0], "5230");
    EXPECT_EQ(result.scores.names[1], "Bo");
    EXPECT_EQ(result.scores.values[1], "4100");
}

TEST(ScoreExchange, ConnectionClosedBeforeTheMarkKeepsWhatArrived) {
    LoopbackServer partial(LoopbackServer::Answer::Reply, "Ann|5230&Bo|41");
    ExchangeResult result = ExchangeScores(Loopback(partial.Port()), BuildSaveRequest("x", 1));
    EXPECT_FALSE(result.failed);
    ASSERT_EQ(result.scores.names.size(), 2u);
    EXPECT_EQ(result.scores.values[1], "41");

    LoopbackServer empty(LoopbackServer::Answer::Reply, "");
    result = ExchangeScores(Loopback(empty.Port()), BuildSaveRequest("x", 1));
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(result.scores.names.empty());
}

TEST(ScoreExchange, NobodyListeningFails) {
    ExchangeResult result = ExchangeScores(Loopback(LoopbackServer::ClosedPort()), BuildSaveRequest("x", 1));
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.scores.names.empty());

    result = ExchangeScores(ScoreServer{"no-such-host.invalid", 80}, BuildSaveRequest("x", 1), QuickLimits());
    EXPECT_TRUE(result.failed);
}

TEST(ScoreExchange, ServerThatNeverAnswersFailsInsteadOfHanging) {
    LoopbackServer server(LoopbackServer::Answer::Silent);
    const std::string request = BuildSaveRequest("Patient", 99);
    ExchangeResult result = ExchangeScores(Loopback(server.Port()), request, QuickLimits());
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(server.Received(), request);
}

TEST(ScoreExchange, ConnectionThatNeverCompletesFails) {
    LoopbackServer server(LoopbackServer::Answer::NeverAccept);
    ExchangeResult result = ExchangeScores(Loopback(server.Port()), BuildSaveRequest("x", 1), QuickLimits());
    EXPECT_TRUE(result.failed);
}

TEST(ScoreExchange, OverlongReplyIsCutOffAndFails) {
    ExchangeLimits limits;
    limits.longestReply = 64 * 1024;
    std::string record = "Name|1&";
    std::string longReply;
    while (longReply.size() <= limits.longestReply) {
        longReply += record;
    }
    LoopbackServer tooLong(LoopbackServer::Answer::Reply, longReply + "!");
    ExchangeResult result = ExchangeScores(Loopback(tooLong.Port()), BuildSaveRequest("x", 1), limits);
    EXPECT_TRUE(result.failed);

    // Exactly at the limit is still a reply.
    std::string fitting = "A|1&" + std::string(limits.longestReply - 4, 'z');
    LoopbackServer atLimit(LoopbackServer::Answer::Reply, fitting + "!");
    result = ExchangeScores(Loopback(atLimit.Port()), BuildSaveRequest("x", 1), limits);
    EXPECT_FALSE(result.failed);
    ASSERT_EQ(result.scores.names.size(), 2u);
    EXPECT_EQ(result.scores.names[1].size(), limits.longestReply - 4);
}

}  // namespace
