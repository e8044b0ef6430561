#include "scores/score_exchange.h"

#include "tests/scores/loopback_server.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ScoreExchange, ReadsTheListUpToTheMarkOrFails) {
    using Answer = LoopbackServer::Answer;
    const ExchangeLimits quick{1500};  // short time limits keep the failing cases quick
    const std::string z996(996, 'z');
    const struct {
        Answer answer;
        std::string reply;
        ExchangeLimits limits;
        bool failed;
        std::vector<std::string> names, values;
    } cases[] = {
        {Answer::Reply, "Ann+Lee|5230&Bo|4100!ignored|1", {}, false, {"Ann Lee", "Bo"}, {"5230", "4100"}},
        {Answer::Trickle, "A|1!", {}, false, {"A"}, {"1"}},  // slow pieces, in the default time
        // A close before the mark keeps what arrived.
        {Answer::Reply, "Ann|5230&Bo|41", quick, false, {"Ann", "Bo"}, {"5230", "41"}},
        {Answer::Reply, "", quick, false, {}, {}},
        // Within the time limit instead of hanging.
        {Answer::Silent, "", quick, true, {}, {}},
        {Answer::NeverAccept, "", quick, true, {}, {}},
        // Cut off past the longest reply.
        {Answer::Reply, "A|1&" + z996 + "z!", {1500, 1000}, true, {}, {}},
        {Answer::Reply, "A|1&" + z996 + "!", {1500, 1000}, false, {"A", z996}, {"1", ""}},
    };
    const std::string request = BuildSaveRequest("Ann Lee", 5230);
    for (const auto& c : cases) {
        LoopbackServer server(c.answer, c.reply);
        const ExchangeResult result =
            ExchangeScores(ScoreServer{"127.0.0.1", server.Port()}, request, c.limits);
        EXPECT_EQ(result.failed, c.failed) << c.reply;
        if (!c.failed) {
            EXPECT_EQ(result.scores.names, c.names) << c.reply;
            EXPECT_EQ(result.scores.values, c.values) << c.reply;
        }
        if (c.answer == Answer::Reply || c.answer == Answer::Trickle) {
            EXPECT_EQ(server.Received(), request);
        }
    }
    EXPECT_TRUE(
        ExchangeScores(ScoreServer{"127.0.0.1", LoopbackServer::ClosedPort()}, request, quick).failed);
}

}  // namespace
