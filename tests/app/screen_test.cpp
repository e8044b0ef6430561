#include "app/screen.h"

#include "app/help.h"
#include "app/main_menu.h"
#include "app/title.h"
#include "engine/video.h"
#include "tests/engine/engine_test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

// Without a screen no step draws: each one reports instead.
TEST(NoScreenTest, EveryScreenStepReportsInsteadOfDrawing) {
    ASSERT_EQ(video.GetScreen(), nullptr);
    EXPECT_EQ(FailureText([] { RequireScreen(); }), "No video mode is set!");
    EXPECT_THROW(ShowTitle(Sprite()), std::runtime_error);
    EXPECT_THROW(MainMenu().Run(), std::runtime_error);
    EXPECT_THROW(ShowHelp(), std::runtime_error);
}
