#include "server/score_page.h"

#include "server/game_request.h"
#include "server/score_histogram.h"

#include <algorithm>
#include <array>

namespace {

// 1 or more, written with at most `digits` digits.
std::optional<int64_t> ReadPositive(std::string_view text, std::size_t digits) {
    if (text.empty() || text.size() > digits) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value >= 1 ? std::optional<int64_t>(value) : std::nullopt;
}

const char* const PageStyle = R"(
body { margin: 0; min-height: 100vh; font-family: "DejaVu Sans", Verdana, sans-serif; color: #1d3349;
  background: linear-gradient(180deg, #16324f 0%, #2f6690 45%, #cfe8f7 100%); }
.snow { position: fixed; inset: 0; pointer-events: none;
  background-image: radial-gradient(#ffffff 1.4px, transparent 1.8px), radial-gradient(#ffffffaa 1px, transparent 1.4px),
    radial-gradient(#ffffff77 2px, transparent 2.4px);
  background-size: 97px 89px, 53px 61px, 173px 151px; background-position: 11px 7px, 31px 43px, 70px 20px; }
main { position: relative; max-width: 640px; margin: 0 auto; padding: 32px 16px 48px; }
h1 { margin: 0 0 4px; color: #f4fbff; font-size: 34px; letter-spacing: 1px; text-align: center;
  text-shadow: 0 2px 6px #0b1d2e; }
.subtitle { margin: 0 0 20px; color: #d6ecfa; text-align: center; }
.card { background: #f7fcff; border: 1px solid #ffffff; border-radius: 14px; padding: 18px 20px;
  box-shadow: 0 10px 30px #0b1d2e66; }
table { width: 100%; border-collapse: collapse; }
th { text-align: left; color: #2f6690; font-size: 13px; text-transform: uppercase; letter-spacing: 1px;
  border-bottom: 2px solid #9ccbe8; padding: 6px 8px; }
td { padding: 6px 8px; border-bottom: 1px solid #e1f0fa; }
tr:nth-child(even) td { background: #eef7fd; }
td.rank { width: 48px; color: #5a7d99; }
td.score, th.score { text-align: right; font-variant-numeric: tabular-nums; font-weight: bold; }
.empty { text-align: center; color: #5a7d99; padding: 24px 0; }
nav { display: flex; justify-content: space-between; align-items: center; margin-top: 16px; color: #2f6690; }
nav a { color: #16324f; background: #d9eefb; border: 1px solid #9ccbe8; border-radius: 16px;
  padding: 5px 14px; text-decoration: none; }
nav a:hover { background: #bfe1f6; }
nav .off { visibility: hidden; }
nav.boards { justify-content: center; gap: 10px; margin: 0 0 18px; }
nav.boards a { background: #f7fcffcc; }
nav.boards a[aria-current] { color: #f4fbff; background: #16324f; border-color: #f4fbff; font-weight: bold; }
.chart { margin-bottom: 18px; padding: 10px; }
.chart svg { display: block; }
td.date, th.date { text-align: right; color: #5a7d99; font-size: 14px; white-space: nowrap; }
time { cursor: help; }
)";

const std::array<ScoreBoard, 3> Boards = {ScoreBoard::All, ScoreBoard::Week, ScoreBoard::Day};

std::string Document(std::string_view title, const std::string& body) {
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    html += HtmlEscape(title);
    html += "</title>\n<style>";
    html += PageStyle;
    html += "</style>\n</head>\n<body>\n<div class=\"snow\"></div>\n<main>\n";
    html += body;
    html += "</main>\n</body>\n</html>\n";
    return html;
}

// "score.id", as the links carry a key.
std::string KeyText(const ScoreKey& key) {
    return std::to_string(key.score) + "." + std::to_string(key.id);
}

std::optional<ScoreKey> ReadKey(std::string_view text) {
    std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    std::optional<int32_t> score = ParseCanonicalNumber(text.substr(0, dot));
    std::optional<int64_t> id = ReadPositive(text.substr(dot + 1), 18);
    if (!score || !id) {
        return std::nullopt;
    }
    return ScoreKey{*score, *id};
}

// The board's first page; the all-time board needs no parameter.
std::string BoardAddress(ScoreBoard board) {
    return board == ScoreBoard::All ? std::string("/scores")
                                    : std::string("/scores?board=") + BoardName(board);
}

std::string PageLink(ScoreBoard board, int64_t page, const char* keyName, const ScoreKey& key,
                     const char* label, const char* rel) {
    std::string address = BoardAddress(board);
    address += board == ScoreBoard::All ? "?" : "&amp;";
    return "<a href=\"" + address + "page=" + std::to_string(page) + "&amp;" + keyName + "=" + KeyText(key) +
           "\" rel=\"" + rel + "\">" + label + "</a>";
}

std::string BoardLinks(ScoreBoard shown) {
    std::string links = "<nav class=\"boards\" aria-label=\"Boards\">";
    for (ScoreBoard board : Boards) {
        links += "<a href=\"" + BoardAddress(board) + "\"" +
                 (board == shown ? " aria-current=\"page\"" : "") + ">" + BoardTitle(board) + "</a>";
    }
    return links + "</nav>\n";
}

// The day a score arrived, with the whole instant on hover. `received` is
// RFC 3339 UTC to the millisecond ("2026-12-07T18:45:51.123Z").
std::string DateCell(const std::string& received) {
    std::string shown = HtmlEscape(received.substr(0, 10));
    std::string full =
        received.size() >= 19 ? received.substr(0, 10) + " " + received.substr(11, 8) + " UTC" : received;
    return "<td class=\"date\"><time datetime=\"" + HtmlEscape(received) + "\" title=\"" + HtmlEscape(full) +
           "\">" + shown + "</time></td>";
}

PageRequest FirstPage(ScoreBoard board) {
    PageRequest request;
    request.board = board;
    return request;
}

}  // namespace

int64_t PageCount(int64_t total) {
    return total <= 0 ? 1 : (total + ScoresPerPage - 1) / ScoresPerPage;
}

PageRequest ReadPageRequest(std::string_view query) {
    PageRequest request;
    while (!query.empty()) {
        std::size_t end = query.find('&');
        std::string_view part = query.substr(0, end);
        std::size_t equals = part.find('=');
        std::string_view name = part.substr(0, equals);
        std::string_view value = equals == std::string_view::npos ? "" : part.substr(equals + 1);
        if (name == "board") {
            request.board = ReadBoardName(value).value_or(ScoreBoard::All);
        } else if (name == "page") {
            request.page = ReadPositive(value, 12).value_or(0);
        } else if (name == "after") {
            request.after = ReadKey(value);
        } else if (name == "before") {
            request.before = ReadKey(value);
        }
        if (end == std::string_view::npos) {
            break;
        }
        query.remove_prefix(end + 1);
    }
    if (request.page < 2 || request.after.has_value() == request.before.has_value()) {
        return FirstPage(request.board);
    }
    return request;
}

std::string ReadHistogram(ScoreStore& store, ScoreBoard board, std::chrono::system_clock::time_point now) {
    std::optional<ReceivedRange> range = BoardRange(board, now);
    std::optional<std::pair<int32_t, int32_t>> spread = store.BoardSpread(range);
    ScoreBuckets buckets = spread ? ChooseBuckets(spread->first, spread->second) : ChooseBuckets(0, 0);
    std::vector<int64_t> counts =
        spread ? store.BoardBuckets(range, buckets) : std::vector<int64_t>(buckets.count, 0);
    return RenderHistogram(buckets, counts, BoardTitle(board));
}

std::string HistogramCache::Read(ScoreStore& store, ScoreBoard board,
                                 std::chrono::system_clock::time_point now) {
    std::optional<ReceivedRange> range = BoardRange(board, now);
    std::string key = std::string(BoardName(board)) + (range ? " " + range->period : std::string());
    auto started = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex);
        Counted& counted = boards[key];
        bool fresh = !counted.svg.empty() && started - counted.when < maxAge;
        if (fresh || (counted.counting && !counted.svg.empty())) {
            return counted.svg;
        }
        counted.counting = true;
    }
    std::string svg;
    try {
        svg = ReadHistogram(store, board, now);
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        boards[key].counting = false;
        throw;
    }
    std::lock_guard<std::mutex> lock(mutex);
    // A new period's boards replace the old ones, which no page asks for again.
    for (auto entry = boards.begin(); entry != boards.end();) {
        entry = entry->first != key && !entry->second.counting && started - entry->second.when > maxAge
                    ? boards.erase(entry)
                    : std::next(entry);
    }
    boards[key] = {svg, started, false};
    return svg;
}

ScorePageView ReadScorePage(ScoreStore& store, std::string_view query,
                            std::chrono::system_clock::time_point now) {
    ScorePageView view;
    PageRequest request = ReadPageRequest(query);
    view.board = request.board;
    std::optional<ReceivedRange> range = BoardRange(view.board, now);
    view.period = range ? range->period : std::string();
    view.total = store.BoardCount(range);
    if (request.before) {
        view.rows = store.BoardAbove(range, *request.before, ScoresPerPage);
    } else {
        view.rows = store.BoardBest(range, request.after, ScoresPerPage + 1);
    }
    bool stale = request.before ? static_cast<int64_t>(view.rows.size()) < ScoresPerPage
                                : request.after && view.rows.empty();
    if (stale) {
        request = FirstPage(view.board);
        view.rows = store.BoardBest(range, std::nullopt, ScoresPerPage + 1);
    }
    bool fromTop = !request.after && !request.before;
    view.start =
        fromTop || view.rows.empty() ? RankStart{} : store.BoardRankStart(range, view.rows.front().Key());
    view.page = view.start.before / ScoresPerPage + 1;
    // Read apart from the rows: a score stored meanwhile must not make the page past the last.
    view.pageCount = std::max(PageCount(view.total), view.page);
    // The page above another one always has one behind it.
    view.more = (request.before && !stale) || static_cast<int64_t>(view.rows.size()) > ScoresPerPage;
    if (static_cast<int64_t>(view.rows.size()) > ScoresPerPage) {
        view.rows.pop_back();
    }
    return view;
}

std::string HtmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string RenderScorePage(const ScorePageView& view) {
    std::string body;
    body += "<h1>&#10052; Quorvel high scores &#10052;</h1>\n";
    body += "<p class=\"subtitle\">" + std::string(BoardTitle(view.board)) +
            (view.period.empty() ? "" : " (" + HtmlEscape(view.period) + ", UTC)") + " &middot; " +
            std::to_string(view.total) + (view.total == 1 ? " score" : " scores") + " &middot; page " +
            std::to_string(view.page) + " of " + std::to_string(view.pageCount) + "</p>\n";
    body += BoardLinks(view.board);
    if (!view.histogram.empty()) {
        body += "<div class=\"card chart\">\n" + view.histogram + "</div>\n";
    }
    body += "<div class=\"card\">\n";
    if (view.rows.empty()) {
        body += view.board == ScoreBoard::All
                    ? "<p class=\"empty\">No scores yet. The first winter is still young.</p>\n"
                    : "<p class=\"empty\">No scores on this board yet. Be the first.</p>\n";
    } else {
        body +=
            "<table>\n<thead><tr><th>#</th><th>Name</th><th "
            "class=\"score\">Score</th><th class=\"date\">Date</th></tr></thead>\n<tbody>\n";
        std::vector<int64_t> ranks = SharedRanks(view.rows, view.start);
        for (std::size_t i = 0; i < view.rows.size(); ++i) {
            const StoredScore& row = view.rows[i];
            body += "<tr><td class=\"rank\">" + std::to_string(ranks[i]) + "</td><td class=\"name\">" +
                    HtmlEscape(row.name) + "</td><td class=\"score\">" + std::to_string(row.score) + "</td>" +
                    DateCell(row.received) + "</tr>\n";
        }
        body += "</tbody>\n</table>\n";
    }
    body += "<nav>";
    bool previous = view.start.before > 0 && !view.rows.empty();
    bool next = view.more && !view.rows.empty();
    body += previous ? PageLink(view.board, std::max<int64_t>(1, view.page - 1), "before",
                                view.rows.front().Key(), "&larr; Previous", "prev")
                     : std::string("<span class=\"off\">&larr; Previous</span>");
    body += "<span>Page " + std::to_string(view.page) + " of " + std::to_string(view.pageCount) + "</span>";
    body += next ? PageLink(view.board, view.page + 1, "after", view.rows.back().Key(), "Next &rarr;", "next")
                 : std::string("<span class=\"off\">Next &rarr;</span>");
    body += "</nav>\n</div>\n";
    return Document("Quorvel high scores", body);
}

std::string RenderMessagePage(std::string_view title, std::string_view message) {
    std::string body = "<h1>" + HtmlEscape(title) + "</h1>\n<div class=\"card\"><p class=\"empty\">" +
                       HtmlEscape(message) + "</p><nav><a href=\"/scores\">All scores</a></nav></div>\n";
    return Document(title, body);
}
