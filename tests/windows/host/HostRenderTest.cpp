// ziv.dll as a Windows host uses it: loaded with LoadLibraryW, driven through
// a test RenderDevice over Wine's DirectDraw, with textures decoded by the
// Windows Imaging Component. Exceptions thrown inside the module reach the
// host's catch; file and logger paths work whatever characters they hold.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "TestRenderDevice.h"
#include "WinSurfaces.h"
#include "WinTestSupport.h"

namespace {

using ZivWinTest::RgbLayout;
using ZorvUISystem::CornerColours;
using ZorvUISystem::FloatRect;
using ZorvUISystem::Renderer;
using ZorvUISystem::Texture;

constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;
constexpr CornerColours kUntinted{kOpaqueWhite, kOpaqueWhite, kOpaqueWhite, kOpaqueWhite};

// A 4 x 4 picture of colours that every layout holds exactly (no black: in
// blend mode 0 black is the transparent colour of the final copy).
struct Rgb {
    uint8_t red, green, blue;
};
const Rgb kPicture[16] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},     {255, 255, 255},
                          {255, 255, 0}, {0, 255, 255}, {255, 0, 255},   {128, 128, 128},
                          {0, 0, 255},   {255, 0, 0},   {0, 255, 0},     {255, 255, 255},
                          {0, 255, 255}, {255, 0, 255}, {128, 128, 128}, {255, 255, 0}};

std::vector<uint8_t> pictureRgba()
{
    std::vector<uint8_t> rgba;
    for (const Rgb& colour : kPicture)
        rgba.insert(rgba.end(), {colour.red, colour.green, colour.blue, 255});
    return rgba;
}

std::vector<uint8_t> picturePng()
{
    return ZivWinTest::encodeImage(ZivWinTest::EncodedFormat::PngRgb, 4, 4, pictureRgba());
}

// A renderer in a private copy of ziv.dll over Wine's DirectDraw, drawing
// onto a target surface of the layout.
class HostFixture {
public:
    HostFixture(const RgbLayout& layout, int32_t blendMode, DWORD width = 16, DWORD height = 12)
        : layout(layout), device(directDraw.get(), float(width), float(height)),
          target(std::make_unique<ZivWinTest::OwnedSurface>(directDraw.get(), width, height, layout))
    {
        device.blendMode = blendMode;
        // Textures in the target's layout: 565 and 555 by name, the others
        // in the display's format, which a host sets to the target's (in a
        // mode the display has).
        device.texturePixelFormat = layout.bits == 16 ? (layout.green == 0x07E0 ? 565 : 555) : 0;
        if (directDraw.get() != nullptr)
            displayMode = directDraw.get()->SetDisplayMode(640, 480, layout.bits);
    }

    Renderer* create()
    {
        renderer = module.createRenderer(&device, 0, false, nullptr, 0, 0);
        if (renderer != nullptr)
            renderer->setTargetSurface(target->get());
        return renderer;
    }
    ~HostFixture()
    {
        if (renderer != nullptr)
            module.destroyRenderer(renderer);
    }

    // The target after a quad of the picture at x, y, drawn 1:1.
    std::vector<uint32_t> drawPictureAt(Texture* texture, float x, float y)
    {
        renderer->queueQuad(FloatRect{x, y, x + 4, y + 4}, 0.0f, texture, FloatRect{0, 0, 4, 4}, kUntinted, 0);
        renderer->renderQueue();
        renderer->clearQueue();
        return target->read();
    }

    RgbLayout layout;
    ZivTest::ZivModule module;
    ZivWinTest::DirectDrawObject directDraw;
    ZivTest::TestRenderDevice device;
    std::unique_ptr<ZivWinTest::OwnedSurface> target;
    HRESULT displayMode = E_FAIL;
    Renderer* renderer = nullptr;
};

