#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/score_record.h"

inline constexpr int64_t ScoresPerPage = 50;

// One page of the scores web page, already fetched from the store.
struct ScorePageView {
    std::vector<StoredScore> rows;
    int64_t page = 1;       // counted from 1
    int64_t pageCount = 1;  // at least 1, even with no scores
    int64_t total = 0;
};

// How many pages `total` scores fill; an empty list still has one page.
int64_t PageCount(int64_t total);

// The page a query string ("page=3&...", without "?") asks for, kept within
// 1 .. pageCount. Anything that is not a plain page number means page 1.
int64_t RequestedPage(std::string_view query, int64_t pageCount);

std::string HtmlEscape(std::string_view text);

// The whole HTML document for one page, with its own style sheet.
std::string RenderScorePage(const ScorePageView& view);

// A small page in the same look for errors such as 404.
std::string RenderMessagePage(std::string_view title, std::string_view message);
