// The shipped binary, run as a separate process under the test X server and
// worked through the window driver as a user would; judged by its windows, its
// message boxes and its exit status.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "tests/window_driver.h"

namespace {

const char* const title = "Tarv's OpenGL Framework";

class ShippedProgram : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(useTestDisplay()); }

    // The program started from the repository, so that Data/foulard.bmp is found.
    static pid_t start() { return startProgram({{CLOTHSIM_PATH}, {}, PROJECT_SOURCE_DIR, ""}); }
};

// Distinct colours in the upper third of the picture, where the cloth hangs.
size_t coloursOfTheCloth(const Screenshot& shot) {
    std::set<std::vector<unsigned char>> colours;
    for (size_t p = 0; p < shot.rgb.size() / 3; p += 3)
        colours.insert({shot.rgb[p], shot.rgb[p + 1], shot.rgb[p + 2]});
    return colours.size();
}

}  // namespace

// The options, and a start with no display to be had: what each prints and its
// exit status. Run without a display, so a window it tried to open would show
// as "no display" on stderr and status 1.
TEST(CommandLine, OptionsAndNoDisplay) {
    const std::string usage = "Usage: clothsim [--fullscreen]\n       clothsim --help | --version\n";
    struct Case {
        std::string arguments, display;
        int status;
        std::string out, err;  // out: how stdout starts
        std::string mentions;  // somewhere in stdout
    } cases[] = {
        {"--help", "", 0, usage + "\nA cloth falls", "", "/Data/foulard.bmp."},
        {"--version", "", 0, "clothsim " CLOTHSIM_VERSION "\n", "", ""},
        {"--fullscreen --frobnicate", "", 2, "", "clothsim: unknown option '--frobnicate'\n" + usage, ""},
        {"", "", 1, "", "clothsim: no display (DISPLAY is not set)\nERROR: Failed To Register The Window Class.\n", ""},
        {"", ":4242", 1, "", "clothsim: cannot open display :4242 (", ""},
    };
    const std::string out = testing::TempDir() + "clothsim.out", err = testing::TempDir() + "clothsim.err";
    for (const Case& c : cases) {
        SCOPED_TRACE("clothsim " + c.arguments + (c.display.empty() ? "" : " on " + c.display));
        std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER " +
                              (c.display.empty() ? "" : "DISPLAY=" + c.display + " ") + CLOTHSIM_PATH " " +
                              c.arguments + " >" + out + " 2>" + err;
        int status = std::system(command.c_str());
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.status);
        std::string printed = fileText(out), written = fileText(err);
        EXPECT_EQ(printed.substr(0, c.out.size()), c.out);
        EXPECT_EQ(printed.empty(), c.out.empty());
        EXPECT_NE(printed.find(c.mentions), std::string::npos);
        // the whole of stderr, or how it starts where SDL adds its reason
        EXPECT_EQ(c.display.empty() ? written : written.substr(0, c.err.size()), c.err);
    }
}

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

// R held, the sheet stays flat over the lit sphere: the cloth shows its
// picture and the sphere its yellow highlight. The frame is what the browser
// build is compared with; CLOTHSIM_STILL_SHEET_PPM names where it is kept.
TEST_F(ShippedProgram, StillSheetShowsItsPictureOverTheHighlightedSphere) {
    pid_t program = start();
    WindowDriver user;
    XWindowId window = user.waitForWindow(title, program);
    if (window && user.waitForFocus(window)) {
        user.pressKey("r");
        user.waitForFrames(window, 10);
        EXPECT_TRUE(user.pictureStaysStill(window));
        const Screenshot shot = user.screenshot(window);
        // Seen from below in the light from above, the flat sheet is dim:
        // about 240 colours in the upper third.
        EXPECT_GT(coloursOfTheCloth(shot), 150u);
        bool highlight = false;
        for (size_t p = 0; p + 2 < shot.rgb.size(); p += 3)
            highlight |= shot.rgb[p] > 220 && shot.rgb[p + 1] > 220 && shot.rgb[p + 2] + 40 < shot.rgb[p];
        EXPECT_TRUE(highlight);
        if (const char* path = std::getenv("CLOTHSIM_STILL_SHEET_PPM")) {
            std::ofstream(path, std::ios::binary)
                << "P6\n" << shot.width << ' ' << shot.height << "\n255\n"
                << std::string(shot.rgb.begin(), shot.rgb.end());
        }
        user.releaseKey("r");
        user.pressKeyUntilGone(window, "Escape");
    }
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
}

