#include "engine/package.h"

#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// What extracting member to output throws, or "".
std::string ExtractFailure(Package& package, const std::string& member, const std::string& output) {
    return FailureText([&] { package.Extract(member, output); });
}

std::string ExtractToString(Package& package, const std::string& member) {
    package.Extract(member, "out.bin");
    std::string bytes = ReadFileBytes("out.bin");
    std::remove("out.bin");
    return bytes;
}

}  // namespace

TEST(Package, ReadsHandMadeBytes) {
    // Key 5 shifts every data byte (0xFC and 0x00 wrap round); "a" 3 bytes, a separator
    // byte, "b" 1 byte, no byte after the last member.
    WriteFileBytes("hand.rkp",
                   std::string("RKP1\x05\x02", 6) + "a 3 b 1 " + std::string("\x01\x05\x46", 3) + "?g");
    Package package("hand.rkp");
    EXPECT_EQ(ExtractToString(package, "b"), "b");
    EXPECT_EQ(ExtractToString(package, "a"), std::string("\xFC\x00\x41", 3));
    EXPECT_EQ(ExtractToString(package, "b"), "b") << "positions come from the directory every time";
}

TEST(Package, NamesAreExactAndTheFirstDuplicateWins) {
    WriteTestPackage("dup.rkp", 0, {{"start.png", "one"}, {"start.png", "two"}, {"empty", ""}});
    Package package("dup.rkp");
    EXPECT_EQ(ExtractToString(package, "start.png"), "one");
    EXPECT_EQ(ExtractToString(package, "empty"), "");
    for (const char* missing : {"Start.png", "start", "start.png ", "data/start.png"}) {
        EXPECT_EQ(ExtractFailure(package, missing, "out.bin"),
                  "Failed to load file \"" + std::string(missing) + "\". Not found inside package.");
    }
    WriteTestPackage("none.rkp", 3, {});
    package.Open("none.rkp");
    EXPECT_EQ(package.Names().size(), 0u);
    EXPECT_THROW(package.Extract("start.png"), FileLoadingFailed) << "reopening forgets the old directory";
}

TEST(Package, TheScratchFileIsSharedAndDeletedOnClose) {
    WriteTestPackage("one.rkp", 5, {{"m1", "first member"}, {"m2", "2nd"}, {"palab.ttf", "font"}});
    WriteTestPackage("other.rkp", 9, {{"x", "other"}});
    {
        Package package("one.rkp");
        package.Extract("m1");
        package.Extract("m2");
        EXPECT_EQ(ReadFileBytes(ScratchFile), "2nd");
        package.Extract("palab.ttf", "guifont.ttf");
        Package other("other.rkp");
        other.Close();  // deletes the scratch file the first package wrote
        EXPECT_FALSE(FileExists(ScratchFile));
        package.Extract("m1");
        package.Open("other.rkp");
        EXPECT_FALSE(FileExists(ScratchFile)) << "reopening closes first";
        package.Extract("x");
    }  // destroying an open package deletes it
    EXPECT_FALSE(FileExists(ScratchFile));
    EXPECT_EQ(ReadFileBytes("guifont.ttf"), "font") << "a named output stays";
    std::remove("guifont.ttf");

    {
        Package closed("one.rkp");
        closed.Close();
        WriteFileBytes(ScratchFile, "written by someone else");
    }
    EXPECT_TRUE(FileExists(ScratchFile)) << "destroying a closed package touches no file";
    std::remove(ScratchFile);
}

TEST(Package, RefusesBadHeadersAndDirectories) {
    const std::string header = std::string("RKP1\x00", 5);
    // The directory's offsets must fit 32 bits: "a" ends at 19 + 2147483627 + 1 bytes, just fits.
    const std::pair<std::string, std::string> cases[] = {
        {"RK\n1\x01\x00", "File is not RKP package file."},
        {"XKP1\x01\x00", "File is not RKP package file."},
        {"", "File is not RKP package file."},
        {std::string("RKP2\x01\x00", 6), "Wrong RKP package file version."},
        {header, "Package directory is truncated."},
        {header + "\x02" + "a 1 b", "Package directory is truncated."},
        {header + "\x01" + "a 12", "Package directory is truncated."},
        {header + "\x01" + std::string(64, 'n') + " 1 x", "Package member name is too long."},
        {header + "\x01" + std::string(63, 'n') + " 1 x", ""},
        {header + "\x01" + "a " + std::string(64, '1') + " x", "Package member size is too long."},
        {header + "\x01" + "a -5 xxxxx", "Package member size is negative."},
        {header + "\x01" + "a 99999999999 x", "Package member size does not fit 32 bits."},
        {header + "\x02" + "a 2147483000 b 2147483000 x", "Package offsets do not fit 32 bits."},
        {header + "\x01" + "a 2147483627 ", ""},
        {header + "\x01" + "a 2147483628 ", "Package offsets do not fit 32 bits."},
    };
    for (const auto& [bytes, details] : cases) {
        WriteFileBytes("bad.rkp", bytes);
        EXPECT_EQ(FailureText([] { Package package("bad.rkp"); }),
                  details.empty() ? "" : "Failed to load file \"bad.rkp\". " + details)
            << bytes;
    }
    EXPECT_EQ(FailureText([] { Package package("no.rkp"); }),
              "Failed to load file \"no.rkp\". Read-mode opening failed.");
}

TEST(Package, AFailedExtractionLeavesNoFileAndThePackageUsable) {
    WriteFileBytes("short.rkp",
                   std::string("RKP1\x00\x02", 6) + "a 3 b 100 " + "abc" + "." + "only a little");
    Package package("short.rkp");
    EXPECT_EQ(ExtractFailure(package, "b", "out.bin"),
              "Failed to load file \"b\". Package member runs past the end of the file.");
    EXPECT_FALSE(FileExists("out.bin"));
    EXPECT_EQ(ExtractFailure(package, "a", "no-such-folder/out.bin"),
              "Failed to load file \"no-such-folder/out.bin\". Failed to open output stream.");
    // A device that takes no bytes: the failure shows only when the output is closed.
    std::remove("full.bin");
    ASSERT_TRUE(FileExists("/dev/full"));
    ASSERT_EQ(symlink("/dev/full", "full.bin"), 0);
    EXPECT_EQ(ExtractFailure(package, "a", "full.bin"),
              "Failed to load file \"a\". Package member could not be read completely.");
    EXPECT_FALSE(FileExists("full.bin"));
    EXPECT_EQ(ExtractToString(package, "a"), "abc");
}

// File and video headlines are pinned where they are thrown (above, and in video_test).
TEST(Errors, EngineFailuresReportTwoLinesOthersOne) {
    std::ostringstream out;
    ReportFailure(out, SurfaceOpFailed(SurfaceHeadline("SetColorKey"), "why"));
    ReportFailure(out, SDLFailure("Failed to initialize SDL.", ""));
    ReportFailure(out, std::runtime_error("Failed to load music!"));
    EXPECT_EQ(out.str(),
              "Surface operation \"SetColorKey\" failed.\nwhy\nFailed to initialize SDL.\n\nFailed to load "
              "music!\n");
}
