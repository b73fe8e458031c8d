// frame_bench -- frames per second of the program's own frame: drawFrame and
// present in a 640 x 480 window with 16-bit colour and depth, after a reset.
// Usage: frame_bench [FRAMES [RUNS]]  (defaults 3000 and 5). Prints each run and
// the best. Needs Data/foulard.bmp in the working directory. For the offscreen
// driver: SDL_VIDEODRIVER=offscreen DISPLAY= frame_bench; under X: DISPLAY=:n.

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "cloth/cloth_grid.h"
#include "render/draw_frame.h"
#include "render/reset_scene.h"

// The image reader reports through the window system; here stderr will do.
#include "platform/window_system.h"
WindowHandle windowWithKeyboardFocus() { return nullptr; }
MessageAnswer showMessageBox(WindowHandle, const char* text, const char* caption, MessageIcon,
                             MessageButtons) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return messageAnswerOk;
}

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 3000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    if (frames <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: frame_bench [FRAMES [RUNS]]\n");
        return 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow("frame_bench", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 640, 480, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "no GL window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);  // vsync would measure the display, not the frame
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 640.0 / 480.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    std::printf("renderer: %s, video driver: %s\n", (const char*)glGetString(GL_RENDERER),
                SDL_GetCurrentVideoDriver());
    double best = 0.0;
    for (int run = 0; run < runs; ++run) {
        // Each run starts from the flat sheet, so runs time the same frames.
        if (!resetScene()) {
            std::fprintf(stderr, "cannot load Data/foulard.bmp\n");
            return 1;
        }
        const Uint64 start = SDL_GetPerformanceCounter();
        for (int f = 0; f < frames; ++f) {
            drawFrame();
            SDL_GL_SwapWindow(window);
        }
        glFinish();
        const double seconds =
            (double)(SDL_GetPerformanceCounter() - start) / (double)SDL_GetPerformanceFrequency();
        const double fps = frames / seconds;
        if (fps > best) best = fps;
        std::printf("run %d: %d frames in %.3f s, %.1f frames per second\n", run + 1, frames, seconds,
                    fps);
    }
    std::printf("best: %.1f frames per second\n", best);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
