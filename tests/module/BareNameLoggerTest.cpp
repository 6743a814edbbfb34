// Without a usable logger directory the module loads "dll_logger.dll" from
// its own folder, else by its bare name from the program's and the system's
// folders, where a library already loaded under that name counts first. The
// test loads the recording plug-in first; a bare-name load then finds that
// library by its soname.
#include <dlfcn.h>

#include <string>

#include <gtest/gtest.h>

#include "ModuleLoader.h"
#include "RecordingPlugin.h"
#include "SoftwareDirectDraw.h"
#include "TestRenderDevice.h"

namespace {

ZivTest::RecorderState& preloadedPlugin()
{
    static ZivTest::RecorderState* state = [] {
        void* library = dlopen(ZivTest::recordingPluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr)
            throw std::runtime_error(dlerror());
        return reinterpret_cast<ZivRecorderStateFn>(dlsym(library, "zivRecorderState"))();
    }();
    return *state;
}

class BareNameLoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(directDraw.get(), nullptr);
        plugin.record.calls.clear();
        plugin.logLevel = 1;
    }

    // The only GetLogLevelFromIniFile call of this test.
    ZivTest::RecordedCall levelCall()
    {
        const auto calls = plugin.record.callsTo("GetLogLevelFromIniFile");
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? ZivTest::RecordedCall{} : calls[0];
    }

    ZivTest::RecorderState& plugin = preloadedPlugin();
    ZivTest::ZivModule module;
    ZivTest::SoftwareDirectDraw directDraw;
    ZivTest::TestRenderDevice device{directDraw.get()};
};

TEST_F(BareNameLoggerTest, NullDirectoryLoadsByBareNameAndPassesNull)
{
    ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, nullptr, 1, 2);
    ASSERT_NE(renderer, nullptr);
    const ZivTest::RecordedCall call = levelCall();
    EXPECT_EQ(call.pointer, nullptr);
    EXPECT_EQ(call.args, (std::vector<std::string>{"<null>", "ziv", "VumLogger.ini"}));
    EXPECT_EQ(plugin.record.count("CreatePlovLogger"), 1u);
    module.destroyRenderer(renderer);
}

TEST_F(BareNameLoggerTest, EmptyDirectoryLoadsByBareNameAndPassesTheSamePointer)
{
    const char empty[] = "";
    ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, empty, 1, 2);
    ASSERT_NE(renderer, nullptr);
    const ZivTest::RecordedCall call = levelCall();
    EXPECT_EQ(call.pointer, static_cast<const void*>(empty));
    EXPECT_EQ(call.args.at(0), "");
    module.destroyRenderer(renderer);
}

TEST_F(BareNameLoggerTest, OnlyADirectoryTooLongToConvertFallsBackToTheBareName)
{
    // 65533 bytes convert to 65534 units with the terminator: still used as
    // the directory, where no plug-in can be found.
    const std::string longest = std::string(65532, 'd') + "/";
    ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, longest.c_str(), 1, 2);
    ASSERT_NE(renderer, nullptr);
    EXPECT_TRUE(plugin.record.calls.empty());
    module.destroyRenderer(renderer);

    // One byte more needs 65535 units: the directory is dropped and the bare
    // name is loaded, while the level query still gets the text as given.
    const std::string tooLong = std::string(65533, 'd') + "/";
    renderer = module.createRenderer(&device, 0, false, tooLong.c_str(), 1, 2);
    ASSERT_NE(renderer, nullptr);
    const ZivTest::RecordedCall call = levelCall();
    EXPECT_EQ(call.pointer, tooLong.c_str());
    module.destroyRenderer(renderer);
}

TEST_F(BareNameLoggerTest, APluginBesideTheModuleComesBeforeOneLoadedAlready)
{
    ZivTest::RecorderState& beside = ZivTest::installRecordingPlugin(module.directory());
    beside.logLevel = 1;
    ZorvUISystem::Renderer* renderer = module.createRenderer(&device, 0, false, nullptr, 1, 2);
    ASSERT_NE(renderer, nullptr);
    EXPECT_EQ(beside.record.count("GetLogLevelFromIniFile"), 1u);
    EXPECT_EQ(beside.record.count("CreatePlovLogger"), 1u);
    EXPECT_TRUE(plugin.record.calls.empty()) << "the plug-in found by name was not used";
    module.destroyRenderer(renderer);
}

} // namespace