// The picture expected at x, y on a width-wide target cleared to background.
void expectPictureAt(const std::vector<uint32_t>& pixels, const RgbLayout& layout, DWORD width, DWORD height,
                     DWORD left, DWORD top, uint32_t background)
{
    ASSERT_EQ(pixels.size(), size_t(width) * height);
    for (DWORD y = 0; y < height; ++y) {
        for (DWORD x = 0; x < width; ++x) {
            uint32_t expected = background;
            if (x >= left && x < left + 4 && y >= top && y < top + 4) {
                const Rgb& colour = kPicture[(y - top) * 4 + (x - left)];
                expected = ZivWinTest::packRgb(layout, colour.red, colour.green, colour.blue);
            }
            // The module's fourth byte of a 32-bit pixel is its own business.
            const uint32_t colourBits = layout.red | layout.green | layout.blue;
            ASSERT_EQ(pixels[y * width + x] & colourBits, expected) << "at " << x << "," << y;
        }
    }
}

class HostRender : public ::testing::TestWithParam<std::tuple<int32_t, RgbLayout>> {};

TEST_P(HostRender, DrawsAPngTextureOneToOneOntoTheTarget)
{
    const auto& [blendMode, layout] = GetParam();
    HostFixture host(layout, blendMode);
    ASSERT_NE(host.directDraw.get(), nullptr) << std::hex << host.directDraw.result();
    ASSERT_NE(host.target->get(), nullptr) << std::hex << host.target->result();
    ASSERT_EQ(host.displayMode, DD_OK);
    ASSERT_NE(host.create(), nullptr) << host.module.getLastErrorString();
    const uint32_t background = ZivWinTest::packRgb(layout, 32, 64, 96);
    host.target->fill(background);

    const std::vector<uint8_t> png = picturePng();
    Texture* texture = host.renderer->createTexture(png.data(), static_cast<uint32_t>(png.size()));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getWidth(), 4u);
    EXPECT_EQ(texture->getHeight(), 4u);
    expectPictureAt(host.drawPictureAt(texture, 5, 3), layout, 16, 12, 5, 3, background);
}

INSTANTIATE_TEST_SUITE_P(BlendModesAndLayouts, HostRender,
                         ::testing::Combine(::testing::Values(0, 1, 2),
                                            ::testing::Values(ZivWinTest::kRgb565, ZivWinTest::kRgb555,
                                                              ZivWinTest::kRgb32)),
                         [](const ::testing::TestParamInfo<std::tuple<int32_t, RgbLayout>>& info) {
                             const RgbLayout& layout = std::get<1>(info.param);
                             const char* name = layout.bits == 32 ? "32" : layout.green == 0x07E0 ? "565" : "555";
                             return "mode" + std::to_string(std::get<0>(info.param)) + "_" + name;
                         });

// What the host's catch receives from inside the module: the registry's
// prefix and the loader's text. On 32-bit x86 this needs the shared GCC
// support DLL; with a static one in each module the process terminates.
TEST(HostExceptions, TextureFailuresReachTheHostAsStandardExceptions)
{
    HostFixture host(ZivWinTest::kRgb565, 0);
    ASSERT_NE(host.create(), nullptr) << host.module.getLastErrorString();
    const std::vector<uint8_t> garbage(64, 0x5A);
    try {
        host.renderer->createTexture(garbage.data(), static_cast<uint32_t>(garbage.size()));
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(
            error.what(),
            "CDDRender::createTexture failed from file data : (Unable to load image, corona::OpenImage failed)");
    }

    const ZivWinTest::WideTempDirectory directory;
    const std::string folder = directory.utf8Path();
    try {
        host.renderer->createTexture("missing.png", folder.c_str());
        FAIL() << "no exception";
    } catch (const std::exception& error) {
        EXPECT_EQ(std::string(error.what()), "CDDRender::createTexture failed from file : " + folder +
                                                 "missing.png(CDDTexture::loadFromFile -- load file error.)");
    }
    // The renderer is still usable after both.
    const std::vector<uint8_t> png = picturePng();
    EXPECT_NE(host.renderer->createTexture(png.data(), static_cast<uint32_t>(png.size())), nullptr);
}

