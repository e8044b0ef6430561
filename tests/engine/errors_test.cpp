#include "engine/errors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

// File and video headlines are pinned where they are thrown (package, video tests).
TEST(Errors, EngineFailuresReportTwoLinesOthersOne) {
    std::ostringstream out;
    ReportFailure(out, SurfaceOpFailed(SurfaceHeadline("SetColorKey"), "why"));
    ReportFailure(out, SDLFailure("Failed to initialize SDL.", ""));
    ReportFailure(out, std::runtime_error("Failed to load music!"));
    EXPECT_EQ(out.str(),
              "Surface operation \"SetColorKey\" failed.\nwhy\nFailed to initialize SDL.\n\nFailed to load "
              "music!\n");
}
