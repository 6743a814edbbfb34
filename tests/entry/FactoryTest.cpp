// createRenderer's failure handling, as a host sees it through the loaded
// module: the last-error text, and what reaches the logger plug-in.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TempDirectory.h"
#include "TestRenderDevice.h"

namespace {

using ZivTest::LoggerCreation;
using ZivTest::RecordedCall;

const std::string kPrefix = "ziv --> createRenderer() error : ";
const std::string kNoDevice = "CDDRender::CDDRender() --> Renderer device is NULL.";
const std::string kNoDirectDraw = "CDDRender::CDDRender() --> Renderer device can't get aviliable IDirectDraw object.";

class FactoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(directDraw.get(), nullptr) << "DirectDrawCreate failed: " << directDraw.result; }

    ZorvUISystem::Renderer* create(ZorvUISystem::RenderDevice* device)
    {
        return module.createRenderer(device, 0, false, loggerDirectory.c_str(), 0, 0);
    }
    // logMessage calls at level 1 (the kernel-level trace is at level 4).
    std::vector<std::string> errorMessages(const ZivTest::RecorderState& state)
    {
        std::vector<std::string> texts;
        for (const RecordedCall& call : state.record.callsTo("logMessage")) {
            if (call.args.at(1) == "1")
                texts.push_back(call.args.at(0));
        }
        return texts;
    }

    ZivTest::ZivModule module;
    ZivTest::TempDirectory directory;
    std::string loggerDirectory = directory.prefix();
    ZivTest::SoftwareDirectDraw directDraw;
};

TEST_F(FactoryTest, NullDeviceWithoutPluginLeavesOnlyThePrefix)
{
    EXPECT_STREQ(module.getLastErrorString(), "");
    EXPECT_EQ(create(nullptr), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix);
}

TEST_F(FactoryTest, NullDeviceWithLoggerKeepsTheTextAfterThePrefixAndLogsItAlone)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 3;
    EXPECT_EQ(create(nullptr), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + kNoDevice);
    EXPECT_EQ(errorMessages(plugin), std::vector<std::string>{kNoDevice});
    EXPECT_EQ(plugin.record.count("unRecoveryError"), 0u);
}

TEST_F(FactoryTest, WithoutLoggerTheTextGoesAloneToUnrecoverableError)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 0;
    ZivTest::TestRenderDevice device(nullptr);
    EXPECT_EQ(create(&device), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix);
    const auto unrecoverable = plugin.record.callsTo("unRecoveryError");
    ASSERT_EQ(unrecoverable.size(), 1u);
    EXPECT_EQ(unrecoverable[0].args, std::vector<std::string>{kNoDirectDraw});
    // Construction stopped at the missing DirectDraw object.
    EXPECT_EQ(device.calls, std::vector<std::string>{"getDirectDraw"});
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 0u);
}

TEST_F(FactoryTest, LastErrorTextSurvivesALaterSuccess)
{
    EXPECT_EQ(create(nullptr), nullptr);
    const char* text = module.getLastErrorString();
    ASSERT_EQ(std::string(text), kPrefix);

    ZivTest::TestRenderDevice device(directDraw.get());
    ZorvUISystem::Renderer* renderer = create(&device);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(module.getLastErrorString(), text);
    EXPECT_EQ(std::string(module.getLastErrorString()), kPrefix);
    module.destroyRenderer(renderer);

    // The next failure replaces it.
    ZivTest::TestRenderDevice noDirectDraw(nullptr);
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 1;
    EXPECT_EQ(create(&noDirectDraw), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + kNoDirectDraw);
}

TEST_F(FactoryTest, StandardExceptionFromLoggerFactoryStopsCreation)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 2;
    plugin.creation = LoggerCreation::StandardException;
    plugin.exceptionText = "log file is read-only";
    ZivTest::TestRenderDevice device(directDraw.get());
    EXPECT_EQ(create(&device), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + "log file is read-only");
    const auto unrecoverable = plugin.record.callsTo("unRecoveryError");
    ASSERT_EQ(unrecoverable.size(), 1u);
    EXPECT_EQ(unrecoverable[0].args, std::vector<std::string>{kPrefix + "log file is read-only"});
    EXPECT_TRUE(device.calls.empty()) << "no renderer may be built";
}

TEST_F(FactoryTest, ForeignExceptionFromLoggerFactoryIsAnUnknownError)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 2;
    plugin.creation = LoggerCreation::OtherException;
    ZivTest::TestRenderDevice device(directDraw.get());
    EXPECT_EQ(create(&device), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + "Unknow error!");
    const auto unrecoverable = plugin.record.callsTo("unRecoveryError");
    ASSERT_EQ(unrecoverable.size(), 1u);
    EXPECT_EQ(unrecoverable[0].args, std::vector<std::string>{kPrefix + "Unknow error!"});
    EXPECT_TRUE(device.calls.empty());

    // The module is still usable: the next call makes the logger and renderer.
    plugin.creation = LoggerCreation::Logger;
    ZorvUISystem::Renderer* renderer = create(&device);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 2u);
    module.destroyRenderer(renderer);
}

