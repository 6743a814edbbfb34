// ziv-skin: paints the demo's skin images and glyph atlas into a folder.
// The results are committed under Hosts/demo/assets; rebuild them with
//   cmake --build build --target ziv-skin-update
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "SkinPainter.h"

namespace {

const char* kUsage = "Usage: ziv-skin OUTPUT_FOLDER [FONT_FOLDER]\n"
                     "\n"
                     "Paints the demo skin (wallpaper, window frame, title bar, buttons in three\n"
                     "states, panel, icon, scroll bar) as PNG files into OUTPUT_FOLDER, and the\n"
                     "glyph atlas glyphs.png with its metrics glyphs.json from DejaVu Sans\n"
                     "(FONT_FOLDER, default /usr/share/fonts/truetype/dejavu).\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 || argc > 3 ? stderr : stdout);
        return argc < 2 || argc > 3 ? 2 : 0;
    }
    const std::filesystem::path out = argv[1];
    const std::string fonts = argc > 2 ? argv[2] : "/usr/share/fonts/truetype/dejavu";
    try {
        std::filesystem::create_directories(out);
        for (const zivskin::SkinImage& image : zivskin::paintSkin()) {
            zivdemo::writePng((out / image.fileName).string(), image.image, image.withAlpha);
        }
        const zivskin::GlyphAtlas atlas = zivskin::rasteriseGlyphs(
            {{"sans", fonts + "/DejaVuSans.ttf", 13}, {"bold", fonts + "/DejaVuSans-Bold.ttf", 13}}, "glyphs.png");
        zivdemo::writePng((out / "glyphs.png").string(), atlas.image, true);
        std::ofstream json(out / "glyphs.json", std::ios::binary);
        json << atlas.json;
        if (!json.flush()) {
            throw std::runtime_error("cannot write " + (out / "glyphs.json").string());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ziv-skin: %s\n", e.what());
        return 1;
    }
    std::printf("ziv-skin: wrote the skin to %s\n", out.string().c_str());
    return 0;
}
