#include "engine/player_files.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

// A program of its own: the writer is forked, which is safe only while no
// other thread (SDL's timer or audio) runs.
// A writer killed at any moment leaves the old content or the new, never a mix.
TEST(PlayerFiles, AReplacedFileSurvivesAKillDuringTheWrite) {
    const std::string path = fs::absolute("replaced.ini").string();
    fs::remove(path);
    const std::string contents[2] = {std::string(1 << 20, 'a'), std::string(700000, 'b') + "end"};
    ASSERT_EQ(ReplaceFile(path, contents[0]), "");
    int partial = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t writer = fork();
        ASSERT_GE(writer, 0);
        if (writer == 0) {
            for (int i = 1;; ++i) {
                ReplaceFile(path, contents[i % 2]);
            }
        }
        usleep(static_cast<useconds_t>(3000 + 4000 * round));
        kill(writer, SIGKILL);
        waitpid(writer, nullptr, 0);
        const std::string left = ReadFileBytes(path);
        EXPECT_TRUE(left == contents[0] || left == contents[1]) << "round " << round << ": " << left.size();
        partial += fs::exists(path + ".new." + std::to_string(writer)) ? 1 : 0;
    }
    // The kills did land during writes: some left their unfinished new file.
    EXPECT_GT(partial, 0);
    EXPECT_NE(ReplaceFile(fs::absolute("no/such/folder/file").string(), "x"), "");
}
