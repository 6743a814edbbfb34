// Loading textures from image files and image bytes: path building, every
// loader message, the pixel formats the image library may answer with, real
// files of every family, and what a device reset reloads from.
#include <filesystem>
#include <fstream>

#include <png.h>

#include "ImageWriters.h"
#include "TempDirectory.h"
#include "TextureFixture.h"
#include "corona_test.h"

namespace {

using namespace ZorvUISystem;
using ZivTest::Bytes;
using ZivTest::failureOf;
using ZivTest::readSurface;

const char* const kOpenFailed = "CDDTexture::loadFromFile -- load file error.";
const char* const kReadFailed = "CDDTexture::loadFromFile -- read file error.";

// A 2 x 1 PNG: red and green, opaque; or with the given RGBA pixels.
Bytes pngFile(Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 255}, int width = 2)
{
    ZivTest::PngSpec spec;
    spec.width = width;
    spec.height = static_cast<int>(rgba.size() / 4 / width);
    spec.colourType = PNG_COLOR_TYPE_RGBA;
    spec.samples = std::move(rgba);
    return ZivTest::writePng(spec);
}

class ImageLoadingTest : public ZivTest::TextureTest {
protected:
    void SetUp() override
    {
        TextureTest::SetUp();
        directDraw.display = ZivTest::kDisplayXrgb32;
    }
    void TearDown() override
    {
        corona::test::setDecoderHook(nullptr);
        corona::test::setMemoryFileFailure(false);
        corona::test::setConversionFailure(false);
        TextureTest::TearDown();
        EXPECT_EQ(corona::test::liveObjects(), 0);
    }

    std::string file(const std::string& name, const Bytes& bytes)
    {
        const std::string path = directory.path() + "/" + name;
        ZivTest::writeFile(path, bytes);
        return path;
    }

    // The colour surface's pixels without the fourth byte.
    static std::vector<uint32_t> colours(const CDDTexture& texture)
    {
        std::vector<uint32_t> out = readSurface(texture.colourSurface()).pixels;
        for (uint32_t& p : out)
            p &= 0xFFFFFF;
        return out;
    }

    ZivTest::TempDirectory directory;
};

TEST_F(ImageLoadingTest, PathsJoinDirectoryAndName)
{
    CDDTexture& texture = newTexture();
    const struct {
        const char* name;
        const char* directory;
        const char* path;
    } cases[] = {
        {"a.png", "skins", "skins/a.png"},
        {"a.png", "skins/", "skins/a.png"},
        {"a.png", "skins\\", "skins\\a.png"},
        {"a.png", "", "a.png"},
        {"a.png", nullptr, "a.png"},
        {"", "skins", "skins/"},
        {"b/c.png", "/no/such", "/no/such/b/c.png"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(failureOf([&] { texture.loadFromFile(c.name, c.directory); }), kOpenFailed) << c.path;
        EXPECT_EQ(texture.filePath(), c.path);
    }
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("", ""); }), "Texture file name should not be empty.");
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("", nullptr); }), "Texture file name should not be empty.");
    // Longer than a converted name may be.
    const std::string longName(70000, 'x');
    EXPECT_EQ(failureOf([&] { texture.loadFromFile(longName.c_str(), nullptr); }),
              "multi byte to wide char convert error when texture file name converting.");
}

TEST_F(ImageLoadingTest, NonAsciiNamesLoad)
{
    const std::string name = "sk\xC3\xA4rm-\xE6\x97\xA5\xE6\x9C\xAC.png"; // "skärm-日本.png"
    file(name, pngFile());
    CDDTexture& texture = newTexture();
    texture.loadFromFile(name.c_str(), directory.path().c_str());
    EXPECT_EQ(texture.filePath(), directory.path() + "/" + name);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
}

TEST_F(ImageLoadingTest, FileFailures)
{
    CDDTexture& texture = newTexture();
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("missing.png", directory.path().c_str()); }), kOpenFailed);
    file("empty.png", {});
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("empty.png", directory.path().c_str()); }), kReadFailed);
    EXPECT_TRUE(texture.restoreOnly());
    EXPECT_EQ(texture.colourSurface(), nullptr);
    file("text.png", Bytes{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("text.png", directory.path().c_str()); }),
              "Unable to load image, corona::OpenImage failed");
    // None of these is logged: the upload never ran.
    EXPECT_TRUE(loggedErrors().empty());
}

