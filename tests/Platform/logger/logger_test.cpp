// The logger plug-in, loaded as the module loads it: by file name, through
// its three C exports.
#include "PlovLogger.h"
#include "TempDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Plugin {
    Plugin()
    {
        handle = dlopen(ZIV_TEST_LOGGER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return;
        create = reinterpret_cast<CreatePlovLoggerFn>(dlsym(handle, "CreatePlovLogger"));
        unrecoverable = reinterpret_cast<UnRecoveryErrorFn>(dlsym(handle, "unRecoveryError"));
        level = reinterpret_cast<GetLogLevelFromIniFileFn>(dlsym(handle, "GetLogLevelFromIniFile"));
    }
    void* handle = nullptr;
    CreatePlovLoggerFn create = nullptr;
    UnRecoveryErrorFn unrecoverable = nullptr;
    GetLogLevelFromIniFileFn level = nullptr;
};

const Plugin& plugin()
{
    static const Plugin loaded;
    return loaded;
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(path));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "2026-12-07 08:38:41.123 [ziv] ERROR: text" -> "[ziv] ERROR: text", after
// checking the timestamp's shape.
std::string withoutTimestamp(const std::string& line)
{
    // 'd' stands for a digit.
    const std::string shape = "dddd-dd-dd dd:dd:dd.ddd ";
    bool matches = line.size() >= shape.size();
    for (size_t i = 0; matches && i < shape.size(); ++i)
        matches = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0 : line[i] == shape[i];
    if (!matches)
        return "<no timestamp> " + line;
    return line.substr(shape.size());
}

std::vector<std::string> messages(const std::string& path)
{
    std::vector<std::string> result;
    for (const std::string& line : readLines(path))
        result.push_back(withoutTimestamp(line));
    return result;
}

using LoggerPtr = std::unique_ptr<PlovLogger>;

// Runs in another working directory for the life of the object.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& path) : d_saved(std::filesystem::current_path())
    {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(d_saved); }

private:
    std::filesystem::path d_saved;
};

class LoggerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(plugin().handle, nullptr) << dlerror();
        ASSERT_NE(plugin().create, nullptr);
        ASSERT_NE(plugin().unrecoverable, nullptr);
        ASSERT_NE(plugin().level, nullptr);
    }

    std::string path(const std::string& name) const { return d_dir.path() + "/" + name; }
    void writeIni(const std::string& content) const { writeFile(path("VumLogger.ini"), content); }
    int32_t levelFor(const char* module = "ziv") const
    {
        return plugin().level(d_dir.prefix().c_str(), module, "VumLogger.ini");
    }
    LoggerPtr configure(const std::string& ini, const char* module = "ziv") const
    {
        writeIni(ini);
        const int32_t level = levelFor(module);
        return LoggerPtr(plugin().create(7, 9, module, level));
    }

    ZivTest::TempDirectory d_dir;
};

} // namespace

// ----- reading VumLogger.ini -------------------------------------------------

TEST_F(LoggerTest, MissingFileSectionOrKeyMeansLevelZero)
{
    EXPECT_EQ(0, levelFor()) << "no ini file";
    writeIni("[other]\nlevel=5\n");
    EXPECT_EQ(0, levelFor()) << "no [ziv] section";
    writeIni("[ziv]\nfile=ziv.log\n");
    EXPECT_EQ(0, levelFor()) << "no level key";
    writeIni("[ziv]\nlevel=\n");
    EXPECT_EQ(0, levelFor()) << "empty value";
    EXPECT_EQ(0, plugin().level(d_dir.prefix().c_str(), nullptr, "VumLogger.ini"));
}

TEST_F(LoggerTest, ReadsTheModulesOwnSection)
{
    writeIni("[zivx]\nlevel=9\n[ZIV]\nlevel=3\n[other]\nlevel=8\n");
    EXPECT_EQ(3, levelFor()) << "section names match without regard to case";
    EXPECT_EQ(8, levelFor("other"));
    EXPECT_EQ(9, levelFor("zivx"));
    writeIni("[ziv]\nlevel=2\nlevel=4\n[ziv]\nlevel=6\n");
    EXPECT_EQ(2, levelFor()) << "the first occurrence wins";
}

TEST_F(LoggerTest, ToleratesWhitespaceCommentsAndLineEndings)
{
    writeIni("\xEF\xBB\xBF; written by an editor\r\n"
             "# level=7 in a comment\r\n"
             "   [  ziv  ]   \r\n"
             "\t; level=9\r\n"
             "not a key\r\n"
             "  LeVeL   =   4   \r\n");
    EXPECT_EQ(4, levelFor());
    writeIni("[ziv]\nlevel = 1 ; errors only\n");
    EXPECT_EQ(1, levelFor()) << "the leading number counts";
    writeIni("[ziv]\nlevel=\"3\"\n");
    EXPECT_EQ(3, levelFor()) << "quotes around a value";
}

