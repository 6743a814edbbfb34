// Binding of the logger plug-in: what the module passes to it, when it tries
// again, and that a bound plug-in stays bound.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"

namespace {

using ZivTest::PluginVariant;

const std::string kPrefix = "ziv --> createRenderer() error : ";

class LoggerBindingTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(directDraw.get(), nullptr) << "DirectDrawCreate failed: " << directDraw.result; }

    ZorvUISystem::Renderer* create(const std::string& loggerDirectory, uint32_t arg1 = 0, uint32_t arg2 = 0)
    {
        return module.createRenderer(&device, 0, true, loggerDirectory.c_str(), arg1, arg2);
    }

    ZivTest::ZivModule module;
    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get()};
};

TEST_F(LoggerBindingTest, PassesItsArgumentsThroughUnchanged)
{
    ZivTest::TempDirectory directory;
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 7;
    const std::string loggerDirectory = directory.prefix();
    ZorvUISystem::Renderer* renderer =
        module.createRenderer(&device, 0, false, loggerDirectory.c_str(), 0xDEADBEEFu, 12u);
    ASSERT_NE(renderer, nullptr);

    const auto& calls = plugin.record.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[0].function, "GetLogLevelFromIniFile");
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{loggerDirectory, "ziv", "VumLogger.ini"}));
    EXPECT_EQ(calls[0].pointer, loggerDirectory.c_str()) << "the directory pointer goes through unchanged";
    EXPECT_EQ(calls[1].function, "CreatePlovLogger");
    EXPECT_EQ(calls[1].args, (std::vector<std::string>{"3735928559", "12", "ziv", "7"}));
    // The new logger learns which blend kernels this process runs.
    EXPECT_EQ(calls[2].function, "logMessage");
    EXPECT_EQ(calls[2].args.at(0).rfind("ziv: blend kernels: ", 0), 0u) << calls[2].args.at(0);
    EXPECT_EQ(calls[2].args.at(1), "4");
    module.destroyRenderer(renderer);
}

TEST_F(LoggerBindingTest, RetriesTheLoadUntilThePluginIsThereThenKeepsIt)
{
    ZivTest::TempDirectory first;
    ZivTest::TempDirectory second;

    // No plug-in yet: the module runs silently.
    ZorvUISystem::Renderer* silent = create(first.prefix());
    ASSERT_NE(silent, nullptr);
    module.destroyRenderer(silent);

    // The plug-in appears in the same directory: the next call loads it.
    ZivTest::RecorderState& bound = ZivTest::installRecordingPlugin(first.path());
    bound.logLevel = 1;
    ZorvUISystem::Renderer* logged = create(first.prefix());
    ASSERT_NE(logged, nullptr);
    EXPECT_EQ(bound.record.count("GetLogLevelFromIniFile"), 1u);
    EXPECT_EQ(bound.record.count("CreatePlovLogger"), 1u);

    // Once bound, another directory with another plug-in is not loaded: the
    // bound plug-in gets the new directory.
    ZivTest::RecorderState& other = ZivTest::installRecordingPlugin(second.path());
    other.logLevel = 1;
    ZorvUISystem::Renderer* again = create(second.prefix());
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(other.record.calls.empty());
    const auto levels = bound.record.callsTo("GetLogLevelFromIniFile");
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[1].args.at(0), second.prefix());
    EXPECT_EQ(bound.record.count("CreatePlovLogger"), 1u) << "the logger object exists already";
    module.destroyRenderer(logged);
    module.destroyRenderer(again);
}

TEST_F(LoggerBindingTest, LevelAtOrBelowZeroMakesNoLoggerButIsAskedEveryTime)
{
    ZivTest::TempDirectory directory;
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    for (int32_t level : {0, -1, 0}) {
        plugin.logLevel = level;
        ZorvUISystem::Renderer* renderer = create(directory.prefix());
        ASSERT_NE(renderer, nullptr);
        module.destroyRenderer(renderer);
    }
    EXPECT_EQ(plugin.record.count("GetLogLevelFromIniFile"), 3u);
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 0u);
}

TEST_F(LoggerBindingTest, PluginWithoutLoggerFactoryIsRetriedAndStillHearsFailures)
{
    ZivTest::TempDirectory partial;
    ZivTest::RecorderState& incomplete = ZivTest::installRecordingPlugin(partial.path(), PluginVariant::WithoutFactory);
    incomplete.logLevel = 5;
    EXPECT_EQ(module.createRenderer(nullptr, 0, false, partial.prefix().c_str(), 0, 0), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix);
    const auto unrecoverable = incomplete.record.callsTo("unRecoveryError");
    ASSERT_EQ(unrecoverable.size(), 1u);
    EXPECT_EQ(unrecoverable[0].args.at(0), "CDDRender::CDDRender() --> Renderer device is NULL.");

    // The factory entry point is still missing, so the next call binds again,
    // here from a directory that has the whole plug-in.
    ZivTest::TempDirectory complete;
    ZivTest::RecorderState& full = ZivTest::installRecordingPlugin(complete.path());
    full.logLevel = 2;
    ZorvUISystem::Renderer* renderer = create(complete.prefix());
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(incomplete.record.count("GetLogLevelFromIniFile"), 1u);
    EXPECT_EQ(full.record.count("CreatePlovLogger"), 1u);
    module.destroyRenderer(renderer);
}

} // namespace