TEST_F(ImageLoadingTest, FileDataFailures)
{
    CDDTexture& texture = newTexture();
    const std::string noData = "CDDTexture::loadFromFileData -- Failed to load image from file data.";
    const Bytes image = pngFile();
    EXPECT_EQ(failureOf([&] { texture.loadFromFileData(nullptr, 10); }), noData);
    EXPECT_EQ(failureOf([&] { texture.loadFromFileData(image.data(), 0); }), noData);
    corona::test::setMemoryFileFailure(true);
    EXPECT_EQ(failureOf([&] { texture.loadFromFileData(image.data(), uint32_t(image.size())); }),
              "Unable to create corona::File object");
    corona::test::setMemoryFileFailure(false);
    EXPECT_TRUE(texture.restoreOnly());

    // An upload failure comes through with its own text; the image is not
    // leaked (checked at the end of the test).
    ASSERT_TRUE(ddrawtest::failNext("CreateSurface", DDERR_OUTOFMEMORY));
    EXPECT_EQ(failureOf([&] { texture.loadFromFileData(image.data(), uint32_t(image.size())); }),
              "CDDTexture::CreateSurface -- Failed to create Texture object. (DDERR_OUTOFMEMORY)");
    EXPECT_EQ(texture.colourSurface(), nullptr);
    EXPECT_TRUE(texture.restoreOnly());
}

// What the test decoder answers: a 2 x 1 image of this format code.
int g_format = 0;
corona::Image* testDecoder(const void*, int)
{
    const uint8_t pixels[8] = {10, 20, 30, 40, 50, 60, 70, 80};
    return corona::test::makeImage(2, 1, g_format, pixels);
}

TEST_F(ImageLoadingTest, ImageLibraryFormats)
{
    corona::test::setDecoderHook(testDecoder);
    directDraw.display = ZivTest::kDisplayArgb32;
    CDDTexture& texture = newTexture();
    const uint8_t anyBytes[4] = {1, 2, 3, 4};

    g_format = corona::PF_R8G8B8A8;
    texture.loadFromFileData(anyBytes, 4);
    EXPECT_TRUE(texture.hasAlpha());
    // (10, 20, 30) at alpha 40, (50, 60, 70) at 80: scaled by (a + 1) >> 8.
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0x28010304, 0x500F1216}));

    g_format = corona::PF_B8G8R8A8;
    texture.loadFromFileData(anyBytes, 4);
    EXPECT_TRUE(texture.hasAlpha());
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0x28040301, 0x5016120F}));

    g_format = corona::PF_R8G8B8;
    texture.loadFromFileData(anyBytes, 4);
    EXPECT_FALSE(texture.hasAlpha());
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0xFF0A141E, 0xFF28323C}));

    g_format = corona::PF_B8G8R8;
    texture.loadFromFileData(anyBytes, 4);
    EXPECT_EQ(readSurface(texture.colourSurface()).pixels, (std::vector<uint32_t>{0xFF1E140A, 0xFF3C3228}));

    for (int format : {int(corona::PF_I8), 0x999}) {
        g_format = format;
        EXPECT_EQ(failureOf([&] { texture.loadFromFileData(anyBytes, 4); }),
                  "Unable to load image, unsurpotted image format.")
            << format;
        EXPECT_EQ(texture.colourSurface(), nullptr);
    }

    g_format = corona::PF_B8G8R8A8;
    corona::test::setConversionFailure(true);
    EXPECT_EQ(failureOf([&] { texture.loadFromFileData(anyBytes, 4); }), "Unable to convert image to RGBA or RGB");
}

