#pragma once

#include <boost/asio/ip/tcp.hpp>

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

// "203.0.113.7:40112", or "[2001:db8::1]:40112".
std::string EndpointText(const boost::asio::ip::tcp::endpoint& endpoint);

// The unit the per-address limits count: an IPv4 address, or an IPv6 /64,
// since one IPv6 host usually has a whole /64 to choose from.
boost::asio::ip::address ClientGroup(const boost::asio::ip::address& address);

// Scores each client group may still store: refilled at `perMinute`, up to
// that many at once.
class ScoreAllowances {
  public:
    explicit ScoreAllowances(std::size_t perMinute) : full(static_cast<double>(perMinute)) {}

    // Takes one score from the group's allowance, if any is left.
    bool Take(const boost::asio::ip::address& group);

  private:
    struct Allowance {
        double scores = 0;
        std::chrono::steady_clock::time_point updated;
    };

    const double full;
    std::map<boost::asio::ip::address, Allowance> allowances;
    std::size_t pruneAt = 4096;
};
