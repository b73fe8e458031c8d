// The public BMP test suite: every file of its manifest.tsv gets the outcome the
// manifest names. The folder comes from the build (BMPSUITE_DIR); when it is
// missing, SuiteIsPresent fails rather than the suite silently running nothing.

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image/dib_reader.h"
#include "tests/fake_window_system.h"

struct SuiteEntry {
    std::string file;  // relative to the suite folder, e.g. "g/pal8.bmp"
    int width;
    int height;  // signed as in the file
    std::string outcome;
};

static void PrintTo(const SuiteEntry& entry, std::ostream* out) { *out << entry.file << " (" << entry.outcome << ")"; }

static std::vector<SuiteEntry> readManifest() {
    std::vector<SuiteEntry> entries;
    std::ifstream manifest(std::string(BMPSUITE_DIR) + "/manifest.tsv");
    std::string line;
    std::getline(manifest, line);  // column names
    while (std::getline(manifest, line)) {
        std::vector<std::string> columns;
        std::stringstream fields(line);
        std::string column;
        while (std::getline(fields, column, '\t')) columns.push_back(column);
        if (columns.size() < 7) continue;
        entries.push_back({columns[0], std::atoi(columns[4].c_str()), std::atoi(columns[5].c_str()), columns[6]});
    }
    return entries;
}

// The expected picture, turned from PPM's top-first rows to bottom-first.
static bool readExpected(const std::string& name, int& width, int& height, std::vector<unsigned char>& rgb) {
    std::ifstream ppm(std::string(BMPSUITE_DIR) + "/expected/" + name + ".ppm", std::ios::binary);
    std::string magic;
    int maxValue = 0;
    if (!(ppm >> magic >> width >> height >> maxValue) || magic != "P6" || maxValue != 255) return false;
    ppm.get();
    const size_t rowBytes = (size_t)width * 3;
    std::vector<unsigned char> topFirst(rowBytes * height);
    if (!ppm.read((char*)topFirst.data(), (std::streamsize)topFirst.size())) return false;
    rgb.clear();
    for (int row = height - 1; row >= 0; --row)
        rgb.insert(rgb.end(), topFirst.begin() + row * rowBytes, topFirst.begin() + (row + 1) * rowBytes);
    return true;
}

static bool isDecodingMessage(const Messages& messages) {
    return messages.size() == 1 && messages[0].first == "Error" &&
           (messages[0].second == "Image file conversion error." || messages[0].second == "Out of memory." ||
            messages[0].second == "Unknown DIB file format.");
}

TEST(BmpSuite, SuiteIsPresent) {
    const std::vector<SuiteEntry> entries = readManifest();
    EXPECT_EQ(entries.size(), 60u) << "BMP suite missing or incomplete at " << BMPSUITE_DIR
                                   << " (tests/data/bmpsuite)";
}

class BmpSuiteFile : public testing::TestWithParam<SuiteEntry> {
protected:
    void SetUp() override { resetFakeWindowSystem(); }
};

TEST_P(BmpSuiteFile, GivesManifestOutcome) {
    const SuiteEntry& entry = GetParam();
    const std::string path = std::string(BMPSUITE_DIR) + "/" + entry.file;
    RgbImage* image = readDibFile(path.c_str());
    const bool decoded = image != nullptr;
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    if (image) {
        width = image->width;
        height = image->height;
        rgb.assign(image->data, image->data + (size_t)width * height * 3);
        freeRgbImage(image);
    }

    if (entry.outcome == "decode" || entry.outcome == "decode-tol1") {
        ASSERT_TRUE(decoded) << (fakeMessages.empty() ? "" : fakeMessages[0].second);
        EXPECT_TRUE(fakeMessages.empty());
        int expectedWidth = 0;
        int expectedHeight = 0;
        std::vector<unsigned char> expected;
        ASSERT_TRUE(readExpected(entry.file.substr(2, entry.file.size() - 6), expectedWidth, expectedHeight, expected));
        ASSERT_EQ(width, expectedWidth);
        ASSERT_EQ(height, expectedHeight);
        ASSERT_EQ(height, std::abs(entry.height));
        if (entry.outcome == "decode") {
            EXPECT_TRUE(rgb == expected);
        } else {
            size_t off = 0;
            for (size_t k = 0; k < rgb.size(); ++k)
                off += std::abs(rgb[k] - expected[k]) > 1;
            EXPECT_EQ(off, 0u) << "bytes more than 1 away";
        }
    } else if (entry.outcome == "reject-unknown-format") {
        EXPECT_FALSE(decoded);
        EXPECT_EQ(fakeMessages, (Messages{{"Error", "Unknown DIB file format."}}));
    } else if (entry.outcome == "clean-error") {
        EXPECT_FALSE(decoded);
        EXPECT_TRUE(isDecodingMessage(fakeMessages));
    } else {
        ASSERT_EQ(entry.outcome, "any");
        if (decoded) {
            EXPECT_TRUE(fakeMessages.empty());
            EXPECT_EQ(width, entry.width);
            EXPECT_EQ(height, std::abs(entry.height));
        } else {
            EXPECT_TRUE(isDecodingMessage(fakeMessages));
        }
    }
}

static std::string testName(const testing::TestParamInfo<SuiteEntry>& info) {
    std::string name = info.param.file.substr(0, info.param.file.size() - 4);
    for (char& c : name)
        if (!isalnum((unsigned char)c)) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Manifest, BmpSuiteFile, testing::ValuesIn(readManifest()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BmpSuiteFile);
