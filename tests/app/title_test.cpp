#include "app/title.h"

#include "engine/package.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class TitleTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        WriteTestPackage(
            "data/gui.rkp", 9,
            {{"start_menu.png", SolidBmp(4, 4, 1, 2, 3)}, {"start.png", SolidBmp(640, 480, 10, 200, 30)}});
    }
};

}  // namespace

TEST_F(TitleTest, EndsAtAKeyOrClosingOtherwiseAfterThreeSeconds) {
    const Sprite picture = LoadTitlePicture();
    EXPECT_FALSE(FileExists(ScratchFile));
    const struct {
        std::vector<Uint8> events;
        Uint32 start;
        bool early;
    } cases[] = {
        {{}, 50000, false},
        {{SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEMOTION, SDL_KEYUP, SDL_ACTIVEEVENT}, 1000, false},
        {{SDL_MOUSEMOTION, SDL_KEYDOWN, SDL_MOUSEMOTION}, 1000, true},
        {{SDL_QUIT}, 1000, true},
        // A difference of readings: the clock wrapping round does not cut the title short.
        {{}, 0xFFFFFFFFu - 1000, false},
    };
    for (const auto& c : cases) {
        SDL_FillRect(screen.Screen(), nullptr, 0);
        for (Uint8 type : c.events) {
            Push(type, SDLK_a);
        }
        SteppingClock clock(c.start, 7);
        ShowTitle(picture);
        const Uint32 shownFor = SteppingClock::LastReading() - c.start;
        EXPECT_EQ(shownFor < TitleMilliseconds, c.early) << c.start << ", " << c.events.size() << " events";
        EXPECT_LT(shownFor, TitleMilliseconds + 7);
        // The pass that ends the title still draws it, and takes every pending event.
        EXPECT_TRUE(At(0, 0, 10, 200, 30));
        SDL_Event event;
        EXPECT_EQ(SDL_PollEvent(&event), 0);
    }
}
