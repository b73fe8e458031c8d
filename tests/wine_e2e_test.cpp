// The Windows build of the program under Wine, in the test X server: its own
// Win32 window and WGL context, judged by what the window shows.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/window_driver.h"

namespace {

const char* const title = "Tarv's OpenGL Framework";

pid_t startUnderWine(const std::string& directory, const std::string& debug, const std::string& err) {
    return startProgram({{WINE, CLOTHSIM_EXE}, {"WINEPREFIX=" WINE_PREFIX, "WINEDEBUG=" + debug}, directory, err});
}

}  // namespace

TEST(WindowsBuildUnderWine, OpensMovesReopensAndEndsWithStatusZero) {
    ASSERT_TRUE(useTestDisplay());
    pid_t program = startUnderWine(PROJECT_SOURCE_DIR, "-all", testing::TempDir() + "clothsim-wine.err");
    WindowDriver user;
    XWindowId window = user.waitForWindow(title, program);
    if (window && user.waitForFocus(window)) {
        user.pressKey("r");  // the cloth stays at its first step
        user.pressKey("w");
        EXPECT_TRUE(user.pictureKeepsChanging(window)) << "W moves the camera";
        user.releaseKey("w");
        EXPECT_TRUE(user.pictureStaysStill(window)) << "W released";
        const Screenshot still = user.screenshot(window);
        user.movePointer(window, 300, 200);
        user.pressButton(true);
        user.movePointer(window, 400, 260);
        user.pressButton(false);
        EXPECT_TRUE(user.waitForFrames(window, 5) && !(user.screenshot(window) == still)) << "a drag turns the view";
        user.releaseKey("r");
        user.pressKeyUntilGone(window, "F1");
        window = user.waitForWindow(title, program, window);
        if (window && user.waitForFocus(window)) user.pressKeyUntilGone(window, "Escape");
    }
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
    EXPECT_EQ(fileText(testing::TempDir() + "clothsim-wine.err"), "");
}

// Wine's trace of its message box names the text the box shows.
TEST(WindowsBuildUnderWine, WithoutThePictureAWindowsBoxSaysInitializationFailed) {
    ASSERT_TRUE(useTestDisplay());
    const std::string directory = scratchDirectory(), err = directory + "/stderr";
    ASSERT_NE(directory, "");
    pid_t program = startUnderWine(directory, "-all,trace+msgbox", err);
    WindowDriver user;
    XWindowId box = user.waitForWindow("ERROR", program);
    if (box && user.waitForFocus(box)) user.pressKeyUntilGone(box, "Return");
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 1);
    const std::string written = fileText(err);
    EXPECT_NE(written.find("clothsim: cannot read Data/foulard.bmp: No such file or directory"),
              std::string::npos) << written;
    EXPECT_NE(written.find("MSGBOX_OnInit L\"Initialization Failed.\""), std::string::npos) << written;
    std::system(("rm -rf " + directory).c_str());
}
