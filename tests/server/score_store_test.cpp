#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <stdexcept>

#include "server/score_store.h"
#include "tests/server/server_process.h"

namespace {

std::string JournalMode(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr);
    std::string mode;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return mode;
}

TEST(ScoreStore, OrdersByScoreAndKeepsArrivalOrderForTies) {
    TempFolder folder;
    ScoreStore store(folder.File("scores.db"));
    EXPECT_EQ(store.Count(), 0);
    EXPECT_TRUE(store.Best(0, 15).empty());

    store.Add("first", 500);
    store.Add("low", -3);
    store.Add("second", 500);
    store.Add("top", 2000000000);
    store.Add("third", 500);
    EXPECT_EQ(store.Count(), 5);

    std::vector<ScoreRecord> best = store.Best(0, 15);
    std::vector<std::string> names;
    for (const ScoreRecord& record : best) {
        names.push_back(record.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"top", "first", "second", "third", "low"}));
    EXPECT_EQ(best.front().score, 2000000000);
    EXPECT_EQ(best.back().score, -3);

    std::vector<ScoreRecord> window = store.Best(2, 2);
    ASSERT_EQ(window.size(), 2u);
    EXPECT_EQ(window[0].name, "second");
    EXPECT_EQ(window[1].name, "third");
    EXPECT_TRUE(store.Best(5, 10).empty());
}

TEST(ScoreStore, KeepsScoresAcrossReopeningInWalMode) {
    TempFolder folder;
    std::string path = folder.File("scores.db");
    {
        ScoreStore store(path);
        store.Add("Ann Lee", 5230);
        // Stored as data, never as SQL text.
        store.Add("x'); DROP TABLE scores; --", 1);
        store.Add("", INT32_MIN);
    }
    EXPECT_EQ(JournalMode(path), "wal");
    ScoreStore again(path);
    EXPECT_EQ(again.Count(), 3);
    std::vector<ScoreRecord> best = again.Best(0, 15);
    ASSERT_EQ(best.size(), 3u);
    EXPECT_EQ(best[0].name, "Ann Lee");
    EXPECT_EQ(best[1].name, "x'); DROP TABLE scores; --");
    EXPECT_EQ(best[2].score, INT32_MIN);
}

TEST(ScoreStore, ReportsAFileItCannotOpen) {
    TempFolder folder;
    EXPECT_THROW(ScoreStore(folder.File("no/such/folder/scores.db")), std::runtime_error);
    std::string notADatabase = folder.File("text.db");
    FILE* file = std::fopen(notADatabase.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("this is not a database, just some words that fill the header page\n", file);
    std::fclose(file);
    EXPECT_THROW(ScoreStore{notADatabase}, std::runtime_error);
}

}  // namespace
