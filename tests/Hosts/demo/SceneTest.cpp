// Scene files: the built-in scene, colours, and the message for each kind of
// mistake, which must name the place in the file.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "BuiltinScene.h"
#include "Scene.h"

using namespace zivdemo;

namespace {

std::string errorOf(const std::string& text)
{
    try {
        parseScene(text, "test.json", "");
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "(no error)";
}

// A valid scene with one texture, one group and one frame; tests splice
// their mistake into it.
std::string scene(const std::string& textures, const std::string& group, const std::string& frames)
{
    return R"({"name": "t", "textures": {)" + textures + R"(}, "groups": {"g": [)" + group + R"(]}, "frames": [)" +
           frames + "]}";
}

const std::string kTexture = R"("a": {"file": "a.png"})";
const std::string kQuad = R"({"texture": "a", "dest": [0, 0, 10, 10]})";
const std::string kFrame = R"({"name": "f", "groups": ["g"]})";

} // namespace

TEST(SceneColour, ReadsOpaqueAndTranslucentForms)
{
    EXPECT_EQ(parseColour("#1F4F6F"), 0xFF1F4F6Fu);
    EXPECT_EQ(parseColour("#c0ffffff"), 0xC0FFFFFFu);
    EXPECT_EQ(parseColour("#00000000"), 0x00000000u);
    EXPECT_EQ(parseColour("1F4F6F"), std::nullopt);
    EXPECT_EQ(parseColour("#1F4F6"), std::nullopt);
    EXPECT_EQ(parseColour("#1F4F6G"), std::nullopt);
    EXPECT_EQ(parseColour(""), std::nullopt);
}

TEST(SceneParse, BuiltInSceneHasItsTexturesFramesAndReset)
{
    const Scene s = parseScene(kBuiltinScene, "built-in scene", "/assets");
    EXPECT_EQ(s.name, "desktop");
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.height, 480u);
    ASSERT_EQ(s.frames.size(), 4u);
    EXPECT_EQ(s.frames[0].name, "idle");
    EXPECT_EQ(s.frames[3].name, "resized");
    ASSERT_TRUE(s.frames[3].reset.has_value());
    EXPECT_TRUE(s.frames[3].reset->grow);
    EXPECT_EQ(s.frames[3].sameAs, "idle");
    // Textures come from every kind of source, in file order.
    ASSERT_NE(s.texture("window"), nullptr);
    EXPECT_EQ(s.texture("window")->source, TextureSource::File);
    EXPECT_EQ(s.texture("buttons")->source, TextureSource::Bytes);
    EXPECT_EQ(s.texture("wallpaper")->source, TextureSource::Pixels);
    EXPECT_TRUE(s.texture("wallpaper")->rgb);
    EXPECT_TRUE(s.texture("glyphs")->memory);
    EXPECT_EQ(s.texture("white")->source, TextureSource::Fill);
    EXPECT_EQ(s.textures.front().name, "wallpaper");
    EXPECT_EQ(s.resolve("window.png"), "/assets/window.png");
    EXPECT_EQ(s.resolve("/x/y.png"), "/x/y.png");
}

