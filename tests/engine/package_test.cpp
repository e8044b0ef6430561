#include "engine/package.h"
#include "engine/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// Expects Open to refuse the bytes with exactly this details text.
void ExpectRefused(const std::string& bytes, const std::string& details) {
    WriteFileBytes("bad.rkp", bytes);
    try {
        Package package("bad.rkp");
        FAIL() << "opened a package that should be refused: " << details;
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"bad.rkp\".");
        EXPECT_EQ(failure.GetDetails(), details);
    }
}

std::string ExtractToString(Package& package, const std::string& member) {
    package.Extract(member, "out.bin");
    std::string bytes = ReadFileBytes("out.bin");
    std::remove("out.bin");
    return bytes;
}

}  // namespace

TEST(Package, DecodesWithTheKeyAndFindsMembersAfterSeparatorBytes) {
    WriteTestPackage("two.rkp", 7,
                     {{"first.bin", "0123456789"}, {"second.bin", std::string("\xFC\x00xy", 4)}});
    Package package("two.rkp");
    EXPECT_EQ(package.DecodeByte(0x03), 0xFC);
    EXPECT_EQ(package.DecodeByte(0x07), 0x00);
    EXPECT_EQ(ExtractToString(package, "first.bin"), "0123456789");
    EXPECT_EQ(ExtractToString(package, "second.bin"), std::string("\xFC\x00xy", 4));
    // Out of order, and again: positions are computed from the directory each time.
    EXPECT_EQ(ExtractToString(package, "first.bin"), "0123456789");
}

TEST(Package, ReadsHandMadeBytesWithoutTrailingSeparator) {
    // Key 1, two members "a" (2 bytes) and "b" (1 byte); no byte after the last member.
    std::string bytes = std::string("RKP1\x01\x02", 6) + "a 2 b 1 " + "\x42\x43" + "?" + "\x62";
    WriteFileBytes("hand.rkp", bytes);
    Package package("hand.rkp");
    EXPECT_EQ(ExtractToString(package, "a"), "AB");
    EXPECT_EQ(ExtractToString(package, "b"), "a");
    ASSERT_EQ(package.Names().size(), 2u);
    EXPECT_EQ(package.Sizes()[0], 2);
}

TEST(Package, NamesAreExactAndTheFirstDuplicateWins) {
    WriteTestPackage("dup.rkp", 0, {{"start.png", "one"}, {"start.png", "two"}, {"empty", ""}});
    Package package("dup.rkp");
    EXPECT_EQ(ExtractToString(package, "start.png"), "one");
    EXPECT_EQ(ExtractToString(package, "empty"), "");
    for (const char* missing : {"Start.png", "start", "start.png ", "data/start.png"}) {
        try {
            package.Extract(missing);
            FAIL() << missing;
        } catch (const FileLoadingFailed& failure) {
            EXPECT_EQ(std::string(failure.what()), "Failed to load file \"" + std::string(missing) + "\".");
            EXPECT_EQ(failure.GetDetails(), "Not found inside package.");
        }
    }
}

TEST(Package, AnEmptyDirectoryOpensButFindsNothing) {
    WriteTestPackage("none.rkp", 3, {});
    Package package("none.rkp");
    EXPECT_THROW(package.Extract("anything"), FileLoadingFailed);
}

TEST(Package, ScratchFileIsSharedAndDeletedOnClose) {
    WriteTestPackage("one.rkp", 5, {{"m1", "first member"}, {"m2", "2nd"}});
    WriteTestPackage("other.rkp", 9, {{"x", "other"}});
    {
        Package package("one.rkp");
        package.Extract("m1");
        package.Extract("m2");
        EXPECT_EQ(ReadFileBytes(ScratchFile), "2nd");
        Package other("other.rkp");
        other.Close();  // deletes the scratch file the first package wrote
        EXPECT_FALSE(FileExists(ScratchFile));
        package.Extract("m1");
        EXPECT_TRUE(FileExists(ScratchFile));
    }  // destroying an open package deletes it
    EXPECT_FALSE(FileExists(ScratchFile));

    auto closed = std::make_unique<Package>("one.rkp");
    closed->Close();
    WriteFileBytes(ScratchFile, "written by someone else");
    closed.reset();
    EXPECT_TRUE(FileExists(ScratchFile)) << "destroying a closed package touches no file";
    std::remove(ScratchFile);
}