// A file name in UTF-8 with characters outside the ANSI code page (Wine's is
// 1252), in a directory of the same kind.
TEST(HostFiles, TextureFileNamesOutsideTheAnsiCodePageLoad)
{
    HostFixture host(ZivWinTest::kRgb32, 0);
    ASSERT_NE(host.create(), nullptr) << host.module.getLastErrorString();
    const uint32_t background = ZivWinTest::packRgb(ZivWinTest::kRgb32, 32, 64, 96);
    host.target->fill(background);
    const ZivWinTest::WideTempDirectory directory(L"-\u65e5\u672c");
    ZivWinTest::writeFile(directory.path() + L"\u65e5\u672c.png", picturePng());

    const std::string folder = directory.utf8Path();
    Texture* texture = nullptr;
    try {
        texture = host.renderer->createTexture("\xe6\x97\xa5\xe6\x9c\xac.png", folder.c_str());
    } catch (const std::exception& error) {
        FAIL() << error.what();
    }
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getWidth(), 4u);
    expectPictureAt(host.drawPictureAt(texture, 2, 2), ZivWinTest::kRgb32, 16, 12, 2, 2, background);

    // After a device reset the texture loads again from the same name.
    host.renderer->prepareForReset();
    bool sizeChanged = true;
    host.renderer->postD3DReset(&sizeChanged);
    EXPECT_FALSE(sizeChanged);
    host.target->fill(background);
    expectPictureAt(host.drawPictureAt(texture, 9, 6), ZivWinTest::kRgb32, 16, 12, 9, 6, background);
}

// The logger plug-in dll_logger.dll, bound from a directory whose name is
// outside the ANSI code page, writes the module's errors to its log file.
TEST(HostLogger, PluginInAUnicodeDirectoryLogsConstructionFailures)
{
    ZivTest::ZivModule module;
    const ZivWinTest::WideTempDirectory directory(L"-\u30ed\u30b0");
    ZivWinTest::copyFile(ZivWinTest::programDirectory() + L"dll_logger.dll", directory.path() + L"dll_logger.dll");
    const std::string ini = "[ziv]\r\nlevel = 4\r\nfile = ziv.log\r\n";
    ZivWinTest::writeFile(directory.path() + L"VumLogger.ini", std::vector<uint8_t>(ini.begin(), ini.end()));

    const std::string loggerDirectory = directory.utf8Path();
    EXPECT_EQ(module.createRenderer(nullptr, 0, false, loggerDirectory.c_str(), 0, 0), nullptr);
    EXPECT_STREQ(module.getLastErrorString(),
                 "ziv --> createRenderer() error : CDDRender::CDDRender() --> Renderer device is NULL.");
    module.destroyRenderer(nullptr); // closes the log

    const std::vector<uint8_t> log = ZivWinTest::readFile(directory.path() + L"ziv.log");
    const std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("[ziv] ERROR: CDDRender::CDDRender() --> Renderer device is NULL.\r\n"), std::string::npos)
        << text;
}

// A reset to a new display size: the renderer takes the new size and the
// textures come back from their sources.
TEST(HostReset, NewDisplaySizeAndReloadedTextures)
{
    HostFixture host(ZivWinTest::kRgb565, 2);
    ASSERT_NE(host.create(), nullptr) << host.module.getLastErrorString();
    const std::vector<uint8_t> png = picturePng();
    Texture* fromBytes = host.renderer->createTexture(png.data(), static_cast<uint32_t>(png.size()));
    ASSERT_NE(fromBytes, nullptr);

    host.renderer->prepareForReset();
    host.renderer->setTargetSurface(nullptr);
    host.target = std::make_unique<ZivWinTest::OwnedSurface>(host.directDraw.get(), 24, 10, ZivWinTest::kRgb565);
    host.device.width = 24.0f;
    host.device.height = 10.0f;
    bool sizeChanged = false;
    host.renderer->postD3DReset(&sizeChanged);
    host.renderer->setTargetSurface(host.target->get());
    EXPECT_TRUE(sizeChanged);
    EXPECT_EQ(host.renderer->getDisplayWidth(), 24.0f);
    EXPECT_EQ(host.renderer->getDisplayHeight(), 10.0f);

    const uint32_t background = ZivWinTest::packRgb(ZivWinTest::kRgb565, 32, 64, 96);
    host.target->fill(background);
    expectPictureAt(host.drawPictureAt(fromBytes, 19, 5), ZivWinTest::kRgb565, 24, 10, 19, 5, background);
}

} // namespace