TEST_F(ImageLoadingTest, RealFilesOfEveryFamily)
{
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const std::vector<uint32_t> expected = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

    ZivTest::PngSpec palette;
    palette.width = 4;
    palette.height = 1;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.bitDepth = 2;
    palette.palette = rgb;
    palette.samples = {0x1B};
    ZivTest::PngSpec grey;
    grey.width = 2;
    grey.height = 1;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.bitDepth = 16;
    grey.interlaced = true;
    grey.samples = {0x80, 0x80, 0xFF, 0xFF};
    ZivTest::GifSpec gif;
    gif.screenWidth = gif.width = 4;
    gif.screenHeight = gif.height = 1;
    gif.palette = rgb;
    gif.indices = {0, 1, 2, 3};

    file("palette.png", ZivTest::writePng(palette));
    file("grey.png", ZivTest::writePng(grey));
    file("image.gif", ZivTest::writeGif(gif));
    file("image.bmp", ZivTest::writeBmp(4, 1, 3, rgb));
    file("image.tga", ZivTest::writeTga(4, 1, 3, rgb));
    Bytes flat;
    for (int i = 0; i < 64; ++i)
        flat.insert(flat.end(), {40, 120, 200});
    file("image.jpg", ZivTest::writeJpeg(8, 8, 3, flat));

    const char* dir = directory.path().c_str();
    for (const char* name : {"palette.png", "image.gif", "image.bmp", "image.tga"}) {
        CDDTexture* texture = static_cast<CDDTexture*>(renderer().createTexture(name, dir));
        EXPECT_EQ(colours(*texture), expected) << name;
        EXPECT_EQ(texture->getWidth(), 4u) << name;
    }
    CDDTexture* greyTexture = static_cast<CDDTexture*>(renderer().createTexture("grey.png", dir));
    EXPECT_EQ(colours(*greyTexture), (std::vector<uint32_t>{0x808080, 0xFFFFFF}));
    CDDTexture* jpeg = static_cast<CDDTexture*>(renderer().createTexture("image.jpg", dir));
    for (uint32_t p : colours(*jpeg)) {
        EXPECT_NEAR(int(p >> 16), 40, 3);
        EXPECT_NEAR(int(p >> 8 & 0xFF), 120, 3);
        EXPECT_NEAR(int(p & 0xFF), 200, 3);
    }
}

TEST_F(ImageLoadingTest, ReloadAfterAResetReadsTheFileAgain)
{
    const std::string path = file("skin.png", pngFile());
    CDDTexture& texture = newTexture();
    texture.loadFromFile("skin.png", directory.path().c_str());
    EXPECT_FALSE(texture.restoreOnly());

    renderer().prepareForReset();
    EXPECT_EQ(texture.colourSurface(), nullptr);
    // What is on disk now is what comes back.
    file("skin.png", pngFile({0, 0, 255, 255, 255, 255, 255, 255}));
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0x0000FF, 0xFFFFFF}));

    // A file that has gone fails the reset with its load message.
    renderer().prepareForReset();
    std::filesystem::remove(path);
    EXPECT_EQ(failureOf([&] { renderer().postD3DReset(&sizeChanged); }), kOpenFailed);
    EXPECT_EQ(texture.colourSurface(), nullptr);
}

TEST_F(ImageLoadingTest, ReloadAfterAResetDecodesTheKeptBytes)
{
    Bytes bytes = pngFile();
    CDDTexture& texture = newTexture();
    texture.loadFromFileData(bytes.data(), uint32_t(bytes.size()));
    bytes.assign(bytes.size(), 0); // the caller's buffer is gone
    renderer().prepareForReset();
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
    // Once more: the copy stays in place when it reloads itself.
    renderer().prepareForReset();
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0xFF0000, 0x00FF00}));
}

TEST_F(ImageLoadingTest, TheFileWinsOverKeptBytes)
{
    const Bytes bytes = pngFile();
    file("blue.png", pngFile({0, 0, 255, 255, 0, 0, 255, 255}));
    CDDTexture& texture = newTexture();
    texture.loadFromFileData(bytes.data(), uint32_t(bytes.size()));
    texture.loadFromFile("blue.png", directory.path().c_str());
    // A failed load afterwards leaves no surfaces and nothing to reload.
    EXPECT_EQ(failureOf([&] { texture.loadFromFile("missing.png", directory.path().c_str()); }), kOpenFailed);
    EXPECT_TRUE(texture.restoreOnly());
    texture.loadFromFile("blue.png", directory.path().c_str());

    renderer().prepareForReset();
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0x0000FF, 0x0000FF}));
}

TEST_F(ImageLoadingTest, MemoryTexturesReloadDecodedImagesFromTheirSource)
{
    // A memory texture filled from a file keeps no pixel copy: the reload
    // reads the file again.
    file("skin.png", pngFile());
    CDDTexture& texture = newTexture();
    texture.setMemoryTexture(true);
    const auto rgba = ZivTest::rgbaBytes({0x123456FF});
    texture.loadFromMemory(rgba.data(), 1, 1, BUFFER_RGBA);
    texture.loadFromFile("skin.png", directory.path().c_str());
    file("skin.png", pngFile({1, 2, 3, 255, 4, 5, 6, 255}));
    renderer().prepareForReset();
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_EQ(texture.getWidth(), 2u);
    EXPECT_EQ(colours(texture), (std::vector<uint32_t>{0x010203, 0x040506}));

    // And after file bytes, the bytes.
    const Bytes bytes = pngFile({7, 8, 9, 255}, 1);
    texture.loadFromFileData(bytes.data(), uint32_t(bytes.size()));
    EXPECT_EQ(texture.getWidth(), 1u);
}

} // namespace