TEST(Package, NamedOutputStaysAfterClose) {
    WriteTestPackage("font.rkp", 1, {{"palab.ttf", "font bytes"}});
    {
        Package package("font.rkp");
        package.Extract("palab.ttf", "guifont.ttf");
    }
    EXPECT_EQ(ReadFileBytes("guifont.ttf"), "font bytes");
    std::remove("guifont.ttf");
}

TEST(Package, RefusesBadHeaders) {
    try {
        Package package("no-such-file.rkp");
        FAIL();
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"no-such-file.rkp\".");
        EXPECT_EQ(failure.GetDetails(), "Read-mode opening failed.");
    }
    ExpectRefused("RK\n1\x01\x00", "File is not RKP package file.");
    ExpectRefused("XKP1\x01\x00", "File is not RKP package file.");
    ExpectRefused("", "File is not RKP package file.");
    ExpectRefused(std::string("RKP2\x01\x00", 6), "Wrong RKP package file version.");
    ExpectRefused("RKP", "Wrong RKP package file version.");
}

TEST(Package, RefusesMalformedDirectories) {
    const std::string header = std::string("RKP1\x00", 5);
    ExpectRefused(header, "Package directory is truncated.");
    ExpectRefused(header + "\x02" + "a 1 b", "Package directory is truncated.");
    ExpectRefused(header + "\x01" + "a 12", "Package directory is truncated.");
    ExpectRefused(header + "\x01" + std::string(64, 'n') + " 1 x", "Package member name is too long.");
    ExpectRefused(header + "\x01" + "a " + std::string(64, '1') + " x", "Package member size is too long.");
    ExpectRefused(header + "\x01" + "a -5 xxxxx", "Package member size is negative.");
    ExpectRefused(header + "\x01" + "a 99999999999 x", "Package member size does not fit 32 bits.");
    ExpectRefused(header + "\x02" + "a 2147483000 b 2147483000 x", "Package offsets do not fit 32 bits.");
}

TEST(Package, AMemberPastTheEndIsRefusedWithoutLeavingAFile) {
    WriteFileBytes("short.rkp",
                   std::string("RKP1\x00\x02", 6) + "a 3 b 100 " + "abc" + "." + "only a little");
    Package package("short.rkp");
    EXPECT_EQ(ExtractToString(package, "a"), "abc");
    try {
        package.Extract("b", "out.bin");
        FAIL();
    } catch (const FileLoadingFailed& failure) {
        EXPECT_EQ(failure.GetDetails(), "Package member runs past the end of the file.");
    }
    EXPECT_FALSE(FileExists("out.bin"));
    EXPECT_EQ(ExtractToString(package, "a"), "abc") << "a failed extraction leaves the package usable";
}

TEST(Package, UnwritableOutputIsReported) {
    WriteTestPackage("w.rkp", 0, {{"m", "x"}});
    Package package("w.rkp");
    try {
        package.Extract("m", "no-such-folder/out.bin");
        FAIL();
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"no-such-folder/out.bin\".");
        EXPECT_EQ(failure.GetDetails(), "Failed to open output stream.");
    }
}

TEST(Package, ReopeningClosesFirstAndExtractAfterCloseFindsNothing) {
    WriteTestPackage("p1.rkp", 0, {{"one", "1"}});
    WriteTestPackage("p2.rkp", 0, {{"two", "2"}});
    Package package("p1.rkp");
    package.Extract("one");
    package.Open("p2.rkp");
    EXPECT_FALSE(FileExists(ScratchFile));
    EXPECT_THROW(package.Extract("one"), FileLoadingFailed);
    EXPECT_EQ(ExtractToString(package, "two"), "2");
    package.Close();
    EXPECT_FALSE(package.IsOpen());
    EXPECT_THROW(package.Extract("two"), FileLoadingFailed);
}
