#pragma once

#include <string>
#include <utility>
#include <vector>

// One member to pack: its name inside the package and its bytes.
struct PackageMember {
    std::string name;
    std::string bytes;
};

// The bytes of a package with the given key and members, in the reader's
// layout: header, directory, then each member's data with one separator byte
// after it. Throws std::invalid_argument for a name the format cannot hold
// (empty, over 63 bytes, a space or a zero byte) or more than 255 members.
std::string BuildPackage(unsigned char key, const std::vector<PackageMember>& members);
