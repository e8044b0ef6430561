#include "engine/errors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

TEST(Errors, HeadlinesAreBuiltExactly) {
    EXPECT_EQ(FileHeadline("data/gui.rkp"), "Failed to load file \"data/gui.rkp\".");
    EXPECT_EQ(SurfaceHeadline("SetColorKey"), "Surface operation \"SetColorKey\" failed.");
    EXPECT_EQ(VideoHeadline(640, 480, 24), "Failed to set video mode 640x480 with 24bpp colors.");
    EXPECT_EQ(VideoHeadline(-1, 0, 32), "Failed to set video mode -1x0 with 32bpp colors.");
}

TEST(Errors, EngineFailuresReportTwoLinesOthersOne) {
    std::ostringstream out;
    ReportFailure(out, FileLoadingFailed(FileHeadline("data/gui.rkp"), "Read-mode opening failed."));
    EXPECT_EQ(out.str(), "Failed to load file \"data/gui.rkp\".\nRead-mode opening failed.\n");

    out.str("");
    ReportFailure(out, SDLFailure("Failed to initialize SDL.", ""));
    EXPECT_EQ(out.str(), "Failed to initialize SDL.\n\n");

    out.str("");
    ReportFailure(out, std::runtime_error("Failed to load music!"));
    EXPECT_EQ(out.str(), "Failed to load music!\n");
}

TEST(Errors, KindsAreCaughtAsTheBaseAndCopyBothTexts) {
    try {
        throw SurfaceOpFailed("head", "why");
    } catch (const VEKException& caught) {
        VEKException copy = caught;
        EXPECT_STREQ(copy.what(), "head");
        EXPECT_EQ(copy.GetDetails(), "why");
        EXPECT_NE(dynamic_cast<const SurfaceOpFailed*>(&caught), nullptr);
    }
    EXPECT_STREQ(VEKException("", "").what(), "");
}
