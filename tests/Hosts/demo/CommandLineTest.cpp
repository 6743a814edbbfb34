// ziv-demo's failures as a newcomer meets them: each is one line on stderr
// that names the file and the reason, with exit status 1, and nothing is
// rendered.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string err;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// This process's own folder: runs of other builds at the same time keep to theirs.
fs::path workFolder()
{
    return fs::path(testing::TempDir()) / ("ziv-demo-cli-" + std::to_string(getpid()));
}

// environment: put in front of the command, as "env -u DISPLAY".
Outcome runDemo(const std::string& arguments, const std::string& environment = "")
{
    const fs::path work = workFolder();
    fs::create_directories(work);
    const fs::path err = work / "stderr.txt";
    const std::string command = environment + " " + std::string(ZIV_DEMO_EXE) +
                                (environment.empty() ? " --repeat 1 " : " ") + arguments + " >/dev/null 2>" +
                                err.string();
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    outcome.err = slurp(err);
    return outcome;
}

void expectOneLine(const Outcome& outcome, const std::string& line)
{
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "ziv-demo: " + line + "\n");
}

} // namespace

TEST(DemoCommandLine, FilesThatCannotBeReadOrWrittenAreNamedWithTheReason)
{
    const fs::path work = workFolder();
    fs::create_directories(work / "folder.json");
    std::ofstream(work / "plain") << "a file, not a folder";
    const std::string out = " --out " + (work / "out").string();

    expectOneLine(runDemo("--scene " + (work / "folder.json").string() + out),
                  "cannot read '" + (work / "folder.json").string() + "': Is a directory");
    expectOneLine(runDemo("--scene " + (work / "missing.json").string() + out),
                  "cannot open '" + (work / "missing.json").string() + "': No such file or directory");
    expectOneLine(runDemo("--out " + (work / "plain" / "out").string()),
                  "cannot create the output folder '" + (work / "plain" / "out").string() + "': Not a directory");

    // Textures that the module would decode: a missing file, a cut one and
    // one that is no image, each named with its path from the scene's
    // folder, before anything is rendered.
    const fs::path assets = ZIV_DEMO_ASSETS;
    fs::copy(assets, work, fs::copy_options::overwrite_existing | fs::copy_options::recursive);
    std::ifstream scene(assets / "desktop.json");
    const std::string text((std::istreambuf_iterator<char>(scene)), std::istreambuf_iterator<char>());
    std::ofstream(work / "cut.png", std::ios::binary) << slurp(assets / "window.png").substr(0, 300);
    const std::string folder = (work / "").string();
    const struct {
        const char* from;
        const char* to;
        std::string line;
    } textures[] = {
        {"\"window.png\"", "\"missing.png\"",
         "texture 'window': cannot open '" + folder + "missing.png': No such file or directory"},
        {"\"window.png\"", "\"cut.png\"",
         "texture 'window': cannot decode '" + folder + "cut.png': PNG data that is damaged or cut short"},
        {"\"buttons.png\"", "\"plain\"",
         "texture 'buttons': cannot decode '" + folder + "plain': not an image (neither PNG, JPEG, GIF, BMP nor TGA)"},
    };
    for (const auto& t : textures) {
        std::string changed = text;
        changed.replace(changed.find(t.from), std::strlen(t.from), t.to);
        std::ofstream(work / "scene.json") << changed;
        expectOneLine(runDemo("--scene " + (work / "scene.json").string() + out), t.line);
        expectOneLine(runDemo("--window --scene " + (work / "scene.json").string(), "env -u DISPLAY"), t.line);
    }
    EXPECT_FALSE(fs::exists(work / "out"));
}

TEST(DemoCommandLine, AWindowWithoutADisplayIsRefused)
{
    expectOneLine(runDemo("--window", "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER"),
                  "no display to open a window on");
}

TEST(DemoCommandLine, ASizeTheSceneCannotResetFromIsRefusedBeforeRendering)
{
    const fs::path out = workFolder() / "large";
    fs::remove_all(out);
    expectOneLine(runDemo("--size 4096x4096 --out " + out.string()),
                  "the size 4096x4096 does not suit the scene 'desktop': in frame 'resized', a reset to 4256x4216 is "
                  "outside 1x1 to 4096x4096");
    EXPECT_FALSE(fs::exists(out));
}
