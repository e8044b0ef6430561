#include "engine/errors.h"
#include "engine/package.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* input = "fuzz-input.rkp";
    std::ofstream(input, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
    try {
        Package package(input);
        const std::vector<std::string> names = package.Names();
        for (const std::string& name : names) {
            try {
                package.Extract(name, "fuzz-output.bin");
            } catch (const FileLoadingFailed&) {
            }
        }
        package.Close();
    } catch (const FileLoadingFailed&) {
    }
    std::remove("fuzz-output.bin");
    return 0;
}
