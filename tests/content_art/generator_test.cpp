// The generator makes the same pictures on every run, and the packages the
// build made hold exactly what it makes.

#include "engine/package.h"
#include "tests/content_art/art_fixture.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return names;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Sheets() {
    std::vector<std::string> sheets;
    std::istringstream list(ART_SHEETS);
    std::string sheet;
    while (std::getline(list, sheet, '|')) {
        sheets.push_back(sheet);
    }
    return sheets;
}

int Generate(const std::string& folder) {
    mkdir(folder.c_str(), 0755);
    std::string command = std::string("'") + ART_GENERATOR + "' --palette '" + ART_PALETTE + "' --font '" +
                          ART_FONT + "' --out '" + folder + "'";
    for (const std::string& sheet : Sheets()) {
        command += " '" + sheet + "'";
    }
    return std::system(command.c_str());
}

class GeneratorTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        firstRun = Generate("run1");
        secondRun = Generate("run2");
    }
    static int firstRun;
    static int secondRun;
};

int GeneratorTest::firstRun = -1;
int GeneratorTest::secondRun = -1;

}  // namespace

TEST_F(GeneratorTest, TwoRunsGiveByteIdenticalFiles) {
    ASSERT_EQ(firstRun, 0);
    ASSERT_EQ(secondRun, 0);
    const std::vector<std::string> first = FilesIn("run1");
    ASSERT_EQ(first, FilesIn("run2"));
    ASSERT_GT(first.size(), 40u);
    for (const std::string& name : first) {
        EXPECT_EQ(ReadFileBytes("run1/" + name), ReadFileBytes("run2/" + name))
            << name << " differs between runs";
    }
}

TEST_F(GeneratorTest, BuiltPackagesHoldWhatTheGeneratorMakes) {
    ASSERT_EQ(firstRun, 0);
    for (const PackageTable& table : ExpectedPackages()) {
        Package package(DataPath(table.file));
        for (const std::string& member : package.Names()) {
            if (member == "palab.ttf") {
                EXPECT_EQ(ReadMemberBytes(table.file, member), ReadFileBytes(ART_FONT))
                    << "the font is not the TeX Gyre Pagella Bold file";
                continue;
            }
            EXPECT_EQ(ReadMemberBytes(table.file, member), ReadFileBytes("run1/" + member))
                << member << " in " << table.file << " is not what the generator makes";
        }
    }
}

TEST_F(GeneratorTest, RepackingTheSameFilesGivesTheSamePackage) {
    ASSERT_EQ(firstRun, 0);
    for (const PackageTable& table : ExpectedPackages()) {
        const std::string built = ReadFileBytes(DataPath(table.file));
        ASSERT_GT(built.size(), 6u);
        const int key = static_cast<unsigned char>(built[4]);
        Package package(DataPath(table.file));
        std::string command =
            std::string("'") + RKP_TOOL + "' pack --key " + std::to_string(key) + " repacked.rkp";
        for (const std::string& member : package.Names()) {
            const std::string source = member == "palab.ttf" ? std::string(ART_FONT) : "run1/" + member;
            command += " '" + member + "=" + source + "'";
        }
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(ReadFileBytes("repacked.rkp"), built) << table.file;
        std::remove("repacked.rkp");
    }
}

TEST_F(GeneratorTest, TheGeneratorRefusesABrokenSheet) {
    WriteFileBytes("broken.txt", "picture bad.png 2 2\n..\n.?\n");
    const std::string command = std::string("'") + ART_GENERATOR + "' --palette '" + ART_PALETTE +
                                "' --font '" + ART_FONT + "' --out run3 broken.txt 2> refusal.txt";
    mkdir("run3", 0755);
    EXPECT_NE(std::system(command.c_str()), 0);
    const std::string refusal = ReadFileBytes("refusal.txt");
    EXPECT_NE(refusal.find("broken.txt:3"), std::string::npos) << refusal;
    EXPECT_FALSE(FileExists("run3/bad.png"));
}
