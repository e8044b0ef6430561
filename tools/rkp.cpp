// rkp: packs files into a resource package, lists a package, extracts members.

#include "engine/errors.h"
#include "engine/package.h"
#include "tools/package_writer.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage:\n"
                 "  rkp pack --key K OUTPUT.rkp [NAME=]FILE...   pack files (key 0..255)\n"
                 "  rkp list PACKAGE.rkp                         print each member's name and size\n"
                 "  rkp extract PACKAGE.rkp MEMBER [OUTPUT]      extract one member (default: its name)\n";
    return 2;
}

bool ReadFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int Pack(const std::vector<std::string>& args) {
    if (args.size() < 3 || args[0] != "--key") {
        return Usage();
    }
    char* end = nullptr;
    long key = std::strtol(args[1].c_str(), &end, 10);
    if (*end != '\0' || key < 0 || key > 255) {
        std::cerr << "rkp: the key must be a number from 0 to 255\n";
        return 2;
    }
    const std::string output = args[2];
    std::vector<PackageMember> members;
    for (std::size_t i = 3; i < args.size(); ++i) {
        std::string name;
        std::string path = args[i];
        std::size_t eq = path.find('=');
        if (eq != std::string::npos) {
            name = path.substr(0, eq);
            path = path.substr(eq + 1);
        } else {
            std::size_t slash = path.find_last_of('/');
            name = slash == std::string::npos ? path : path.substr(slash + 1);
        }
        std::string bytes;
        if (!ReadFile(path, bytes)) {
            std::cerr << "rkp: cannot read " << path << "\n";
            return 1;
        }
        members.push_back({name, bytes});
    }
    std::string package;
    try {
        package = BuildPackage(static_cast<unsigned char>(key), members);
    } catch (const std::invalid_argument& refusal) {
        std::cerr << "rkp: " << refusal.what() << "\n";
        return 1;
    }
    // Written to a side file first so that a failed run never leaves half a package.
    const std::string partial = output + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(package.data(), static_cast<std::streamsize>(package.size()));
        if (!out) {
            std::cerr << "rkp: cannot write " << output << "\n";
            std::remove(partial.c_str());
            return 1;
        }
    }
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        std::cerr << "rkp: cannot write " << output << "\n";
        std::remove(partial.c_str());
        return 1;
    }
    return 0;
}

int List(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        return Usage();
    }
    Package package(args[0]);
    for (std::size_t i = 0; i < package.Names().size(); ++i) {
        std::cout << package.Names()[i] << " " << package.Sizes()[i] << "\n";
    }
    return 0;
}

int Extract(const std::vector<std::string>& args) {
    if (args.size() != 2 && args.size() != 3) {
        return Usage();
    }
    Package package(args[0]);
    package.Extract(args[1], args.size() == 3 ? args[2] : args[1]);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    try {
        if (command == "pack") {
            return Pack(args);
        }
        if (command == "list") {
            return List(args);
        }
        if (command == "extract") {
            return Extract(args);
        }
    } catch (const std::exception& failure) {
        ReportFailure(std::cerr, failure);
        return 1;
    }
    return Usage();
}
