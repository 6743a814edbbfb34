// The scene file: textures, fonts, groups of quads and the frames that draw
// them. The format is described in SCENE.md; parseScene checks everything a
// run needs up front, so that a mistake is reported with its place in the
// file before any texture is loaded.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zivdemo {

// x, y, width, height in pixels.
struct Box {
    float x = 0, y = 0, w = 0, h = 0;
};

// Four ARGB corner colours: top-left, top-right, bottom-left, bottom-right.
struct Corners {
    uint32_t topLeft = 0xFFFFFFFFu, topRight = 0xFFFFFFFFu, bottomLeft = 0xFFFFFFFFu, bottomRight = 0xFFFFFFFFu;
};

// Where a texture's pixels come from, which decides the renderer call:
// File -> createTexture(name, folder); Bytes -> createTexture(bytes, size);
// Pixels -> loadFromMemory with the host-decoded image; Fill -> loadFromMemory
// with one colour.
enum class TextureSource { File, Bytes, Pixels, Fill };

struct TextureSpec {
    std::string name;
    TextureSource source = TextureSource::File;
    std::string path;        // File, Bytes, Pixels: relative to the scene's folder
    bool rgb = false;        // Pixels, Fill: hand over three bytes per pixel
    bool memory = false;     // Pixels, Fill: a memory texture (kept copy, tintable)
    uint32_t fill = 0;       // Fill: ARGB
    uint32_t fillWidth = 0;  // Fill
    uint32_t fillHeight = 0; // Fill
};

struct FontSpec {
    std::string name;
    std::string texture; // the glyph atlas texture
    std::string metrics; // metrics file, relative to the scene's folder
    std::string face;    // face inside the metrics file
};

enum class ItemKind { Image, Tile, Nine, Text };
enum class Align { Left, Centre, Right };

// One entry of a group: a quad, or a rule that makes several.
struct Item {
    ItemKind kind = ItemKind::Image;
    std::string texture;            // Image, Tile, Nine
    std::optional<Box> source;      // texture rectangle; the whole texture when absent
    Box dest;                       // Image, Nine; Tile unless coversDisplay
    bool nativeSize = false;        // Image: only dest.x, dest.y given; the size is the source's
    bool coversDisplay = false;     // Tile: dest is the whole display, whatever its size
    float border[4] = {0, 0, 0, 0}; // Nine: left, top, right, bottom
    std::string text;               // Text (may hold {format}, {blend}, {frame})
    std::string font;               // Text
    float atX = 0, atY = 0;         // Text: line's top, at its left, centre or right
    Align align = Align::Left;      // Text
    float z = 0.5f;
    Corners colours;
    uint32_t aux = 0;
    std::string where; // place in the file, for messages
};

struct ResetSpec {
    bool grow = false; // size is added to the current size
    int32_t width = 0;
    int32_t height = 0;
};

// Where the pointer is over the window and whether its button is down.
// Outside the window nothing answers it.
struct Pointer {
    float x = 0, y = 0;
    bool inside = false;
    bool down = false;
};

// How a region answers the pointer: away from it, over it, pressing it.
enum class RegionState { Idle, Hover, Pressed };

// A part of the window that answers the pointer (a button, a list): the
// groups it draws in each state.
struct RegionSpec {
    std::string name;
    Box area;
    std::vector<std::string> groups[3]; // by RegionState
};

// What the window draws: groups and regions in drawing order.
struct InteractiveSpec {
    std::vector<std::string> groups; // names of groups and of regions
    std::vector<RegionSpec> regions;

    const RegionSpec* region(const std::string& name) const;
    // The state of a region under this pointer.
    static RegionState stateOf(const RegionSpec& region, const Pointer& pointer);
    // The groups to draw for this pointer, regions replaced by their groups.
    std::vector<std::string> groupsFor(const Pointer& pointer) const;
    // "ok=hover list=idle": every region's state, for people and for tests.
    std::string describe(const Pointer& pointer) const;
};

struct FrameSpec {
    std::string name;
    std::vector<std::string> groups;
    std::optional<Pointer> pointer; // the frame is the window's under this pointer
    std::optional<ResetSpec> reset; // a device reset before the frame
    std::string sameAs;             // an earlier frame this one must equal where both have pixels
};

// The corner of the display a group keeps its distance to: its coordinates
// are given for the scene's size, and a display of another size moves it
// with that corner, as a desktop keeps a notification in its corner.
enum class Anchor { TopLeft, TopRight, BottomLeft, BottomRight };

struct Scene {
    std::string name;
    uint32_t width = 640;
    uint32_t height = 480;
    uint32_t background = 0xFF000000u; // ARGB; the host clears the target with it
    std::string folder;                // what relative paths start from
    std::vector<TextureSpec> textures;
    std::vector<FontSpec> fonts;
    std::map<std::string, std::vector<Item>> groups;
    std::map<std::string, Anchor> anchors; // by group; top-left when absent
    std::vector<FrameSpec> frames;
    std::optional<InteractiveSpec> interactive; // what the window draws (ziv-demo --window)

    const TextureSpec* texture(const std::string& name) const;
    const FontSpec* font(const std::string& name) const;
    // A path of the scene, relative to its folder unless absolute.
    std::string resolve(const std::string& path) const;
};

// Parses a scene. sourceName names the text in messages (a file name or
// "built-in scene"); folder is where its relative paths start. Throws
// std::runtime_error "<sourceName>: <place>: <problem>".
Scene parseScene(const std::string& text, const std::string& sourceName, const std::string& folder);

// Reads and parses a scene file; relative paths start at the file's folder.
Scene loadSceneFile(const std::string& path);

// "#RRGGBB" (opaque) or "#AARRGGBB" as ARGB; nullopt for anything else.
std::optional<uint32_t> parseColour(const std::string& text);

// The glyphs of one face of a metrics file.
struct Glyph {
    uint32_t x = 0, y = 0, w = 0, h = 0;
    int32_t left = 0, top = 0, advance = 0;
};

struct FontMetrics {
    int32_t ascender = 0;
    int32_t lineHeight = 0;
    std::map<uint32_t, Glyph> glyphs;
};

// Parses one face of a glyph metrics file. Throws std::runtime_error.
FontMetrics parseFontMetrics(const std::string& text, const std::string& face, const std::string& sourceName);

// The text of a file; throws std::runtime_error naming it.
std::string readTextFile(const std::string& path);
std::vector<uint8_t> readBinaryFile(const std::string& path);

} // namespace zivdemo
