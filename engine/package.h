#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The scratch file every default extraction writes; closing any package deletes it.
inline constexpr const char* ScratchFile = "temp.tmp";

// A read-only resource package (.rkp): a directory of named members followed by
// their data, every byte shifted by the header's key. Members are extracted to
// plain files, which the caller loads at once.
class Package {
  public:
    Package() = default;
    explicit Package(const std::string& path);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // Throws FileLoadingFailed; on failure the package is left without a file.
    void Open(const std::string& path);
    // Writes the decoded member to outputPath (created or replaced). Throws
    // FileLoadingFailed; a failed extraction never leaves a partial file behind.
    void Extract(const std::string& member, const std::string& outputPath = ScratchFile);
    // Closes the file, deletes the scratch file and empties the directory.
    void Close();
    unsigned char DecodeByte(unsigned char stored) const;

    bool IsOpen() const { return file != nullptr; }
    const std::vector<std::string>& Names() const { return names; }
    const std::vector<int32_t>& Sizes() const { return sizes; }

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::unique_ptr<std::FILE, FileCloser> file;
    std::vector<std::string> names;
    std::vector<int32_t> sizes;
    int32_t count = 0;
    int32_t dataStart = 0;
    unsigned char key = 0;
    long fileSize = 0;
};

// Extracts the member to the scratch file and hands that path to the loader at
// once, before anything else can overwrite the file; returns what the loader returns.
template <typename Loader>
decltype(auto) LoadMember(Package& package, const std::string& member, Loader&& load) {
    package.Extract(member);
    return std::forward<Loader>(load)(std::string(ScratchFile));
}

// The same with a package of its own, closed (and the scratch file deleted)
// once the member is loaded or the load has failed.
template <typename Loader>
decltype(auto) LoadMember(const std::string& packagePath, const std::string& member, Loader&& load) {
    Package package(packagePath);
    return LoadMember(package, member, std::forward<Loader>(load));
}