TEST_F(FactoryTest, NullLoggerObjectLeavesTheModuleSilent)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 5;
    plugin.creation = LoggerCreation::Null;
    EXPECT_EQ(create(nullptr), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix);
    EXPECT_EQ(plugin.record.count("logMessage"), 0u);
    const auto unrecoverable = plugin.record.callsTo("unRecoveryError");
    ASSERT_EQ(unrecoverable.size(), 1u);
    EXPECT_EQ(unrecoverable[0].args, std::vector<std::string>{kNoDevice});
}

// A plug-in whose reporting entry points throw: nothing crosses createRenderer,
// the last-error text is kept all the same, and a logger whose trace line
// fails still serves.
TEST_F(FactoryTest, ReportsThatRaiseStayInsideTheModule)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.record.reportsThrow = true;

    // No logger: the text goes to unRecoveryError, which throws.
    plugin.logLevel = 0;
    ZivTest::TestRenderDevice noDirectDraw(nullptr);
    EXPECT_EQ(create(&noDirectDraw), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix);
    EXPECT_EQ(plugin.record.count("unRecoveryError"), 1u);

    // The logger factory raises, and so does the report of that.
    plugin.logLevel = 2;
    plugin.creation = LoggerCreation::StandardException;
    plugin.exceptionText = "no log file";
    EXPECT_EQ(create(&noDirectDraw), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + "no log file");
    EXPECT_EQ(plugin.record.count("unRecoveryError"), 2u);
    plugin.creation = LoggerCreation::OtherException;
    EXPECT_EQ(create(&noDirectDraw), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + "Unknow error!");

    // A logger object whose logMessage throws: the level-4 trace fails, the
    // renderer is made; a later failure is logged (and throws) and stored.
    plugin.creation = LoggerCreation::Logger;
    ZivTest::TestRenderDevice device(directDraw.get());
    ZorvUISystem::Renderer* renderer = create(&device);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 3u);
    EXPECT_EQ(create(&noDirectDraw), nullptr);
    EXPECT_EQ(module.getLastErrorString(), kPrefix + kNoDirectDraw);
    EXPECT_EQ(errorMessages(plugin), std::vector<std::string>{kNoDirectDraw});
    EXPECT_EQ(plugin.record.count("unRecoveryError"), 3u) << "a logger object exists";
    module.destroyRenderer(renderer);
}

TEST_F(FactoryTest, TwoRenderersShareOneLoggerThatDestroyRendererEnds)
{
    ZivTest::RecorderState& plugin = ZivTest::installRecordingPlugin(directory.path());
    plugin.logLevel = 1;
    ZivTest::TestRenderDevice device(directDraw.get());
    ZorvUISystem::Renderer* first = create(&device);
    ZorvUISystem::Renderer* second = create(&device);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 1u);
    EXPECT_EQ(plugin.record.count("GetLogLevelFromIniFile"), 2u);

    // A null renderer still ends the logger object; the renderers live on.
    module.destroyRenderer(nullptr);
    EXPECT_EQ(plugin.record.count("~PlovLogger"), 1u);
    EXPECT_EQ(first->getDisplayWidth(), 640.0f);

    // The next creation makes a new logger object, and destroying any one
    // renderer ends it although others are alive.
    ZorvUISystem::Renderer* third = create(&device);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 2u);
    module.destroyRenderer(first);
    EXPECT_EQ(plugin.record.count("~PlovLogger"), 2u);

    // Without a logger object, a failure goes to the unrecoverable-error entry.
    plugin.logLevel = 0;
    EXPECT_EQ(create(nullptr), nullptr);
    EXPECT_EQ(plugin.record.count("unRecoveryError"), 1u);
    EXPECT_EQ(plugin.record.count("~PlovLogger"), 2u);

    // Both logger objects were distinct objects, each destroyed once (compared
    // by serial number: the second may well reuse the first one's address).
    const auto destroyed = plugin.record.callsTo("~PlovLogger");
    EXPECT_EQ(destroyed[0].args, std::vector<std::string>{"1"});
    EXPECT_EQ(destroyed[1].args, std::vector<std::string>{"2"});
    module.destroyRenderer(second);
    module.destroyRenderer(third);
    EXPECT_EQ(plugin.record.count("~PlovLogger"), 2u);
}

} // namespace
