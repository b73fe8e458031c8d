// The shipped binary, run as a separate process under the test X server and
// worked through the window driver as a user would; judged by its windows, its
// message boxes and its exit status.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <set>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/window_driver.h"

namespace {

const char* const title = "Tarv's OpenGL Framework";

class ShippedProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(useTestDisplay()); }

    // The program started from the repository, so that Data/foulard.bmp is found.
    static pid_t start() { return startProgram({{CLOTHSIM_PATH}, {}, PROJECT_SOURCE_DIR}); }
};

std::string fileText(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::string scratchDirectory() {
    char pattern[] = "/tmp/clothsim-test-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

// Distinct colours in the upper third of the picture, where the cloth hangs.
size_t coloursOfTheCloth(const Screenshot& shot) {
    std::set<std::vector<unsigned char>> colours;
    for (size_t p = 0; p < shot.rgb.size() / 3; p += 3)
        colours.insert({shot.rgb[p], shot.rgb[p + 1], shot.rgb[p + 2]});
    return colours.size();
}

}  // namespace

TEST_F(ShippedProgram, EveryF1ReopensTheWindowAndEscapeEndsWithStatusZero) {
    pid_t program = start();
    WindowDriver user;
    XWindowId window = user.waitForWindow(title, program);
    int reopened = 0;
    for (; reopened < 25 && window && user.waitForFocus(window); ++reopened) {
        user.pressKeyUntilGone(window, "F1");
        window = user.waitForWindow(title, program, window);
    }
    EXPECT_EQ(reopened, 25);
    EXPECT_EQ(user.countWindows(title, program), 1);
    if (window) user.pressKeyUntilGone(window, "Escape");
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
}

// With the server's own autorepeat, as on a desktop.
TEST_F(ShippedProgram, HeldKeyKeepsActingThroughItsRepeatsAndStopsWhenReleased) {
    pid_t program = start();
    WindowDriver user;
    XWindowId window = user.waitForWindow(title, program);
    if (window && user.waitForFocus(window)) {
        user.pressKey("r");  // the cloth stays at its first step
        user.pressKeyUntilRepeated(window, "s", 3);
        EXPECT_TRUE(user.pictureKeepsChanging(window));
        user.releaseKey("s");
        EXPECT_TRUE(user.pictureStaysStill(window));
        user.releaseKey("r");
        user.pressKeyUntilGone(window, "Escape");
    }
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
}

// No picture where it is looked for, or a FIFO nobody writes to in its place:
// one box, at once. The boxes are logged by a preloaded stand-in, so nothing
// waits for a click.
TEST_F(ShippedProgram, WithoutItsPictureOnlyInitializationFailedIsShown) {
    for (bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "FIFO" : "missing");
        std::string directory = scratchDirectory();
        ASSERT_NE(directory, "");
        if (fifo) {
            ASSERT_EQ(mkdir((directory + "/Data").c_str(), 0755), 0);
            ASSERT_EQ(mkfifo((directory + "/Data/foulard.bmp").c_str(), 0644), 0);
        }
        std::string log = directory + "/boxes.log";
        pid_t program = startProgram({{CLOTHSIM_PATH},
                                      {"LD_PRELOAD=" MESSAGE_BOX_LOGGER_PATH, "MESSAGE_BOX_LOG=" + log},
                                      directory});
        EXPECT_EQ(waitForExit(program), 0);
        EXPECT_EQ(fileText(log), "ERROR\tInitialization Failed.\n");
        std::system(("rm -rf " + directory).c_str());
    }
}

// Installed into a scratch prefix and started from elsewhere, the command finds
// its picture: no box, and the cloth shows the picture's many colours rather
// than a plain lit surface. Its desktop entry starts that command.
TEST_F(ShippedProgram, InstalledCommandShowsThePictureFromAnyDirectory) {
    std::string scratch = scratchDirectory(), prefix = scratch + "/prefix";
    std::string install = CMAKE_COMMAND " --install " BUILD_DIR " --prefix " + prefix + " >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0);
    std::string entry = fileText(prefix + "/share/applications/clothsim.desktop");
    EXPECT_NE(entry.find("\nExec=\"" + prefix + "/bin/clothsim\"\n"), std::string::npos) << entry;
    std::string validate = "desktop-file-validate " + prefix + "/share/applications/clothsim.desktop";
    EXPECT_EQ(std::system(validate.c_str()), 0);

    std::string log = scratch + "/boxes.log";
    pid_t program = startProgram({{prefix + "/bin/clothsim"},
                                  {"LD_PRELOAD=" MESSAGE_BOX_LOGGER_PATH, "MESSAGE_BOX_LOG=" + log},
                                  scratch});
    WindowDriver user;
    XWindowId window = user.waitForWindow(title, program);
    // By then the cloth has fallen over the upper third: about 18,000 colours
    // with the picture, 180 with a plain grey one.
    if (window && user.waitForFrames(window, 200)) {
        EXPECT_GT(coloursOfTheCloth(user.screenshot(window)), 1000u);
        user.waitForFocus(window);
        user.pressKeyUntilGone(window, "Escape");
    }
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
    EXPECT_EQ(fileText(log), "");
    std::system(("rm -rf " + scratch).c_str());
}