// No picture where it is looked for, a FIFO nobody writes to or a folder in its
// place: one box, at once; the terminal is told which file and why, and the
// status says it failed. The boxes are logged by a preloaded stand-in, so
// nothing waits for a click.
TEST_F(ShippedProgram, WithoutItsPictureOnlyInitializationFailedIsShown) {
    const std::pair<const char*, const char*> cases[] = {
        {"missing", "No such file or directory"}, {"fifo", "not a regular file"}, {"folder", "Is a directory"}};
    for (auto [what, why] : cases) {
        SCOPED_TRACE(what);
        std::string directory = scratchDirectory(), picture = directory + "/Data/foulard.bmp";
        ASSERT_NE(directory, "");
        ASSERT_EQ(mkdir((directory + "/Data").c_str(), 0755), 0);
        if (what == std::string("fifo")) {
            ASSERT_EQ(mkfifo(picture.c_str(), 0644), 0);
        }
        if (what == std::string("folder")) {
            ASSERT_EQ(mkdir(picture.c_str(), 0755), 0);
        }
        std::string log = directory + "/boxes.log", err = directory + "/stderr";
        pid_t program = startProgram({{CLOTHSIM_PATH},
                                      {"LD_PRELOAD=" MESSAGE_BOX_LOGGER_PATH, "MESSAGE_BOX_LOG=" + log},
                                      directory, err});
        EXPECT_EQ(waitForExit(program), 1);
        EXPECT_EQ(fileText(log), "ERROR\tInitialization Failed.\n");
        EXPECT_EQ(fileText(err), std::string("clothsim: cannot read Data/foulard.bmp: ") + why + "\n");
        std::system(("rm -rf " + directory).c_str());
    }
}

// --fullscreen through the real SDL layer. The test server's only mode is its
// 1024 x 768, so the question comes: Yes goes on in a window, No ends.
TEST_F(ShippedProgram, FullScreenRefusedAsksWhetherToGoOnInAWindow) {
    for (std::string answer : {"Yes", "No"}) {
        SCOPED_TRACE(answer);
        std::string directory = scratchDirectory(), log = directory + "/boxes.log";
        pid_t program = startProgram({{CLOTHSIM_PATH, "--fullscreen"},
                                      {"LD_PRELOAD=" MESSAGE_BOX_LOGGER_PATH, "MESSAGE_BOX_LOG=" + log,
                                       "MESSAGE_BOX_ANSWER=" + answer},
                                      PROJECT_SOURCE_DIR, directory + "/stderr"});
        std::string boxes = "Tarv GL\tThe Requested Fullscreen Mode Is Not Supported By\n"
                            "Your Video Card. Use Windowed Mode Instead?\n";
        if (answer == "Yes") {
            WindowDriver user;
            XWindowId window = user.waitForWindow(title, program);
            int width = 0, height = 0;
            EXPECT_TRUE(user.clientSize(window, &width, &height));
            EXPECT_EQ(width, 640);
            EXPECT_EQ(height, 480);
            // framed by the window manager: not a full-screen popup
            std::vector<uint32_t> frame = user.cardinals(window, "_NET_FRAME_EXTENTS");
            EXPECT_TRUE(frame.size() == 4 && frame[2] > 0);
            if (user.waitForFocus(window)) user.pressKeyUntilGone(window, "Escape");
            EXPECT_EQ(user.failure(), "");
            EXPECT_EQ(waitForExit(program), 0);
        } else {
            EXPECT_EQ(waitForExit(program), 1);
            boxes += "ERROR\tProgram Will Now Close.\n";
        }
        EXPECT_EQ(fileText(log), boxes);
        EXPECT_EQ(fileText(directory + "/stderr"),
                  "clothsim: cannot switch the display to 640 x 480: the display offers no 640 x 480 mode\n");
        std::system(("rm -rf " + directory).c_str());
    }
}

