#include "engine/package.h"

#include "engine/errors.h"

#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Directory texts longer than this are not part of the format.
constexpr std::size_t LongestDirectoryText = 63;

// Reads bytes up to the next space. False when the text runs past the end of
// the file or grows longer than the format allows.
bool ReadDirectoryText(std::FILE* file, std::string& text, bool& tooLong) {
    text.clear();
    tooLong = false;
    for (;;) {
        int c = std::fgetc(file);
        if (c == EOF) {
            return false;
        }
        if (c == ' ') {
            return true;
        }
        if (c == 0) {
            continue;  // a zero byte adds nothing to the text
        }
        if (text.size() == LongestDirectoryText) {
            tooLong = true;
            return false;
        }
        text.push_back(static_cast<char>(c));
    }
}

}  // namespace

Package::Package(const std::string& path) {
    Open(path);
}

Package::~Package() {
    if (file != nullptr) {
        Close();
    }
}

void Package::Open(const std::string& path) {
    if (file != nullptr) {
        Close();
    }
    std::unique_ptr<std::FILE, FileCloser> owned(std::fopen(path.c_str(), "rb"));
    if (owned == nullptr) {
        throw FileLoadingFailed(FileHeadline(path), "Read-mode opening failed.");
    }
    std::FILE* opened = owned.get();
    // The file closes with `owned` however the reading ends.
    auto refuse = [&](const char* details) {
        names.clear();
        sizes.clear();
        count = 0;
        throw FileLoadingFailed(FileHeadline(path), details);
    };

    if (std::fseek(opened, 0, SEEK_END) != 0) {
        refuse("Read-mode opening failed.");
    }
    long length = std::ftell(opened);
    std::rewind(opened);

    // The tag is read like a line: at most three bytes, stopping after a line feed.
    char tag[4] = {0, 0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        int c = std::fgetc(opened);
        if (c == EOF) {
            break;
        }
        tag[i] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    if (!(tag[0] == 'R' && tag[1] == 'K' && tag[2] == 'P' && tag[3] == 0)) {
        refuse("File is not RKP package file.");
    }
    if (std::fgetc(opened) != '1') {
        refuse("Wrong RKP package file version.");
    }
    int keyByte = std::fgetc(opened);
    int countByte = std::fgetc(opened);
    if (keyByte == EOF || countByte == EOF) {
        refuse("Package directory is truncated.");
    }

    names.clear();
    sizes.clear();
    long long total = 0;
    for (int i = 0; i < countByte; ++i) {
        std::string name;
        std::string sizeText;
        bool tooLong = false;
        if (!ReadDirectoryText(opened, name, tooLong)) {
            refuse(tooLong ? "Package member name is too long." : "Package directory is truncated.");
        }
        if (!ReadDirectoryText(opened, sizeText, tooLong)) {
            refuse(tooLong ? "Package member size is too long." : "Package directory is truncated.");
        }
        long long size = std::strtoll(sizeText.c_str(), nullptr, 10);
        if (size < 0) {
            refuse("Package member size is negative.");
        }
        if (size > std::numeric_limits<int32_t>::max()) {
            refuse("Package member size does not fit 32 bits.");
        }
        total += size + 1;
        names.push_back(name);
        sizes.push_back(static_cast<int32_t>(size));
    }
    long position = std::ftell(opened);
    // Every member's end must be addressable with 32-bit offsets.
    if (position + total > static_cast<long long>(std::numeric_limits<int32_t>::max())) {
        refuse("Package offsets do not fit 32 bits.");
    }
    file = std::move(owned);
    key = static_cast<unsigned char>(keyByte);
    count = countByte;
    dataStart = static_cast<int32_t>(position);
    fileSize = length;
}

void Package::Extract(const std::string& member, const std::string& outputPath) {
    int index = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == member) {
            index = static_cast<int>(i);
            break;
        }
    }
    if (index < 0 || file == nullptr) {
        throw FileLoadingFailed(FileHeadline(member), "Not found inside package.");
    }
    long long offset = dataStart;
    for (int i = 0; i < index; ++i) {
        offset += sizes[i] + 1;
    }
    const int32_t size = sizes[index];
    if (offset + size > fileSize) {
        throw FileLoadingFailed(FileHeadline(member), "Package member runs past the end of the file.");
    }
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
        throw FileLoadingFailed(FileHeadline(member), "Package member runs past the end of the file.");
    }
    std::unique_ptr<std::FILE, FileCloser> output(std::fopen(outputPath.c_str(), "wb"));
    if (output == nullptr) {
        throw FileLoadingFailed(FileHeadline(outputPath), "Failed to open output stream.");
    }
    unsigned char buffer[4096];
    int32_t left = size;
    bool failed = false;
    while (left > 0 && !failed) {
        std::size_t want =
            left < static_cast<int32_t>(sizeof buffer) ? static_cast<std::size_t>(left) : sizeof buffer;
        std::size_t got = std::fread(buffer, 1, want, file.get());
        for (std::size_t i = 0; i < got; ++i) {
            buffer[i] = DecodeByte(buffer[i]);
        }
        if (got != want || std::fwrite(buffer, 1, got, output.get()) != got) {
            failed = true;
        }
        left -= static_cast<int32_t>(got);
    }
    // Closed here rather than by the owner, since a failed close means a failed write.
    if (std::fclose(output.release()) != 0) {
        failed = true;
    }
    if (failed) {
        // Never leave a silently truncated member behind.
        std::remove(outputPath.c_str());
        throw FileLoadingFailed(FileHeadline(member), "Package member could not be read completely.");
    }
}

void Package::Close() {
    file.reset();
    std::remove(ScratchFile);
    names.clear();
    sizes.clear();
    count = 0;
}

unsigned char Package::DecodeByte(unsigned char stored) const {
    return static_cast<unsigned char>((stored - key + 256) % 256);
}
