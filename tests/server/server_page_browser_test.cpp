// The scores page in headless Chromium: the document as the browser parsed
// it (--dump-dom), and the style sheet through the colours of a screenshot.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tests/server/server_process.h"

namespace {

std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t count; (count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            output.append(chunk, count);
        }
        pclose(pipe);
    }
    return output;
}

TEST(ScoresPage, ShowsInARealBrowser) {
    TempFolder folder;
    ServerProcess server(folder.File("server.log"), {"--db", folder.File("scores.db")});
    ASSERT_EQ(GameExchange(server.Port(), SaveLine("Snow+Queen", 98765, false)), "!");
    for (int i = 1; i < 60; ++i) {
        ASSERT_EQ(GameExchange(server.Port(), SaveLine("Elf" + std::to_string(i), 1000 + i, false)), "!");
    }
    std::string url = " http://127.0.0.1:" + std::to_string(server.Port()) + "/scores";
    auto browser = [&](const std::string& profile) {
        return "HOME=" + folder.path +
               " timeout 90 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
               " --disable-background-networking --disable-component-update --disable-sync "
               "--window-size=1000,800"
               " --user-data-dir=" +
               folder.File(profile) + " 2>>" + folder.File("chromium.log") + " ";
    };
    std::string page = Shell(browser("dom") + "--dump-dom" + url);
    EXPECT_NE(page.find("<td class=\"name\">Snow Queen</td><td class=\"score\">98765</td>"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("Page 1 of 2"), std::string::npos);

    std::string shot = folder.File("shot.png");
    Shell(browser("shot") + "--screenshot=" + shot + url);
    // A dark winter sky at the top corner, a light card in the middle.
    std::istringstream colours(
        Shell("convert " + shot + " -crop 1x1+4+4 -format '%[fx:int(255*r)] %[fx:int(255*b)] ' info:" +
              " && convert " + shot + " -crop 1x1+500+300 -format '%[fx:int(255*r)]' info:"));
    int red = -1, blue = -1, cardRed = -1;
    colours >> red >> blue >> cardRed;
    EXPECT_TRUE(red >= 0 && red < 80 && blue > 60 && blue > red) << red << " " << blue;
    EXPECT_GT(cardRed, 200);
    std::rename(shot.c_str(), "scores_page.png");  // kept in the working folder to look at
}

}  // namespace
