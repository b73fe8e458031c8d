// make_foulard -- draws the cloth's picture, a foulard, and writes it as a bitmap.
//
//   make_foulard OUT.bmp
//
// 256 x 256, 24 bits, 40-byte header after the file header: the file committed as
// Data/foulard.bmp. Cream and gold flowers with teal leaves alternate with small
// gold-rimmed navy diamonds on a wine ground, inside a navy border with a diamond chain.
// Integer arithmetic only, so every machine writes the same bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

constexpr int side = 256;
constexpr int unit = 8;                   // geometry in eighths of a pixel
constexpr int span = side * unit;         // 2048
constexpr int samplesPerAxis = 4;         // 16 samples per pixel smooth the edges

struct Colour {
    int red;
    int green;
    int blue;
};

constexpr Colour wine = {118, 22, 44};
constexpr Colour deepWine = {78, 12, 30};
constexpr Colour cream = {242, 230, 202};
constexpr Colour gold = {214, 168, 72};
constexpr Colour teal = {38, 114, 104};
constexpr Colour navy = {28, 40, 86};
constexpr Colour darkNavy = {18, 24, 54};

constexpr int px(int pixels) { return pixels * unit; }
constexpr int tenths(int tenthsOfPixel) { return tenthsOfPixel * unit / 10; }

static bool within(int dx, int dy, int radius) { return dx * dx + dy * dy <= radius * radius; }
static int absolute(int v) { return v < 0 ? -v : v; }

// Offset of v from the nearest multiple of step, v and the result in units.
static int offsetFromLattice(int v, int step, int& index) {
    index = (v >= 0 ? v + step / 2 : v - step / 2) / step;
    return v - index * step;
}

// Cream petals ringed in gold round a gold heart, teal leaves on the diagonals.
static Colour flower(int dx, int dy, Colour ground) {
    if (within(dx, dy, tenths(20))) return gold;
    if (within(dx, dy, tenths(28))) return deepWine;
    const int petals[4][2] = {{px(4) + 4, 0}, {-px(4) - 4, 0}, {0, px(4) + 4}, {0, -px(4) - 4}};
    for (const auto& petal : petals) {
        if (within(dx - petal[0], dy - petal[1], tenths(24))) return cream;
        if (within(dx - petal[0], dy - petal[1], tenths(31))) return gold;
    }
    const int leaf = tenths(46);
    for (int sx = -1; sx <= 1; sx += 2)
        for (int sy = -1; sy <= 1; sy += 2)
            if (absolute(dx - sx * leaf) + absolute(dy - sy * leaf) <= tenths(22)) return teal;
    return ground;
}

static Colour smallDiamond(int dx, int dy, Colour ground) {
    if (within(dx, dy, tenths(10))) return cream;
    if (absolute(dx) + absolute(dy) <= tenths(26)) return navy;
    if (absolute(dx) + absolute(dy) <= tenths(36)) return gold;
    return ground;
}

// Motifs sit on a 24-pixel lattice centred on the picture; flowers where the
// lattice indices add up even, diamonds between them.
static Colour field(int u, int v) {
    int column;
    int row;
    const int dx = offsetFromLattice(u, px(24), column);
    const int dy = offsetFromLattice(v, px(24), row);
    if (absolute(column) > 4 || absolute(row) > 4) return wine;
    return (column + row) % 2 == 0 ? flower(dx, dy, wine) : smallDiamond(dx, dy, wine);
}

// The band between the gold lines: a chain of cream diamonds every 16 pixels,
// gold dots between them, a rosette in each corner.
static Colour borderBand(int along, int across, int cornerX, int cornerY, bool corner) {
    if (corner) {
        if (within(cornerX, cornerY, tenths(21))) return cream;
        if (within(cornerX, cornerY, tenths(45))) return wine;
        if (within(cornerX, cornerY, tenths(62))) return gold;
        return navy;
    }
    int link;
    const int dt = offsetFromLattice(along, px(16), link);
    int diamond = absolute(dt) + absolute(across);
    // The last links would be cut in half by the corner squares: leave them out.
    const bool wholeLink = absolute(link * px(16)) + px(6) < span / 2 - px(19);
    if (!wholeLink) diamond = px(99);
    if (diamond <= tenths(10)) return gold;
    if (diamond <= tenths(26)) return wine;
    if (diamond <= tenths(52)) return cream;
    const int gap = dt >= 0 ? dt - px(8) : dt + px(8);
    if (within(gap, across, tenths(13))) return gold;
    return navy;
}

// The colour at one sample point; x and y in units from the top-left corner.
static Colour sample(int x, int y) {
    const int fromLeft = x < span - x ? x : span - x;
    const int fromTop = y < span - y ? y : span - y;
    const int edge = fromLeft < fromTop ? fromLeft : fromTop;
    if (edge < px(2)) return darkNavy;
    if (edge < px(3)) return gold;
    if (edge < px(19)) {
        const bool corner = fromLeft < px(19) && fromTop < px(19);
        const int bandMiddle = px(11);
        const int along = fromTop < fromLeft ? x - span / 2 : y - span / 2;
        return borderBand(along, edge - bandMiddle, fromLeft - bandMiddle, fromTop - bandMiddle, corner);
    }
    if (edge < px(20)) return gold;
    return field(x - span / 2, y - span / 2);
}

static void putU16(std::vector<unsigned char>& out, uint32_t value) {
    out.push_back((unsigned char)value);
    out.push_back((unsigned char)(value >> 8));
}

static void putU32(std::vector<unsigned char>& out, uint32_t value) {
    putU16(out, value & 0xFFFF);
    putU16(out, value >> 16);
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_foulard OUT.bmp\n");
        return 2;
    }
    const uint32_t pixelBytes = side * side * 3;  // rows of 768 bytes need no padding
    std::vector<unsigned char> file;
    file.push_back('B');
    file.push_back('M');
    putU32(file, 14 + 40 + pixelBytes);
    putU32(file, 0);
    putU32(file, 14 + 40);
    putU32(file, 40);
    putU32(file, side);
    putU32(file, side);  // positive: bottom row first
    putU16(file, 1);
    putU16(file, 24);
    putU32(file, 0);     // no compression
    putU32(file, pixelBytes);
    putU32(file, 2835);  // 72 dots per inch
    putU32(file, 2835);
    putU32(file, 0);
    putU32(file, 0);

    constexpr int samples = samplesPerAxis * samplesPerAxis;
    for (int row = side - 1; row >= 0; --row) {
        for (int column = 0; column < side; ++column) {
            int red = 0;
            int green = 0;
            int blue = 0;
            for (int sy = 0; sy < samplesPerAxis; ++sy) {
                for (int sx = 0; sx < samplesPerAxis; ++sx) {
                    // Odd offsets: samples sit symmetrically inside the pixel.
                    const Colour c = sample(px(column) + 2 * sx + 1, px(row) + 2 * sy + 1);
                    red += c.red;
                    green += c.green;
                    blue += c.blue;
                }
            }
            file.push_back((unsigned char)((blue + samples / 2) / samples));
            file.push_back((unsigned char)((green + samples / 2) / samples));
            file.push_back((unsigned char)((red + samples / 2) / samples));
        }
    }

    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
