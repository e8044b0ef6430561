#include "tools/package_writer.h"

#include <stdexcept>

std::string BuildPackage(unsigned char key, const std::vector<PackageMember>& members) {
    if (members.size() > 255) {
        throw std::invalid_argument("a package holds at most 255 members");
    }
    std::string bytes = "RKP1";
    bytes.push_back(static_cast<char>(key));
    bytes.push_back(static_cast<char>(members.size()));
    for (const PackageMember& member : members) {
        if (member.name.empty() || member.name.size() > 63 ||
            member.name.find_first_of(std::string(" \0", 2)) != std::string::npos) {
            throw std::invalid_argument("member name not allowed in a package: \"" + member.name + "\"");
        }
        bytes += member.name + " " + std::to_string(member.bytes.size()) + " ";
    }
    for (const PackageMember& member : members) {
        for (char c : member.bytes) {
            bytes.push_back(static_cast<char>(static_cast<unsigned char>(c) + key));
        }
        bytes.push_back('\0');  // the separator byte the reader skips
    }
    return bytes;
}
