#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The four values the top bar shows, in its order.
enum HistorySeries { MoneySeries, WoodSeries, SteelSeries, PlasticSeries, HistorySeriesCount };

// Money and the three stocks at one moment of playing time.
struct HistorySample {
    int32_t second = 0;
    std::array<int32_t, HistorySeriesCount> values{};
};

// How one game went: a sample every Interval seconds of playing time and the
// last values at its end. Playing time is the game's counted seconds, so a
// pause adds nothing.
class GameHistory {
  public:
    static constexpr int32_t Interval = 10;

    // Samples come in order of time; one taken at the last sample's second
    // replaces it, so the end's values win over the tick that preceded them.
    void Record(const HistorySample& sample) {
        if (!samples.empty() && samples.back().second == sample.second) {
            samples.back() = sample;
        } else {
            samples.push_back(sample);
        }
    }
    const std::vector<HistorySample>& Samples() const { return samples; }

  private:
    std::vector<HistorySample> samples;
};
