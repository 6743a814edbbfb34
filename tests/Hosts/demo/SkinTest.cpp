// The committed skin is what the skin generator paints: a change to the
// painter without a new skin (or the other way round) fails here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Image.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(DemoSkin, CommittedSkinEqualsWhatTheGeneratorPaints)
{
    const fs::path out = fs::temp_directory_path() / ("ziv-skin-test-" + std::to_string(getpid()));
    const std::string command = std::string("'") + ZIV_SKIN_EXE + "' '" + out.string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    size_t pictures = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(out)) {
        const fs::path committed = fs::path(ZIV_DEMO_ASSETS) / entry.path().filename();
        ASSERT_TRUE(fs::exists(committed)) << committed << " is not committed";
        if (entry.path().extension() == ".png") {
            const zivdemo::Image painted = zivdemo::readPng(entry.path().string());
            const zivdemo::Image stored = zivdemo::readPng(committed.string());
            const zivdemo::ImageDifference d = zivdemo::compareImages(painted, stored);
            EXPECT_EQ(d.pixels, 0u) << committed << " differs first at " << d.firstX << "," << d.firstY
                                    << "; rebuild the skin with: cmake --build build --target ziv-skin-update";
            ++pictures;
        } else {
            EXPECT_EQ(readAll(entry.path()), readAll(committed)) << committed;
        }
    }
    EXPECT_EQ(pictures, 8u); // seven skin images and the glyph atlas
    fs::remove_all(out);
}
