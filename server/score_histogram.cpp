#include "server/score_histogram.h"

#include "server/score_page.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

// The drawing's own units; the SVG scales to the width of the page.
constexpr double Width = 640;
constexpr double Height = 270;
constexpr double PlotLeft = 28;
constexpr double PlotRight = Width - 28;
constexpr double PlotTop = 28;
constexpr double PlotBottom = 216;

// The page's winter colours.
constexpr const char* DeepBlue = "#16324f";
constexpr const char* MidBlue = "#2f6690";
constexpr const char* IceBlue = "#9ccbe8";
constexpr const char* FrostBlue = "#eef7fd";
constexpr const char* MutedText = "#5a7d99";

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

int64_t FloorToMultiple(int64_t value, int64_t step) {
    int64_t quotient = value / step;
    return (quotient * step > value ? quotient - 1 : quotient) * step;
}

// A count short enough to stand above a narrow bar.
std::string ShortCount(int64_t count) {
    if (count < 10'000) {
        return std::to_string(count);
    }
    if (count < 10'000'000) {
        return std::to_string(count / 1000) + "k";
    }
    return std::to_string(count / 1'000'000) + "M";
}

std::string Scores(int64_t count) {
    return std::to_string(count) + (count == 1 ? " score" : " scores");
}

std::string Range(const ScoreBuckets& buckets, int bucket) {
    return buckets.width == 1
               ? std::to_string(buckets.Lowest(bucket))
               : std::to_string(buckets.Lowest(bucket)) + " to " + std::to_string(buckets.Highest(bucket));
}

std::string Text(double x, double y, const char* fill, const std::string& text, const char* extra = "") {
    return "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" fill=\"" + fill + "\"" + extra + ">" +
           text + "</text>\n";
}

// What a screen reader says instead of showing the bars.
std::string Description(const ScoreBuckets& buckets, const std::vector<int64_t>& counts, int64_t total) {
    if (total == 0) {
        return "No scores on this board yet.";
    }
    int fullest = static_cast<int>(std::max_element(counts.begin(), counts.end()) - counts.begin());
    return Scores(total) + " in " + std::to_string(buckets.count) + " ranges of " +
           std::to_string(buckets.width) + " points from " + std::to_string(buckets.Lowest(0)) + " to " +
           std::to_string(buckets.Highest(buckets.count - 1)) + ". The fullest range, " +
           Range(buckets, fullest) + ", holds " + Scores(counts[fullest]) + ".";
}

}  // namespace

ScoreBuckets ChooseBuckets(int64_t lowest, int64_t highest) {
    highest = std::max(highest, lowest);
    for (int64_t power = 1;; power *= 10) {
        // 2.5 times a power of ten is a whole number only from 10 up.
        for (int64_t width : {power, 2 * power, power >= 10 ? power * 5 / 2 : 2 * power, 5 * power}) {
            int64_t first = lowest >= 0 ? 0 : FloorToMultiple(lowest, width);
            int64_t count = (highest - first) / width + 1;
            if (count <= MostBuckets) {
                return {first, width, static_cast<int>(count)};
            }
        }
    }
}

std::string RenderHistogram(const ScoreBuckets& buckets, const std::vector<int64_t>& counts,
                            std::string_view boardTitle) {
    if (buckets.count < 1 || counts.size() != static_cast<std::size_t>(buckets.count)) {
        throw std::invalid_argument("one count per bucket");
    }
    int64_t total = 0;
    for (int64_t count : counts) {
        total += count;
    }
    int64_t most = *std::max_element(counts.begin(), counts.end());
    std::string title = "How the scores lie: " + HtmlEscape(boardTitle);

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Number(Width) + " " +
                      Number(Height) +
                      "\" width=\"100%\" role=\"img\" aria-labelledby=\"histogram-title histogram-desc\" "
                      "font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"11\">\n";
    svg += "<title id=\"histogram-title\">" + title + "</title>\n";
    svg += "<desc id=\"histogram-desc\">" + HtmlEscape(Description(buckets, counts, total)) + "</desc>\n";
    svg +=
        "<defs><linearGradient id=\"histogram-ice\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">"
        "<stop offset=\"0\" stop-color=\"#7fb8dc\"/><stop offset=\"1\" stop-color=\"" +
        std::string(MidBlue) + "\"/></linearGradient></defs>\n";
    svg += "<rect class=\"frame\" x=\"0\" y=\"0\" width=\"" + Number(Width) + "\" height=\"" +
           Number(Height) + "\" rx=\"10\" fill=\"" + FrostBlue + "\"/>\n";

    double pitch = (PlotRight - PlotLeft) / buckets.count;
    double gap = std::max(1.0, pitch * 0.15);
    // The fullest bar fills the plot; an empty board draws no bar above the line.
    double scale = most > 0 ? (PlotBottom - PlotTop) / static_cast<double>(most) : 0;
    for (int b = 0; b < buckets.count; ++b) {
        double x = PlotLeft + b * pitch + gap / 2;
        double height = static_cast<double>(counts[b]) * scale;
        double top = PlotBottom - height;
        svg += "<rect class=\"bar\" x=\"" + Number(x) + "\" y=\"" + Number(top) + "\" width=\"" +
               Number(pitch - gap) + "\" height=\"" + Number(height) +
               "\" fill=\"url(#histogram-ice)\"><title>" + Range(buckets, b) + ": " + Scores(counts[b]) +
               "</title></rect>\n";
        if (counts[b] > 0) {
            // Snow on each roof, as on the game's buildings in winter.
            svg += "<rect class=\"snow\" x=\"" + Number(x - 1) + "\" y=\"" + Number(top - 2) + "\" width=\"" +
                   Number(pitch - gap + 2) + "\" height=\"" + Number(std::min(5.0, height + 2)) +
                   "\" rx=\"2.5\" fill=\"#ffffff\" stroke=\"" + IceBlue + "\" stroke-width=\"0.5\"/>\n";
            svg += Text(x + (pitch - gap) / 2, top - 6, DeepBlue, ShortCount(counts[b]),
                        " text-anchor=\"middle\" font-weight=\"bold\"");
        }
    }
    svg += "<line x1=\"" + Number(PlotLeft) + "\" y1=\"" + Number(PlotBottom + 1) + "\" x2=\"" +
           Number(PlotRight) + "\" y2=\"" + Number(PlotBottom + 1) + "\" stroke=\"" + IceBlue +
           "\" stroke-width=\"2\"/>\n";
    // Edges under the bars (every other one, 0 among them, where twenty would
    // crowd the axis), but no scale for an empty board.
    int64_t labelled = buckets.count > 10 ? 2 * buckets.width : buckets.width;
    for (int edge = 0; total > 0 && edge <= buckets.count; ++edge) {
        if (buckets.Lowest(edge) % labelled != 0) {
            continue;
        }
        svg += Text(PlotLeft + edge * pitch, PlotBottom + 17, MutedText, std::to_string(buckets.Lowest(edge)),
                    " text-anchor=\"middle\"");
    }
    svg += Text(Width / 2, Height - 14, MutedText, "score", " text-anchor=\"middle\" font-style=\"italic\"");
    if (total == 0) {
        svg += Text(Width / 2, (PlotTop + PlotBottom) / 2, MutedText, "No scores on this board yet.",
                    " text-anchor=\"middle\" font-size=\"15\"");
    }
    svg += "</svg>\n";
    return svg;
}