// On a server whose one mode is 640 x 480 the switch succeeds: no question, a
// window over the whole screen, and the same after F1; nothing on stderr.
TEST_F(ShippedProgram, FullScreenWhereTheDisplayCanSwitch) {
    const std::string display = testDisplay(true), directory = scratchDirectory();
    ASSERT_NE(display, "");
    pid_t program = startProgram({{CLOTHSIM_PATH, "--fullscreen"},
                                  {"DISPLAY=" + display, "LD_PRELOAD=" MESSAGE_BOX_LOGGER_PATH,
                                   "MESSAGE_BOX_LOG=" + directory + "/boxes.log"},
                                  PROJECT_SOURCE_DIR, directory + "/stderr"});
    WindowDriver user(display.c_str());
    XWindowId window = user.waitForWindow(title, program);
    for (int opened = 1; opened <= 2 && window && user.waitForFocus(window); ++opened) {
        SCOPED_TRACE(opened == 1 ? "at the start" : "after F1");
        int x = -1, y = -1, width = 0, height = 0;
        EXPECT_TRUE(user.clientSize(window, &width, &height) && user.rootPosition(window, &x, &y));
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
        EXPECT_EQ(width, 640);
        EXPECT_EQ(height, 480);
        EXPECT_EQ(user.cardinals(window, "_NET_FRAME_EXTENTS"), std::vector<uint32_t>(4, 0u));
        if (opened == 1 && user.pressKeyUntilGone(window, "F1")) window = user.waitForWindow(title, program, window);
    }
    if (window) user.pressKeyUntilGone(window, "Escape");
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
    EXPECT_EQ(fileText(directory + "/boxes.log"), "");
    EXPECT_EQ(fileText(directory + "/stderr"), "");
    std::system(("rm -rf " + directory).c_str());
}

// What the program's Wayland connection reports (WAYLAND_DEBUG, on its
// stderr): the windows it makes and ends, and which has the keyboard.
class WaylandLog {
public:
    explicit WaylandLog(const std::string& path) : path(path) {}
    int windowsMade = 0, windowsEnded = 0;
    bool newestHasKeyboard = false;

    // Until `done` holds over what has been reported, or the deadline.
    template <typename Done>
    bool waitFor(Done done) {
        testStage("waiting for what the program's Wayland connection reports");
        for (int tick = 0; tick < (int)(driverDeadlineSeconds * 100); ++tick, usleep(10000)) {
            read();
            if (done()) return true;
        }
        return false;
    }

private:
    std::string path, newestSurface;
    size_t offset = 0;  // of the first line not read yet

    // "wl_surface@36" (Debian 13's libwayland: "wl_surface#36") as "36".
    static std::string object(const std::string& line, const std::string& interface) {
        size_t at = line.find(interface + "@");
        if (at == std::string::npos) at = line.find(interface + "#");
        if (at == std::string::npos) return "";
        at += interface.size() + 1;
        return line.substr(at, line.find_first_not_of("0123456789", at) - at);
    }
    static bool has(const std::string& line, const char* text) { return line.find(text) != std::string::npos; }
    // Only what was written since the last look; a line not yet ended waits.
    void read() {
        std::ifstream log(path);
        log.seekg((std::streamoff)offset);
        for (std::string line; std::getline(log, line) && !log.eof(); offset += line.size() + 1) {
            if (has(line, ".get_xdg_surface(")) {
                ++windowsMade;
                newestSurface = object(line, "wl_surface");
                newestHasKeyboard = false;
            } else if (has(line, "-> xdg_toplevel") && has(line, ".destroy()")) {
                ++windowsEnded;
            } else if (!object(line, "wl_keyboard").empty()) {
                if (has(line, ".enter(")) newestHasKeyboard = object(line, "wl_surface") == newestSurface;
                if (has(line, ".leave(")) newestHasKeyboard = false;
            }
        }
    }
};