TEST(SceneParse, ReadsEveryItemForm)
{
    const std::string text = R"({"name": "t",
      "textures": {"a": {"file": "a.png"}, "g": {"pixels": "g.png", "memory": true}},
      "fonts": {"f": {"texture": "g", "metrics": "m.json", "face": "sans"}},
      "groups": {"g": [
        {"texture": "a", "at": [3, 4], "src": [1, 2, 5, 6], "z": 0.25, "colour": "#80112233", "aux": 7},
        {"texture": "a", "tile": "display"},
        {"texture": "a", "tile": [1, 2, 30, 40]},
        {"texture": "a", "nine": [0, 0, 50, 50], "border": [1, 2, 3, 4],
         "colours": ["#01000000", "#02000000", "#03000000", "#04000000"]},
        {"text": "hi", "font": "f", "at": [10, 20], "align": "right"}
      ]},
      "frames": [{"name": "a", "groups": ["g"]}, {"name": "b", "groups": [], "reset": {"size": [320, 200]}, "sameAs": "a"}]
    })";
    const Scene s = parseScene(text, "t.json", "");
    const std::vector<Item>& items = s.groups.at("g");
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].kind, ItemKind::Image);
    EXPECT_TRUE(items[0].nativeSize);
    EXPECT_FLOAT_EQ(items[0].dest.x, 3);
    EXPECT_FLOAT_EQ(items[0].source->w, 5);
    EXPECT_FLOAT_EQ(items[0].z, 0.25f);
    EXPECT_EQ(items[0].colours.bottomRight, 0x80112233u);
    EXPECT_EQ(items[0].aux, 7u);
    EXPECT_TRUE(items[1].coversDisplay);
    EXPECT_EQ(items[2].kind, ItemKind::Tile);
    EXPECT_FLOAT_EQ(items[2].dest.h, 40);
    EXPECT_EQ(items[3].kind, ItemKind::Nine);
    EXPECT_FLOAT_EQ(items[3].border[3], 4);
    EXPECT_EQ(items[3].colours.topLeft, 0x01000000u);
    EXPECT_EQ(items[3].colours.bottomLeft, 0x03000000u);
    EXPECT_EQ(items[4].kind, ItemKind::Text);
    EXPECT_EQ(items[4].align, Align::Right);
    EXPECT_FLOAT_EQ(items[4].z, 0.5f);
    EXPECT_EQ(items[4].colours.topLeft, 0xFFFFFFFFu);
    ASSERT_TRUE(s.frames[1].reset.has_value());
    EXPECT_FALSE(s.frames[1].reset->grow);
    EXPECT_EQ(s.frames[1].reset->width, 320);
    EXPECT_EQ(s.width, 640u);
    EXPECT_EQ(s.background, 0xFF000000u);
}

TEST(SceneParse, CommentsAreAllowed)
{
    EXPECT_NO_THROW(parseScene("// a scene\n" + scene(kTexture, kQuad, kFrame), "t.json", ""));
}

