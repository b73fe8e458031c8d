// main -- the command line: options, then the program.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "app/main_loop.h"
#include "app/render_window.h"

static void printUsage(std::FILE* to) {
    std::fputs("Usage: clothsim [--fullscreen]\n"
               "       clothsim --help | --version\n", to);
}

static void printHelp() {
    printUsage(stdout);
    std::puts("\n"
              "A cloth falls onto a sphere, hangs from two pinned nodes and blows in the wind.\n"
              "\n"
              "Options:\n"
              "  --fullscreen  fill the screen at 640 x 480; where the display cannot switch,\n"
              "                asks whether to go on in a window\n"
              "  --help        show this help and end\n"
              "  --version     show the version and end\n"
              "\n"
              "Keys:\n"
              "  Escape               quit\n"
              "  Page Up, Page Down   tilt the view up, down\n"
              "  Left, Right          turn left, right\n"
              "  Up, Down             walk forward, back\n"
              "  W, S                 fly forward, back the way you look\n"
              "  A, D                 step sideways\n"
              "  N                    normal lines on or off (flips every frame while held)\n"
              "  M                    wind on or off (flips every frame while held)\n"
              "  Z                    smooth or faceted shading\n"
              "  B                    hold or release the pinned nodes\n"
              "  R                    put the cloth back at its start\n"
              "  F1                   close and re-open the window\n"
              "\n"
              "Pointer:\n"
              "  drag (left button)   look around: 10 pixels a Left/Right or Page Up/Down step\n"
              "  wheel                walk: 3 Up or Down steps a notch\n");
    char here[4096];
    std::printf("The picture is read from %s/Data/foulard.bmp.\n"
                "What fails is shown in a box and told on stderr. Exit status: 0 after Escape\n"
                "or closing the window, 1 when the window could not be made, 2 for a wrong option.\n",
                getcwd(here, sizeof here) ? here : ".");
}

int main(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--help") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[k], "--version") == 0) {
            std::puts("clothsim " CLOTHSIM_VERSION);
            return 0;
        }
        if (std::strcmp(argv[k], "--fullscreen") == 0) {
            AppWindow.fullscreen = 1;
            continue;
        }
        std::fprintf(stderr, "clothsim: unknown option '%s'\n", argv[k]);
        printUsage(stderr);
        return 2;
    }
    // exit, not return: in the browser, a main that has let the page run in
    // between would otherwise end without ending the program.
    std::exit(applicationMain());
}