TEST_F(LoggerTest, LevelNumbers)
{
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0}, {"-2", -2}, {"+5", 5}, {"abc", 0}, {"99999999999", INT32_MAX}, {"-99999999999", INT32_MIN},
    };
    for (const auto& [text, expected] : cases) {
        writeIni(std::string("[ziv]\nlevel=") + text + "\n");
        EXPECT_EQ(expected, levelFor()) << text;
    }
}

TEST_F(LoggerTest, DirectoryWithoutSeparatorAndCurrentDirectory)
{
    writeIni("[ziv]\nlevel=4\n");
    EXPECT_EQ(4, plugin().level(d_dir.path().c_str(), "ziv", "VumLogger.ini"));
    const WorkingDirectory inside(d_dir.path());
    EXPECT_EQ(4, plugin().level(nullptr, "ziv", "VumLogger.ini"));
    EXPECT_EQ(4, plugin().level("", "ziv", "VumLogger.ini"));
}

// ----- writing -----------------------------------------------------------

TEST_F(LoggerTest, AppendsTimestampedLinesToTheConfiguredFile)
{
    std::filesystem::create_directory(path("logs"));
    writeFile(path("logs/out.log"), "earlier line\n");
    LoggerPtr logger = configure("[ziv]\nlevel=4\nfile=logs/out.log\n");
    ASSERT_NE(logger, nullptr);
    logger->logMessage("first message", 1);
    logger->logMessage("trace with trailing newline\n", 4);
    logger->logMessage("level two", 2);
    logger.reset();

    const std::vector<std::string> lines = readLines(path("logs/out.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "earlier line");
    EXPECT_EQ(withoutTimestamp(lines[1]), "[ziv] ERROR: first message");
    EXPECT_EQ(withoutTimestamp(lines[2]), "[ziv] TRACE: trace with trailing newline");
    EXPECT_EQ(withoutTimestamp(lines[3]), "[ziv] WARNING: level two");

    // A second logger appends after the first.
    logger = configure("[ziv]\nlevel=4\nfile=logs/out.log\n");
    ASSERT_NE(logger, nullptr);
    logger->logMessage("second logger", 1);
    logger.reset();
    EXPECT_EQ(messages(path("logs/out.log")).back(), "[ziv] ERROR: second logger");
}

TEST_F(LoggerTest, DefaultAndAbsoluteFileNames)
{
    LoggerPtr logger = configure("[ziv]\nlevel=1\n");
    ASSERT_NE(logger, nullptr);
    logger->logMessage("to the default file", 1);
    logger.reset();
    EXPECT_EQ(messages(path("ziv.log")), std::vector<std::string>{"[ziv] ERROR: to the default file"});

    ZivTest::TempDirectory elsewhere;
    const std::string absolute = elsewhere.path() + "/absolute.log";
    logger = configure("[ziv]\nlevel=1\nfile=" + absolute + "\n");
    ASSERT_NE(logger, nullptr);
    logger->logMessage("to an absolute path", 1);
    logger.reset();
    EXPECT_EQ(messages(absolute), std::vector<std::string>{"[ziv] ERROR: to an absolute path"});
}

TEST_F(LoggerTest, LevelFiltersMessages)
{
    LoggerPtr errorsOnly = configure("[ziv]\nlevel=1\nfile=filtered.log\n");
    ASSERT_NE(errorsOnly, nullptr);
    errorsOnly->logMessage("trace dropped", 4);
    errorsOnly->logFormat(4, "formatted trace %d dropped", 4);
    errorsOnly->logMessage("error kept", 1);
    errorsOnly->logFormat(1, "formatted error %d kept", 1);
    errorsOnly->logMessage("most severe kept", 0);
    errorsOnly.reset();
    EXPECT_EQ(messages(path("filtered.log")),
              (std::vector<std::string>{"[ziv] ERROR: error kept", "[ziv] ERROR: formatted error 1 kept",
                                        "[ziv] LEVEL 0: most severe kept"}));

    LoggerPtr everything = configure("[ziv]\nlevel=4\nfile=all.log\n");
    ASSERT_NE(everything, nullptr);
    everything->logMessage("trace", 4);
    everything->logMessage("beyond", 5);
    everything.reset();
    EXPECT_EQ(messages(path("all.log")), std::vector<std::string>{"[ziv] TRACE: trace"});
}

TEST_F(LoggerTest, LogFormatIsPrintfStyleAtAnyLength)
{
    LoggerPtr logger = configure("[ziv]\nlevel=4\n");
    ASSERT_NE(logger, nullptr);
    logger->logFormat(1, "%s(%d) DDERR_SURFACELOST", "with alpha blend strecth blt source surface error",
                      int32_t(0x887601C2));
    logger->logFormat(4, "CDD7Render::postD3DReset (width %f, height %f)", 1024.0, 768.0);
    const std::string longText(5000, 'x');
    logger->logFormat(1, "[%s]", longText.c_str());
    logger->logFormat(1, "100%% %c", 'z');
    logger.reset();

    const std::vector<std::string> lines = messages(path("ziv.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              "[ziv] ERROR: with alpha blend strecth blt source surface error(-2005532222) DDERR_SURFACELOST");
    EXPECT_EQ(lines[1], "[ziv] TRACE: CDD7Render::postD3DReset (width 1024.000000, height 768.000000)");
    EXPECT_EQ(lines[2], "[ziv] ERROR: [" + longText + "]");
    EXPECT_EQ(lines[3], "[ziv] ERROR: 100% z");
}

TEST_F(LoggerTest, RemembersTheFileChosenPerModule)
{
    writeIni("[alpha]\nlevel=1\nfile=a.log\n[beta]\nlevel=1\nfile=b.log\n");
    ASSERT_EQ(1, levelFor("alpha"));
    ASSERT_EQ(1, levelFor("beta"));
    LoggerPtr alpha(plugin().create(0, 0, "alpha", 1));
    LoggerPtr beta(plugin().create(0, 0, "beta", 1));
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(beta, nullptr);
    alpha->logMessage("from alpha", 1);
    beta->logMessage("from beta", 1);
    EXPECT_EQ(messages(path("a.log")), std::vector<std::string>{"[alpha] ERROR: from alpha"});
    EXPECT_EQ(messages(path("b.log")), std::vector<std::string>{"[beta] ERROR: from beta"});

    // The last configuration for a name decides where the next logger writes.
    ZivTest::TempDirectory other;
    writeFile(other.path() + "/VumLogger.ini", "[alpha]\nlevel=1\nfile=moved.log\n");
    ASSERT_EQ(1, plugin().level(other.prefix().c_str(), "alpha", "VumLogger.ini"));
    LoggerPtr moved(plugin().create(0, 0, "alpha", 1));
    ASSERT_NE(moved, nullptr);
    moved->logMessage("moved", 1);
    EXPECT_EQ(messages(other.path() + "/moved.log"), std::vector<std::string>{"[alpha] ERROR: moved"});
    EXPECT_EQ(messages(path("a.log")).size(), 1u);
}

TEST_F(LoggerTest, UnconfiguredModuleLogsToTheCurrentDirectory)
{
    const WorkingDirectory inside(d_dir.path());
    LoggerPtr logger(plugin().create(0, 0, "never-configured", 2));
    ASSERT_NE(logger, nullptr);
    logger->logMessage("hello", 2);
    logger.reset();
    EXPECT_EQ(messages(path("never-configured.log")), std::vector<std::string>{"[never-configured] WARNING: hello"});
}

TEST_F(LoggerTest, UnwritableFileGivesNoLoggerAndANotice)
{
    writeIni("[ziv]\nlevel=1\nfile=no-such-folder/ziv.log\n");
    ASSERT_EQ(1, levelFor());
    testing::internal::CaptureStderr();
    EXPECT_EQ(plugin().create(0, 0, "ziv", 1), nullptr);
    const std::string notice = testing::internal::GetCapturedStderr();
    EXPECT_NE(notice.find("no-such-folder/ziv.log"), std::string::npos) << notice;
    EXPECT_EQ(plugin().create(0, 0, nullptr, 1), nullptr);
}

TEST_F(LoggerTest, UnRecoveryErrorWritesToStandardError)
{
    testing::internal::CaptureStderr();
    plugin().unrecoverable("ziv --> createRenderer() error : ");
    plugin().unrecoverable(nullptr);
    std::vector<std::string> lines;
    std::istringstream captured(testing::internal::GetCapturedStderr());
    for (std::string line; std::getline(captured, line);)
        lines.push_back(withoutTimestamp(line));
    EXPECT_EQ(lines, (std::vector<std::string>{"unrecoverable error: ziv --> createRenderer() error : ",
                                               "unrecoverable error: (null)"}));
}

TEST_F(LoggerTest, LinesFromSeveralThreadsStayWhole)
{
    LoggerPtr first = configure("[ziv]\nlevel=4\nfile=shared.log\n");
    LoggerPtr second(plugin().create(0, 0, "ziv", 4));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const std::string payload(300, 'p');
    const auto writer = [&](PlovLogger* logger, int id) {
        for (int i = 0; i < 200; ++i)
            logger->logFormat(4, "writer %d line %d %s", id, i, payload.c_str());
    };
    std::thread a(writer, first.get(), 1);
    std::thread b(writer, second.get(), 2);
    a.join();
    b.join();
    first.reset();
    second.reset();

    std::vector<std::string> expected;
    for (int id = 1; id <= 2; ++id)
        for (int i = 0; i < 200; ++i)
            expected.push_back("[ziv] TRACE: writer " + std::to_string(id) + " line " + std::to_string(i) + " " +
                               payload);
    std::vector<std::string> lines = messages(path("shared.log"));
    std::sort(lines.begin(), lines.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(lines == expected) << lines.size() << " lines";
}
