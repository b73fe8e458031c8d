#include "image/dib_reader.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/dib_test_bytes.h"
#include "tests/fake_window_system.h"

static void* (*const defaultAllocate)(size_t) = dibAllocate;

static int openDescriptors() {
    int count = 0;
    DIR* fds = opendir("/proc/self/fd");
    while (fds && readdir(fds)) ++count;
    if (fds) closedir(fds);
    return count;
}

// Files live in a folder of their own per process: the plain and the sanitized
// test programs run side by side.
class ReaderFiles : public testing::Test {
protected:
    std::string folder;

    void SetUp() override {
        resetFakeWindowSystem();
        dibAllocate = defaultAllocate;
        std::string pattern = testing::TempDir() + "dibreader.XXXXXX";
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder = pattern;
    }
    void TearDown() override {
        dibAllocate = defaultAllocate;
        DIR* files = opendir(folder.c_str());
        while (const dirent* entry = files ? readdir(files) : nullptr)
            if (entry->d_name[0] != '.') unlink((folder + "/" + entry->d_name).c_str());
        if (files) closedir(files);
        rmdir(folder.c_str());
    }
    std::string write(const char* name, const Bytes& bytes) {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), (std::streamsize)bytes.size());
        return path;
    }
};

using ReadDibFile = ReaderFiles;
using LoadBitmapFile = ReaderFiles;

static const Bytes goodFile = withFileHeader(infoHeader(2, 1, 24), {1, 2, 3, 4, 5, 6, 0, 0});

