// The demo scene rendered by ziv.dll on Wine's DirectDraw, frame by frame,
// against the frames that libziv.so rendered on the software DirectDraw
// (ziv-demo's PNG files in ZIV_DEMO_REFERENCE; make test-windows writes
// them first). Every pixel of every frame must agree, in every blend mode, in
// the 16- and 32-bit formats (headless Wine has no 24-bit display mode).
// Frames that differ are written to ZIV_DEMO_DIFFERENCES with a picture of
// where.
#include <windows.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "BuiltinScene.h"
#include "DemoRun.h"
#include "Image.h"
#include "ModuleLibrary.h"
#include "Scene.h"
#include "TargetFormat.h"
#include "WinTestSupport.h"

namespace {

using zivdemo::TargetFormat;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

class DemoFrames : public ::testing::TestWithParam<std::tuple<TargetFormat, int32_t>> {};

TEST_P(DemoFrames, EqualTheSoftwareDirectDrawsFramesPixelForPixel)
{
    const auto& [format, blendMode] = GetParam();
    const std::string assets = environment("ZIV_DEMO_ASSETS");
    const std::string reference = environment("ZIV_DEMO_REFERENCE");
    const std::string differences = environment("ZIV_DEMO_DIFFERENCES");
    ASSERT_FALSE(assets.empty() || reference.empty()) << "ZIV_DEMO_ASSETS and ZIV_DEMO_REFERENCE name no folders";

    const zivdemo::Scene scene = zivdemo::parseScene(zivdemo::kBuiltinScene, "built-in scene", assets);
    const zivdemo::SceneResources resources = zivdemo::loadResources(scene);
    const zivdemo::ModuleLibrary module(ZivWinTest::toUtf8(ZivWinTest::programDirectory() + L"ziv.dll"));
    zivdemo::RunSettings settings;
    settings.format = format;
    settings.blendMode = blendMode;
    settings.width = scene.width;
    settings.height = scene.height;
    settings.repeat = 1;
    const zivdemo::RunResult result = zivdemo::runScene(module.api(), scene, resources, settings);
    ASSERT_FALSE(result.frames.empty());

    for (const zivdemo::FrameResult& frame : result.frames) {
        EXPECT_FALSE(frame.failed) << frame.name << ": " << frame.note;
        zivdemo::Image expected;
        try {
            expected = zivdemo::readPng(reference + "/" + frame.name + ".png");
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what() << " (make test-windows renders the reference frames first)";
            continue;
        }
        const zivdemo::ImageDifference difference = zivdemo::compareImages(expected, frame.image);
        if (difference.pixels != 0 && !differences.empty()) {
            CreateDirectoryW(ZivWinTest::widen(differences).c_str(), nullptr);
            zivdemo::writePng(differences + "/" + frame.name + "-wine.png", frame.image, false);
            zivdemo::writePng(differences + "/" + frame.name + "-where.png",
                              zivdemo::differenceImage(expected, frame.image), false);
        }
        EXPECT_EQ(difference.pixels, 0u) << frame.name << ": " << difference.pixels << " pixels differ, the first at "
                                         << difference.firstX << "," << difference.firstY;
    }
}

INSTANTIATE_TEST_SUITE_P(FormatsAndBlendModes, DemoFrames,
                         ::testing::Combine(::testing::Values(TargetFormat::Rgb565, TargetFormat::Rgb555,
                                                              TargetFormat::Rgb32),
                                            ::testing::Values(0, 1, 2)),
                         [](const ::testing::TestParamInfo<std::tuple<TargetFormat, int32_t>>& info) {
                             return std::string("format") + zivdemo::formatInfo(std::get<0>(info.param)).name +
                                    "_blend" + std::to_string(std::get<1>(info.param));
                         });

} // namespace