// The shipped program on Wayland, under weston in a window of the test X
// server, which gives it a seat: XTEST keys reach the client weston has
// focused. Nothing is clicked: weston gives each new window the keyboard, as a
// desktop does, so a key held through F1 reaches the new window without help.
// Windows and focus are judged by what the program's connection reports, the
// camera by weston's picture. The made-up key-ups of a window's end are told
// apart without X, and with Debian 12's SDL 2.26 F1 must not crash in libdecor.
TEST_F(ShippedProgram, OnWaylandKeysHoldThroughF1AndTenF1sReopenTheWindow) {
    const std::string state = std::getenv("CLOTHSIM_TEST_X");
    std::istringstream wayland(fileText(state + "/wayland")), window(fileText(state + "/weston-window"));
    std::string socket;
    XWindowId output = 0;
    wayland >> socket;
    window >> std::hex >> output;
    ASSERT_NE(output, 0u);
    WindowDriver user;
    // The pointer off weston's output, which then neither draws it nor gives
    // the window under it anything; weston's window gets the X keyboard.
    user.movePointer(output, 1000, 760);
    user.activate(output);
    ASSERT_TRUE(user.waitForFocus(output));
    std::string scratch = scratchDirectory(), log = scratch + "/wayland.log";
    pid_t program = startProgram({{CLOTHSIM_PATH},
                                  {"SDL_VIDEODRIVER=wayland", "WAYLAND_DISPLAY=" + socket,
                                   "XDG_RUNTIME_DIR=" + state + "/runtime", "WAYLAND_DEBUG=1"},
                                  PROJECT_SOURCE_DIR, log});
    WaylandLog reported(log);
    auto focusedWindow = [&](int made) {
        return reported.waitFor([&] { return reported.windowsMade > made && reported.newestHasKeyboard; }) ||
               user.fail("no window of the program's has the keyboard");
    };
    // A key pressed and let go before the loop looks is lost: F1 is held until
    // the window has ended.
    auto reopen = [&] {
        int made = reported.windowsMade, ended = reported.windowsEnded;
        user.pressKey("F1");
        if (!reported.waitFor([&] { return reported.windowsEnded > ended; })) user.fail("F1 ended no window");
        user.releaseKey("F1");
        return focusedWindow(made);
    };
    ASSERT_TRUE(focusedWindow(0)) << fileText(log).substr(0, 2000);
    user.pressKey("r");  // the cloth stays at its first step
    user.pressKey("s");
    EXPECT_TRUE(user.pictureKeepsChanging(output)) << "S held";
    reopen();
    EXPECT_TRUE(user.pictureKeepsChanging(output)) << "S held through F1";
    user.releaseKey("s");
    EXPECT_TRUE(user.pictureStaysStill(output)) << "S released";
    user.releaseKey("r");
    for (int press = 0; press < 10 && user.ok(); ++press) {
        SCOPED_TRACE(press);
        reopen();
        EXPECT_EQ(kill(program, 0), 0) << "the program ended";
    }
    int ended = reported.windowsEnded;
    user.pressKey("Escape");
    reported.waitFor([&] { return reported.windowsEnded > ended; });
    user.releaseKey("Escape");
    EXPECT_EQ(user.failure(), "");
    EXPECT_EQ(waitForExit(program), 0);
    if (HasFailure())
        std::printf("the program's Wayland log: %s\n", log.c_str());
    else
        std::system(("rm -rf " + scratch).c_str());
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
                                  scratch, ""});
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
