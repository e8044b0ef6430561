#include "server/client_limits.h"

#include <algorithm>
#include <iterator>

namespace net = boost::asio;
using tcp = net::ip::tcp;

std::string EndpointText(const tcp::endpoint& endpoint) {
    net::ip::address address = endpoint.address();
    std::string host = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return host + ":" + std::to_string(endpoint.port());
}

net::ip::address ClientGroup(const net::ip::address& address) {
    if (!address.is_v6()) {
        return address;
    }
    net::ip::address_v6 v6 = address.to_v6();
    if (v6.is_v4_mapped()) {
        return net::ip::make_address_v4(net::ip::v4_mapped, v6);
    }
    net::ip::address_v6::bytes_type bytes = v6.to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return net::ip::address_v6(bytes);
}

bool ScoreAllowances::Take(const net::ip::address& group) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point now = Clock::now();
    auto refilled = [&](const Allowance& allowance) {
        double seconds = std::chrono::duration<double>(now - allowance.updated).count();
        return std::min(full, allowance.scores + seconds * full / 60);
    };
    if (allowances.size() >= pruneAt) {
        // A full allowance is the same as none kept.
        for (auto entry = allowances.begin(); entry != allowances.end();) {
            entry = refilled(entry->second) >= full ? allowances.erase(entry) : std::next(entry);
        }
        pruneAt = std::max<std::size_t>(4096, 2 * allowances.size());
    }
    Allowance& allowance = allowances.try_emplace(group, Allowance{full, now}).first->second;
    allowance.scores = refilled(allowance);
    allowance.updated = now;
    if (allowance.scores < 1) {
        return false;
    }
    allowance.scores -= 1;
    return true;
}
