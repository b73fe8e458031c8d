// clothtrace -- runs the cloth headless and prints every node's state.
//
//   clothtrace [--portable] FRAMES [AFTER:KEYS ...]
//
// --portable takes the code paths processors without AVX2 run, on any processor.
// After frame AFTER (0 = before the first) the letters of KEYS act in order:
// M wind, B pins, Z smooth normals, N normal lines, R reset of the sheet.
// Prints "i j x y z vx vy vz" for all 2,025 nodes; %.9g round-trips a float.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "cloth/cloth_grid.h"
#include "cloth/simd_avx2.h"
#include "cloth/simulate_frame.h"

namespace {

struct KeyBatch {
    long after;
    const char* keys;
};

int usage() {
    std::fprintf(stderr, "usage: clothtrace [--portable] FRAMES [AFTER:KEYS ...]  (KEYS from M B Z N R, 0 <= AFTER <= FRAMES)\n");
    return 2;
}

bool parseCount(const char* text, const char* end, long& value) {
    if (text == end || *text < '0' || *text > '9') return false;
    errno = 0;
    char* stop = nullptr;
    value = std::strtol(text, &stop, 10);
    return errno == 0 && stop == end && value >= 0 && value <= 100000000;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes as on Linux: no carriage returns.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    int first = 1;
    if (argc > 1 && std::strcmp(argv[1], "--portable") == 0) {
#ifdef CLOTH_HAVE_AVX2_PATH
        avx2PathsDisabled = true;
#endif
        first = 2;
    }
    if (argc <= first) return usage();
    long frames = 0;
    if (!parseCount(argv[first], argv[first] + std::strlen(argv[first]), frames)) return usage();

    std::vector<KeyBatch> batches;
    for (int a = first + 1; a < argc; ++a) {
        const char* colon = std::strchr(argv[a], ':');
        long after = 0;
        if (!colon || !parseCount(argv[a], colon, after) || after > frames) return usage();
        const char* keys = colon + 1;
        if (*keys == '\0' || std::strspn(keys, "MBZNR") != std::strlen(keys)) return usage();
        batches.push_back({after, keys});
    }

    clearClothState();
    resetClothSheet();
    for (long frame = 0; frame <= frames; ++frame) {
        if (frame > 0) simulateClothFrame();
        for (const KeyBatch& batch : batches)
            if (batch.after == frame)
                for (const char* k = batch.keys; *k; ++k) applyKey(*k);
    }

    for (int i = 0; i < gridSize; ++i) {
        for (int j = 0; j < gridSize; ++j) {
            const ClothParticle& node = ClothGrid[i][j];
            std::printf("%d %d %.9g %.9g %.9g %.9g %.9g %.9g\n", i, j, node.position[0], node.position[1],
                        node.position[2], node.velocity[0], node.velocity[1], node.velocity[2]);
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
