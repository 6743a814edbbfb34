// ziv-demo's command line.
#include <gtest/gtest.h>

#include "Options.h"

using namespace zivdemo;

namespace {

std::string usageError(const std::vector<std::string>& args)
{
    try {
        parseOptions(args);
    } catch (const UsageError& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(DemoOptions, DefaultsRenderEverything)
{
    const Options o = parseOptions({});
    EXPECT_FALSE(o.help);
    EXPECT_FALSE(o.width.has_value());
    ASSERT_EQ(o.formats.size(), 4u);
    EXPECT_EQ(o.formats[0], TargetFormat::Rgb565);
    EXPECT_EQ(o.formats[3], TargetFormat::Rgb32);
    EXPECT_EQ(o.blendModes, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(o.out, "out");
    EXPECT_EQ(o.scene, "");
    EXPECT_EQ(o.module, "");
    EXPECT_EQ(o.repeat, 5u);
}

TEST(DemoOptions, ReadsEveryOptionInBothSpellings)
{
    const Options o = parseOptions({"--size", "800x600", "--format=32,565", "--blend", "2,0,2", "--out=frames",
                                    "--scene", "my.json", "--module", "/x/libziv.so", "--repeat=3"});
    EXPECT_EQ(o.width, 800u);
    EXPECT_EQ(o.height, 600u);
    EXPECT_EQ(o.formats, (std::vector<TargetFormat>{TargetFormat::Rgb32, TargetFormat::Rgb565}));
    EXPECT_EQ(o.blendModes, (std::vector<int32_t>{2, 0}));
    EXPECT_EQ(o.out, "frames");
    EXPECT_EQ(o.scene, "my.json");
    EXPECT_EQ(o.module, "/x/libziv.so");
    EXPECT_EQ(o.repeat, 3u);
    EXPECT_TRUE(parseOptions({"-h"}).help);
    EXPECT_TRUE(parseOptions({"--print-scene"}).printScene);
    EXPECT_EQ(parseOptions({"--format", "all"}).formats.size(), 4u);
    EXPECT_EQ(parseOptions({"--blend", "all"}).blendModes.size(), 3u);
}

TEST(DemoOptions, MistakesAreExplained)
{
    EXPECT_EQ(usageError({"--size", "800"}), "--size takes WIDTHxHEIGHT, such as 800x600, not '800'");
    EXPECT_EQ(usageError({"--size", "0x600"}), "the width must be a whole number from 1 to 4096, not '0'");
    EXPECT_EQ(usageError({"--size", "800x6k"}), "the height must be a whole number from 1 to 4096, not '6k'");
    EXPECT_EQ(usageError({"--format", "16"}), "unknown pixel format '16' (use 565, 555, 24, 32 or all)");
    EXPECT_EQ(usageError({"--format", "565,"}), "unknown pixel format '' (use 565, 555, 24, 32 or all)");
    EXPECT_EQ(usageError({"--blend", "3"}), "a blend mode must be a whole number from 0 to 2, not '3'");
    EXPECT_EQ(usageError({"--repeat", "0"}), "--repeat must be a whole number from 1 to 100000, not '0'");
    EXPECT_EQ(usageError({"--out"}), "--out needs a value");
    EXPECT_EQ(usageError({"--out="}), "--out needs a folder");
    EXPECT_EQ(usageError({"--colour"}), "unknown option '--colour'");
    EXPECT_EQ(usageError({"extra"}), "unknown option 'extra'");
    EXPECT_EQ(usageError({"--help=yes"}), "--help takes no value");
}

TEST(DemoOptions, HelpDocumentsEveryOption)
{
    const std::string help = kHelpText;
    for (const char* option : {"--size WxH", "--format LIST", "565, 555, 24, 32", "--blend LIST", "--out DIR",
                               "--scene FILE", "--print-scene", "--module PATH", "--repeat N", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}