TEST(SceneErrors, NameThePlaceAndTheProblem)
{
    struct Case {
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {scene(kTexture, R"({"texture": "b", "dest": [0, 0, 1, 1]})", kFrame),
         "test.json: groups.g[0].texture: no texture 'b' in \"textures\""},
        {scene(kTexture, R"({"texture": "a", "dest": [0, 0, 1, 1], "colour": "red"})", kFrame),
         "test.json: groups.g[0].colour: expected a colour \"#RRGGBB\" or \"#AARRGGBB\""},
        {scene(kTexture, R"({"texture": "a", "dset": [0, 0, 1, 1]})", kFrame),
         "test.json: groups.g[0]: unknown key 'dset' (known keys: align, at, aux, border, colour, colours, dest, "
         "font, nine, src, text, texture, tile, z)"},
        {scene(kTexture, R"({"texture": "a", "dest": [0, 0, 1]})", kFrame),
         "test.json: groups.g[0].dest: expected a list of 4 numbers"},
        {scene(kTexture, R"({"texture": "a", "dest": [0, 0, -1, 1]})", kFrame),
         "test.json: groups.g[0].dest: width and height must not be negative"},
        {scene(kTexture, R"({"texture": "a", "dest": [0, 0, 1, 1], "at": [0, 0]})", kFrame),
         "test.json: groups.g[0]: give exactly one of \"dest\", \"at\", \"tile\" or \"nine\""},
        {scene(kTexture, R"({"texture": "a", "nine": [0, 0, 9, 9]})", kFrame),
         "test.json: groups.g[0]: \"nine\" needs a \"border\": [left, top, right, bottom]"},
        {scene(kTexture, R"({"texture": "a", "dest": [0, 0, 1, 1], "src": [0, 0, 0, 4]})", kFrame),
         "test.json: groups.g[0].src: the texture rectangle is empty"},
        {scene(kTexture, R"({"text": "x", "font": "f", "at": [0, 0]})", kFrame),
         "test.json: groups.g[0].font: no font 'f' in \"fonts\""},
        {scene(kTexture, R"({"text": "x"})", kFrame),
         "test.json: groups.g[0]: a text needs a \"font\" and \"at\": [x, y]"},
        {scene(R"("a": {"file": "a.png", "bytes": "a.png"})", kQuad, kFrame),
         "test.json: textures.a: give exactly one of \"file\", \"bytes\", \"pixels\" or \"fill\""},
        {scene(R"("a": {"pixels": "a.png", "rgb": true, "memory": true})", kQuad, kFrame),
         "test.json: textures.a: a memory texture takes RGBA pixels; drop \"rgb\" or \"memory\""},
        {scene(R"("a": {"fill": "#FFFFFF"})", kQuad, kFrame),
         "test.json: textures.a: a \"fill\" texture needs a \"size\": [width, height]"},
        {scene(R"("a": {"fill": "#FFFFFF", "size": [0, 4]})", kQuad, kFrame),
         "test.json: textures.a.size[0]: expected a whole number from 1 to 4096"},
        {scene(R"("a": {"file": "a.png", "memory": true})", kQuad, kFrame),
         "test.json: textures.a: \"rgb\" and \"memory\" belong to \"pixels\" and \"fill\" textures only"},
        {scene(kTexture, kQuad, R"({"name": "f", "groups": ["h"]})"),
         "test.json: frames[0].groups[0]: no group 'h' in \"groups\""},
        {scene(kTexture, kQuad, R"({"name": "Idle frame", "groups": []})"),
         "test.json: frames[0].name: frame names use a-z, 0-9, '-' and '_' (they become file names)"},
        {scene(kTexture, kQuad, kFrame + "," + kFrame), "test.json: frames[1].name: a second frame named 'f'"},
        {scene(kTexture, kQuad, R"({"name": "f", "groups": [], "sameAs": "f"})"),
         "test.json: frames[0].sameAs: no earlier frame 'f'"},
        {scene(kTexture, kQuad, R"({"name": "f", "groups": [], "reset": {"size": [1, 1], "grow": [1, 1]}})"),
         "test.json: frames[0].reset: give \"size\": [width, height] or \"grow\": [width, height]"},
        {scene(kTexture, kQuad, R"({"name": "f", "groups": [], "reset": {"size": [0, 100]}})"),
         "test.json: frames[0].reset.size: sizes run from 1 to 4096"},
        {scene(kTexture, kQuad, R"({"name": "f", "groups": [], "reset": {"grow": [1.5, 0]}})"),
         "test.json: frames[0].reset.grow: expected two whole numbers"},
        {R"({"name": "t", "frames": []})", "test.json: frames: a scene needs a list of at least one frame"},
        {R"({"name": "t", "size": [640], "frames": []})", "test.json: size: expected [width, height]"},
        {R"([1, 2])", "test.json: the scene: expected an object, found a list"},
        {R"({"name": "t", "groups": {"g": []}, "anchors": {"h": "top-right"}, "frames": [{"name": "f", "groups": []}]})",
         "test.json: anchors.h: no group 'h' in \"groups\""},
        {R"({"name": "t", "groups": {"g": []}, "anchors": {"g": "right"}, "frames": [{"name": "f", "groups": []}]})",
         "test.json: anchors.g: expected \"top-left\", \"top-right\", \"bottom-left\" or \"bottom-right\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(c.text), c.message) << c.text;
    }
}

TEST(SceneErrors, InvalidJsonNamesTheLine)
{
    const std::string message = errorOf("{\n  \"name\": \"t\",\n  oops\n}");
    EXPECT_EQ(message.rfind("test.json: not valid JSON: parse error at line 3", 0), 0u) << message;
}

TEST(SceneFiles, MissingFileIsNamed)
{
    try {
        loadSceneFile("/nonexistent/scene.json");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cannot open '/nonexistent/scene.json': No such file or directory");
    }
}

TEST(FontMetricsFile, ReadsTheFaceAndRejectsAMissingOne)
{
    const std::string text = R"({"faces": {"sans": {"ascender": 13, "lineHeight": 15,
        "glyphs": [[65, 1, 2, 7, 9, 0, 9, 8], [32, 0, 0, 0, 0, 0, 0, 4]]}}})";
    const FontMetrics m = parseFontMetrics(text, "sans", "m.json");
    EXPECT_EQ(m.ascender, 13);
    EXPECT_EQ(m.lineHeight, 15);
    ASSERT_EQ(m.glyphs.count('A'), 1u);
    EXPECT_EQ(m.glyphs.at('A').x, 1u);
    EXPECT_EQ(m.glyphs.at('A').top, 9);
    EXPECT_EQ(m.glyphs.at('A').advance, 8);
    try {
        parseFontMetrics(text, "bold", "m.json");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "m.json: no face 'bold'");
    }
    try {
        parseFontMetrics(R"({"faces": {"sans": {"ascender": "13"}}})", "sans", "m.json");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "m.json: type must be number, but is string");
    }
}
