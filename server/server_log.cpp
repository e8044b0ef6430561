#include "server/server_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

std::string Timestamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string stamp(text, length);
    stamp += '.';
    stamp += static_cast<char>('0' + millis / 100);
    stamp += static_cast<char>('0' + millis / 10 % 10);
    stamp += static_cast<char>('0' + millis % 10);
    stamp += 'Z';
    return stamp;
}

std::string Printable(std::string_view text) {
    constexpr std::size_t MaxShown = 120;
    std::string shown;
    for (char c : text.substr(0, MaxShown)) {
        shown += (c > ' ' && c < 127) ? c : '?';
    }
    if (text.size() > MaxShown) {
        shown += "...";
    }
    return shown;
}

void Log(const std::string& peer, std::string_view kind, const std::string& result) {
    std::string line = Timestamp() + " " + peer + " ";
    line += kind;
    line += " " + result + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}
