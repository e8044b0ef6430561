#include "scores/score_exchange.h"

#include "tests/scores/loopback_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Short time limits keep the failing cases quick.
ExchangeResult Exchange(uint16_t port, ExchangeLimits limits = ExchangeLimits{1500},
                        const std::string& request = BuildSaveRequest("x", 1)) {
    return ExchangeScores(ScoreServer{"127.0.0.1", port}, request, limits);
}

TEST(ScoreExchange, SendsTheRequestAndReadsTheListUpToTheMark) {
    LoopbackServer server(LoopbackServer::Answer::Reply, "Ann+Lee|5230&Bo|4100!ignored|1");
    const ExchangeResult result =
        Exchange(server.Port(), ExchangeLimits{}, BuildSaveRequest("Ann Lee", 5230));
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(server.Received(), BuildSaveRequest("Ann Lee", 5230));
    EXPECT_EQ(result.scores.names, (std::vector<std::string>{"Ann Lee", "Bo"}));
    EXPECT_EQ(result.scores.values, (std::vector<std::string>{"5230", "4100"}));
}

TEST(ScoreExchange, ReplyInSlowPiecesIsReadWhole) {
    LoopbackServer server(LoopbackServer::Answer::Trickle, "A|1!");
    const ExchangeResult result = Exchange(server.Port(), ExchangeLimits{});  // the default, ample time
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.scores.names, std::vector<std::string>{"A"});
    EXPECT_EQ(result.scores.values, std::vector<std::string>{"1"});
}

TEST(ScoreExchange, ConnectionClosedBeforeTheMarkKeepsWhatArrived) {
    LoopbackServer partial(LoopbackServer::Answer::Reply, "Ann|5230&Bo|41");
    ExchangeResult result = Exchange(partial.Port());
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.scores.values, (std::vector<std::string>{"5230", "41"}));

    LoopbackServer empty(LoopbackServer::Answer::Reply, "");
    result = Exchange(empty.Port());
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(result.scores.names.empty());
}

TEST(ScoreExchange, FailuresOfTheServer) {
    EXPECT_TRUE(Exchange(LoopbackServer::ClosedPort()).failed);
    // Within the time limit instead of hanging.
    LoopbackServer silent(LoopbackServer::Answer::Silent);
    EXPECT_TRUE(Exchange(silent.Port()).failed);
    LoopbackServer neverAccepts(LoopbackServer::Answer::NeverAccept);
    EXPECT_TRUE(Exchange(neverAccepts.Port()).failed);
}

TEST(ScoreExchange, OverlongReplyIsCutOffAndFails) {
    const ExchangeLimits limits{1500, 1000};
    LoopbackServer tooLong(LoopbackServer::Answer::Reply, "A|1&" + std::string(997, 'z') + "!");
    EXPECT_TRUE(Exchange(tooLong.Port(), limits).failed);
    LoopbackServer atLimit(LoopbackServer::Answer::Reply, "A|1&" + std::string(996, 'z') + "!");
    const ExchangeResult result = Exchange(atLimit.Port(), limits);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.scores.names.at(1).size(), 996u);
}

}  // namespace