TEST_F(ReadDibFile, DecodesWithoutMessageAndReleasesFile) {
    const std::string path = write("good.bmp", goodFile);
    const int descriptors = openDescriptors();
    RgbImage* image = readDibFile(path.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 1);
    EXPECT_EQ(Bytes(image->data, image->data + 6), (Bytes{3, 2, 1, 6, 5, 4}));
    freeRgbImage(image);
    EXPECT_TRUE(fakeMessages.empty());
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(ReadDibFile, EachRefusalShowsItsOneMessage) {
    Bytes v4Header = infoHeader(2, 1, 24);
    v4Header[0] = 108;
    const std::string unknown = write("v4.bmp", join({fileHeader(122), v4Header, Bytes(80, 0)}));
    const Bytes table = colourTable({{1, 2, 3}});
    const std::string noStream = write("rle.bmp", withFileHeader(join({infoHeader(2, 1, 8, 1, 1), table}), {}));
    // 60 bytes that would make 3.2 GB
    const std::string huge = write("huge.bmp", withFileHeader(join({infoHeader(32767, 32767, 8, 1, 1), table}), {0, 1}));
    const std::string good = write("good.bmp", goodFile);
    const int descriptors = openDescriptors();

    EXPECT_EQ(readDibFile(unknown.c_str()), nullptr);
    EXPECT_EQ(readDibFile(noStream.c_str()), nullptr);
    EXPECT_EQ(readDibFile(huge.c_str()), nullptr);
    dibAllocate = [](size_t) -> void* { return nullptr; };
    EXPECT_EQ(readDibFile(good.c_str()), nullptr);

    EXPECT_EQ(fakeMessages, (Messages{{"Error", "Unknown DIB file format."},
                                      {"Error", "Image file conversion error."},
                                      {"Error", "Out of memory."},
                                      {"Error", "Out of memory."}}));
    EXPECT_EQ(fakeMessageIcons, std::vector<MessageIcon>(4, messageIconNone));
    EXPECT_EQ(fakeMessageButtons, std::vector<MessageButtons>(4, messageButtonsOk));
    EXPECT_EQ(openDescriptors(), descriptors);
}

static std::vector<size_t> allocationsAsked;
static std::string fileToCut;

TEST_F(ReadDibFile, CostsOnlyThePictureItsRecordAndOneFixedBuffer) {
    // 32 bits at the widest: each row fills the buffer, and holding all the pixel
    // data at once would cost 4/3 of the picture more
    Bytes pixels(2 * 32767 * 4);
    for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = (unsigned char)(k * 7 % 251);
    const Bytes file = withFileHeader(infoHeader(32767, 2, 32), pixels);
    const Bytes expected = decode(file).rgb;
    allocationsAsked.clear();
    dibAllocate = [](size_t bytes) -> void* {
        allocationsAsked.push_back(bytes);
        return std::calloc(1, bytes);
    };
    RgbImage* image = readDibFile(write("wide.bmp", file).c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Bytes(image->data, image->data + expected.size()), expected);
    freeRgbImage(image);
    EXPECT_EQ(allocationsAsked, (std::vector<size_t>{dibSourceBytes, 32767 * 2 * 3, sizeof(RgbImage)}));
}

TEST_F(ReadDibFile, FileCutWhileReadIsAnOpenFailure) {
    fileToCut = write("cut.bmp", withFileHeader(infoHeader(64, 64, 24), Bytes(64 * 64 * 3, 0x80)));
    // another program cuts it once it has been measured
    dibAllocate = [](size_t bytes) -> void* {
        EXPECT_EQ(truncate(fileToCut.c_str(), 100), 0);
        return std::calloc(1, bytes);
    };
    EXPECT_EQ(readDibFile(fileToCut.c_str()), nullptr);
    EXPECT_EQ(fakeMessages, (Messages{{"Error", "Failed to open DIB file " + fileToCut + ".\n"}}));
}

TEST_F(ReadDibFile, UnopenableFileNamesThePath) {
    // missing, empty, a folder
    const std::string missing = folder + "/missing.bmp";
    const std::string empty = write("empty.bmp", {});
    const int descriptors = openDescriptors();
    for (const std::string& path : {missing, empty, folder}) {
        SCOPED_TRACE(path);
        resetFakeWindowSystem();
        EXPECT_EQ(readDibFile(path.c_str()), nullptr);
        EXPECT_EQ(fakeMessages, (Messages{{"Error", "Failed to open DIB file " + path + ".\n"}}));
    }
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(ReadDibFile, LongPathQuotedWhole) {
    const std::string path = folder + "/" + std::string(5000, 'x') + ".bmp";
    EXPECT_EQ(readDibFile(path.c_str()), nullptr);
    EXPECT_EQ(fakeMessages, (Messages{{"Error", "Failed to open DIB file " + path + ".\n"}}));
}

TEST_F(ReadDibFile, BoxBelongsToTheWindowWithTheKeyboard) {
    const std::string missing = folder + "/missing.bmp";
    EXPECT_EQ(readDibFile(missing.c_str()), nullptr);  // no window has it
    ASSERT_TRUE(registerWindowClass("OpenGL", nullptr, programModule()));
    fakeFocusWindow = createWindow("OpenGL", "t", windowStyleOverlapped, 0, 0, 8, 8, nullptr);
    EXPECT_EQ(readDibFile(missing.c_str()), nullptr);
    EXPECT_EQ(fakeMessageOwners, (std::vector<WindowHandle>{nullptr, fakeFocusWindow}));
}

TEST_F(LoadBitmapFile, MissingOrNotAFileGivesNothingSilently) {
    EXPECT_EQ(loadBitmapFile(nullptr), nullptr);
    EXPECT_EQ(loadBitmapFile((folder + "/missing.bmp").c_str()), nullptr);
    // opening a FIFO for reading would wait for a writer: this must not hang
    const std::string fifo = folder + "/fifo.bmp";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(loadBitmapFile(fifo.c_str()), nullptr);
    EXPECT_EQ(loadBitmapFile(folder.c_str()), nullptr);
    EXPECT_EQ(loadBitmapFile("/dev/null"), nullptr);
    EXPECT_TRUE(fakeMessages.empty());
}

TEST_F(LoadBitmapFile, PresentFileGoesToReader) {
    RgbImage* image = loadBitmapFile(write("good.bmp", goodFile).c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 2);
    freeRgbImage(image);
    // an empty file opens, then the reader reports it
    const std::string empty = write("empty.bmp", {});
    EXPECT_EQ(loadBitmapFile(empty.c_str()), nullptr);
    EXPECT_EQ(fakeMessages, (Messages{{"Error", "Failed to open DIB file " + empty + ".\n"}}));
}

TEST(FoulardPicture, ProgramPictureIsSquare24BitWithBothHeaders) {
    // relative to the repository root, as the program opens it
    std::ifstream file("Data/foulard.bmp", std::ios::binary);
    ASSERT_TRUE(file) << "Data/foulard.bmp";
    Bytes header(54);
    file.read((char*)header.data(), 54);
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[1], 'M');
    EXPECT_EQ(header[14], 40);   // info header
    EXPECT_EQ(header[28], 24);   // bits per pixel
    EXPECT_EQ(header[30], 0);    // uncompressed
    resetFakeWindowSystem();
    RgbImage* image = loadBitmapFile("Data/foulard.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 256);
    EXPECT_EQ(image->height, 256);
    freeRgbImage(image);
    EXPECT_TRUE(fakeMessages.empty());
}
