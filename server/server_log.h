#pragma once

#include <string>
#include <string_view>

// The current time in UTC, "2026-12-07T18:45:51.123Z".
std::string Timestamp();

// Client bytes go into the log only in this form: printable, short, one line.
std::string Printable(std::string_view text);

// One line per event on standard error: time, peer, kind, result.
void Log(const std::string& peer, std::string_view kind, const std::string& result);
