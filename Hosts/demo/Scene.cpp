#include "Scene.h"
#include <algorithm>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>

namespace zivdemo {

using json = nlohmann::ordered_json;

namespace {

// Raised while walking the document; carries the place in the file.
class SceneError : public std::runtime_error {
public:
    SceneError(const std::string& where, const std::string& problem) : std::runtime_error(where + ": " + problem) {}
};

std::string describe(const json& value)
{
    switch (value.type()) {
    case json::value_t::object:
        return "an object";
    case json::value_t::array:
        return "a list";
    case json::value_t::string:
        return "a text";
    case json::value_t::boolean:
        return "true or false";
    case json::value_t::null:
        return "null";
    default:
        return "a number";
    }
}

void allowKeys(const json& object, const std::string& where, const std::set<std::string>& allowed)
{
    for (const auto& [key, value] : object.items()) {
        if (allowed.count(key) == 0) {
            std::string list;
            for (const std::string& name : allowed) {
                list += (list.empty() ? "" : ", ") + name;
            }
            throw SceneError(where, "unknown key '" + key + "' (known keys: " + list + ")");
        }
    }
}

const json& requireObject(const json& value, const std::string& where)
{
    if (!value.is_object()) {
        throw SceneError(where, "expected an object, found " + describe(value));
    }
    return value;
}

std::string requireString(const json& value, const std::string& where)
{
    if (!value.is_string()) {
        throw SceneError(where, "expected a text, found " + describe(value));
    }
    return value.get<std::string>();
}

float requireNumber(const json& value, const std::string& where)
{
    if (!value.is_number()) {
        throw SceneError(where, "expected a number, found " + describe(value));
    }
    const double number = value.get<double>();
    if (!std::isfinite(number) || std::fabs(number) > 1.0e7) {
        throw SceneError(where, "the number is out of range");
    }
    return static_cast<float>(number);
}

uint32_t requireCount(const json& value, const std::string& where, uint32_t low, uint32_t high)
{
    if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high) {
        throw SceneError(where, "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    }
    return static_cast<uint32_t>(value.get<int64_t>());
}

std::vector<float> requireNumbers(const json& value, const std::string& where, size_t count)
{
    if (!value.is_array() || value.size() != count) {
        throw SceneError(where, "expected a list of " + std::to_string(count) + " numbers");
    }
    std::vector<float> out;
    for (size_t i = 0; i < count; ++i) {
        out.push_back(requireNumber(value[i], where + "[" + std::to_string(i) + "]"));
    }
    return out;
}

Box requireBox(const json& value, const std::string& where)
{
    const std::vector<float> n = requireNumbers(value, where, 4);
    if (n[2] < 0 || n[3] < 0) {
        throw SceneError(where, "width and height must not be negative");
    }
    return Box{n[0], n[1], n[2], n[3]};
}

uint32_t requireColour(const json& value, const std::string& where)
{
    const std::optional<uint32_t> colour = value.is_string() ? parseColour(value.get<std::string>()) : std::nullopt;
    if (!colour) {
        throw SceneError(where, "expected a colour \"#RRGGBB\" or \"#AARRGGBB\"");
    }
    return *colour;
}

TextureSpec parseTexture(const std::string& name, const json& value, const std::string& where)
{
    requireObject(value, where);
    allowKeys(value, where, {"file", "bytes", "pixels", "fill", "size", "rgb", "memory"});
    TextureSpec spec;
    spec.name = name;
    int sources = 0;
    for (const char* key : {"file", "bytes", "pixels", "fill"}) {
        sources += value.contains(key) ? 1 : 0;
    }
    if (sources != 1) {
        throw SceneError(where, "give exactly one of \"file\", \"bytes\", \"pixels\" or \"fill\"");
    }
    if (value.contains("file")) {
        spec.source = TextureSource::File;
        spec.path = requireString(value["file"], where + ".file");
    } else if (value.contains("bytes")) {
        spec.source = TextureSource::Bytes;
        spec.path = requireString(value["bytes"], where + ".bytes");
    } else if (value.contains("pixels")) {
        spec.source = TextureSource::Pixels;
        spec.path = requireString(value["pixels"], where + ".pixels");
    } else {
        spec.source = TextureSource::Fill;
        spec.fill = requireColour(value["fill"], where + ".fill");
        if (!value.contains("size")) {
            throw SceneError(where, "a \"fill\" texture needs a \"size\": [width, height]");
        }
        const json& size = value["size"];
        if (!size.is_array() || size.size() != 2) {
            throw SceneError(where + ".size", "expected [width, height]");
        }
        spec.fillWidth = requireCount(size[0], where + ".size[0]", 1, 4096);
        spec.fillHeight = requireCount(size[1], where + ".size[1]", 1, 4096);
    }
    if (spec.source != TextureSource::Fill && value.contains("size")) {
        throw SceneError(where, "\"size\" belongs to \"fill\" textures only");
    }
    if (spec.source != TextureSource::Fill && spec.source != TextureSource::Pixels &&
        (value.contains("rgb") || value.contains("memory"))) {
        throw SceneError(where, "\"rgb\" and \"memory\" belong to \"pixels\" and \"fill\" textures only");
    }
    if (spec.path.empty() && spec.source != TextureSource::Fill) {
        throw SceneError(where, "the file name is empty");
    }
    for (const char* key : {"rgb", "memory"}) {
        if (value.contains(key) && !value[key].is_boolean()) {
            throw SceneError(where + "." + key, "expected true or false");
        }
    }
    spec.rgb = value.value("rgb", false);
    spec.memory = value.value("memory", false);
    if (spec.rgb && spec.memory) {
        // A memory texture keeps and reloads four bytes per pixel.
        throw SceneError(where, "a memory texture takes RGBA pixels; drop \"rgb\" or \"memory\"");
    }
    return spec;
}

Item parseItem(const json& value, const std::string& where, const Scene& scene)
{
    requireObject(value, where);
    allowKeys(value, where,
              {"texture", "dest", "at", "src", "tile", "nine", "border", "text", "font", "align", "z", "colour",
               "colours", "aux"});
    Item item;
    item.where = where;
    if (value.contains("text")) {
        item.kind = ItemKind::Text;
        item.text = requireString(value["text"], where + ".text");
        if (!value.contains("font") || !value.contains("at")) {
            throw SceneError(where, "a text needs a \"font\" and \"at\": [x, y]");
        }
        item.font = requireString(value["font"], where + ".font");
        if (scene.font(item.font) == nullptr) {
            throw SceneError(where + ".font", "no font '" + item.font + "' in \"fonts\"");
        }
        const std::vector<float> at = requireNumbers(value["at"], where + ".at", 2);
        item.atX = at[0];
        item.atY = at[1];
        if (value.contains("align")) {
            const std::string align = requireString(value["align"], where + ".align");
            if (align == "left") {
                item.align = Align::Left;
            } else if (align == "center" || align == "centre") {
                item.align = Align::Centre;
            } else if (align == "right") {
                item.align = Align::Right;
            } else {
                throw SceneError(where + ".align", "expected \"left\", \"center\" or \"right\"");
            }
        }
        for (const char* key : {"texture", "dest", "src", "tile", "nine", "border"}) {
            if (value.contains(key)) {
                throw SceneError(where, std::string("a text takes no \"") + key + "\"");
            }
        }
    } else {
        if (!value.contains("texture")) {
            throw SceneError(where, "a quad needs a \"texture\" (or a \"text\")");
        }
        item.texture = requireString(value["texture"], where + ".texture");
        if (scene.texture(item.texture) == nullptr) {
            throw SceneError(where + ".texture", "no texture '" + item.texture + "' in \"textures\"");
        }
        int placements = 0;
        for (const char* key : {"dest", "at", "tile", "nine"}) {
            placements += value.contains(key) ? 1 : 0;
        }
        if (placements != 1) {
            throw SceneError(where, "give exactly one of \"dest\", \"at\", \"tile\" or \"nine\"");
        }
        if (value.contains("dest")) {
            item.kind = ItemKind::Image;
            item.dest = requireBox(value["dest"], where + ".dest");
        } else if (value.contains("at")) {
            item.kind = ItemKind::Image;
            item.nativeSize = true;
            const std::vector<float> at = requireNumbers(value["at"], where + ".at", 2);
            item.dest = Box{at[0], at[1], 0, 0};
        } else if (value.contains("tile")) {
            item.kind = ItemKind::Tile;
            if (value["tile"].is_string() && value["tile"].get<std::string>() == "display") {
                item.coversDisplay = true;
            } else if (value["tile"].is_array()) {
                item.dest = requireBox(value["tile"], where + ".tile");
            } else {
                throw SceneError(where + ".tile", "expected [x, y, width, height] or \"display\"");
            }
        } else {
            item.kind = ItemKind::Nine;
            item.dest = requireBox(value["nine"], where + ".nine");
            if (!value.contains("border")) {
                throw SceneError(where, "\"nine\" needs a \"border\": [left, top, right, bottom]");
            }
            const std::vector<float> border = requireNumbers(value["border"], where + ".border", 4);
            for (int i = 0; i < 4; ++i) {
                if (border[i] < 0) {
                    throw SceneError(where + ".border", "border widths must not be negative");
                }
                item.border[i] = border[i];
            }
        }
        if (value.contains("border") && item.kind != ItemKind::Nine) {
            throw SceneError(where, "\"border\" belongs to \"nine\"");
        }
        if (value.contains("src")) {
            item.source = requireBox(value["src"], where + ".src");
            if (item.source->w <= 0 || item.source->h <= 0) {
                throw SceneError(where + ".src", "the texture rectangle is empty");
            }
        }
        if (value.contains("align")) {
            throw SceneError(where, "\"align\" belongs to texts");
        }
    }
    if (value.contains("z")) {
        item.z = requireNumber(value["z"], where + ".z");
    }
    if (value.contains("colour") && value.contains("colours")) {
        throw SceneError(where, "give \"colour\" or \"colours\", not both");
    }
    if (value.contains("colour")) {
        const uint32_t c = requireColour(value["colour"], where + ".colour");
        item.colours = Corners{c, c, c, c};
    } else if (value.contains("colours")) {
        const json& list = value["colours"];
        if (!list.is_array() || list.size() != 4) {
            throw SceneError(where + ".colours",
                             "expected four colours: top-left, top-right, bottom-left, bottom-right");
        }
        item.colours =
            Corners{requireColour(list[0], where + ".colours[0]"), requireColour(list[1], where + ".colours[1]"),
                    requireColour(list[2], where + ".colours[2]"), requireColour(list[3], where + ".colours[3]")};
    }
    if (value.contains("aux")) {
        item.aux = requireCount(value["aux"], where + ".aux", 0, 0xFFFFFFFFu);
    }
    return item;
}

// A frame drawn as the window looks with the pointer at [x, y], its button
// down or not: the groups come from "interactive".
void parsePointerFrame(const json& value, const std::string& where, const Scene& scene, FrameSpec& frame)
{
    if (!scene.interactive) {
        throw SceneError(where + ".pointer", "a frame with a \"pointer\" needs \"interactive\"");
    }
    if (value.contains("groups")) {
        throw SceneError(where, "give \"groups\" or \"pointer\", not both");
    }
    const std::vector<float> at = requireNumbers(value["pointer"], where + ".pointer", 2);
    Pointer pointer{at[0], at[1], true, false};
    if (value.contains("down")) {
        if (!value["down"].is_boolean()) {
            throw SceneError(where + ".down", "expected true or false");
        }
        pointer.down = value["down"].get<bool>();
    }
    frame.pointer = pointer;
    frame.groups = scene.interactive->groupsFor(pointer);
}

std::vector<std::string> requireGroupList(const json& value, const std::string& where, const Scene& scene)
{
    if (!value.is_array()) {
        throw SceneError(where, "expected a list of group names, found " + describe(value));
    }
    std::vector<std::string> groups;
    for (size_t i = 0; i < value.size(); ++i) {
        const std::string at = where + "[" + std::to_string(i) + "]";
        groups.push_back(requireString(value[i], at));
        if (scene.groups.count(groups.back()) == 0) {
            throw SceneError(at, "no group '" + groups.back() + "' in \"groups\"");
        }
    }
    return groups;
}

InteractiveSpec parseInteractive(const json& value, const Scene& scene)
{
    const std::string where = "interactive";
    requireObject(value, where);
    allowKeys(value, where, {"groups", "regions"});
    InteractiveSpec spec;
    if (value.contains("regions")) {
        for (const auto& [name, region] : requireObject(value["regions"], where + ".regions").items()) {
            const std::string at = where + ".regions." + name;
            requireObject(region, at);
            allowKeys(region, at, {"area", "idle", "hover", "pressed"});
            if (scene.groups.count(name) != 0) {
                throw SceneError(at, "a region cannot share its name with a group");
            }
            if (!region.contains("area")) {
                throw SceneError(at, "a region needs an \"area\": [x, y, width, height]");
            }
            RegionSpec made;
            made.name = name;
            made.area = requireBox(region["area"], at + ".area");
            const char* const states[3] = {"idle", "hover", "pressed"};
            for (int s = 0; s < 3; ++s) {
                if (region.contains(states[s])) {
                    made.groups[s] = requireGroupList(region[states[s]], at + "." + states[s], scene);
                } else if (s > 0) {
                    made.groups[s] = made.groups[s - 1]; // hover draws as idle, pressed as hover
                }
            }
            spec.regions.push_back(std::move(made));
        }
    }
    if (!value.contains("groups") || !value["groups"].is_array()) {
        throw SceneError(where, "\"interactive\" needs \"groups\": a list of group and region names");
    }
    for (size_t i = 0; i < value["groups"].size(); ++i) {
        const std::string at = where + ".groups[" + std::to_string(i) + "]";
        const std::string name = requireString(value["groups"][i], at);
        if (scene.groups.count(name) == 0 && spec.region(name) == nullptr) {
            throw SceneError(at, "no group or region '" + name + "'");
        }
        spec.groups.push_back(name);
    }
    return spec;
}

FrameSpec parseFrame(const json& value, const std::string& where, const Scene& scene)
{
    requireObject(value, where);
    allowKeys(value, where, {"name", "groups", "pointer", "down", "reset", "sameAs"});
    FrameSpec frame;
    if (!value.contains("name")) {
        throw SceneError(where, "a frame needs a \"name\"");
    }
    frame.name = requireString(value["name"], where + ".name");
    if (frame.name.empty() ||
        frame.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") != std::string::npos) {
        throw SceneError(where + ".name", "frame names use a-z, 0-9, '-' and '_' (they become file names)");
    }
    if (value.contains("pointer")) {
        parsePointerFrame(value, where, scene, frame);
    } else if (value.contains("down")) {
        throw SceneError(where, "\"down\" belongs to \"pointer\"");
    } else if (!value.contains("groups") || !value["groups"].is_array()) {
        throw SceneError(where, "a frame needs \"groups\": a list of group names, or a \"pointer\"");
    }
    for (size_t i = 0; value.contains("groups") && i < value["groups"].size(); ++i) {
        const std::string at = where + ".groups[" + std::to_string(i) + "]";
        const std::string group = requireString(value["groups"][i], at);
        if (scene.groups.count(group) == 0) {
            throw SceneError(at, "no group '" + group + "' in \"groups\"");
        }
        frame.groups.push_back(group);
    }
    if (value.contains("reset")) {
        const std::string at = where + ".reset";
        requireObject(value["reset"], at);
        allowKeys(value["reset"], at, {"size", "grow"});
        if (value["reset"].contains("size") == value["reset"].contains("grow")) {
            throw SceneError(at, "give \"size\": [width, height] or \"grow\": [width, height]");
        }
        ResetSpec reset;
        reset.grow = value["reset"].contains("grow");
        const std::string key = reset.grow ? "grow" : "size";
        const json& pair = value["reset"][key];
        if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() || !pair[1].is_number_integer()) {
            throw SceneError(at + "." + key, "expected two whole numbers");
        }
        reset.width = pair[0].get<int32_t>();
        reset.height = pair[1].get<int32_t>();
        const int32_t low = reset.grow ? -4095 : 1;
        if (reset.width < low || reset.width > 4096 || reset.height < low || reset.height > 4096) {
            throw SceneError(at + "." + key, reset.grow ? "growth out of range" : "sizes run from 1 to 4096");
        }
        frame.reset = reset;
    }
    if (value.contains("sameAs")) {
        frame.sameAs = requireString(value["sameAs"], where + ".sameAs");
        bool earlier = false;
        for (const FrameSpec& other : scene.frames) {
            earlier = earlier || other.name == frame.sameAs;
        }
        if (!earlier) {
            throw SceneError(where + ".sameAs", "no earlier frame '" + frame.sameAs + "'");
        }
    }
    return frame;
}

Scene parseDocument(const json& root, const std::string& folder)
{
    requireObject(root, "the scene");
    allowKeys(root, "the scene",
              {"name", "size", "background", "textures", "fonts", "groups", "anchors", "interactive", "frames"});
    Scene scene;
    scene.folder = folder;
    scene.name = root.contains("name") ? requireString(root["name"], "name") : "scene";
    if (scene.name.empty() ||
        scene.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-_") != std::string::npos) {
        throw SceneError("name", "scene names use a-z, 0-9, '-' and '_' (they become file names)");
    }
    if (root.contains("size")) {
        const json& size = root["size"];
        if (!size.is_array() || size.size() != 2) {
            throw SceneError("size", "expected [width, height]");
        }
        scene.width = requireCount(size[0], "size[0]", 1, 4096);
        scene.height = requireCount(size[1], "size[1]", 1, 4096);
    }
    if (root.contains("background")) {
        scene.background = requireColour(root["background"], "background");
    }
    if (root.contains("textures")) {
        for (const auto& [name, value] : requireObject(root["textures"], "textures").items()) {
            scene.textures.push_back(parseTexture(name, value, "textures." + name));
        }
    }
    if (root.contains("fonts")) {
        for (const auto& [name, value] : requireObject(root["fonts"], "fonts").items()) {
            const std::string where = "fonts." + name;
            requireObject(value, where);
            allowKeys(value, where, {"texture", "metrics", "face"});
            FontSpec font;
            font.name = name;
            for (const char* key : {"texture", "metrics", "face"}) {
                if (!value.contains(key)) {
                    throw SceneError(where, "a font needs \"texture\", \"metrics\" and \"face\"");
                }
            }
            font.texture = requireString(value["texture"], where + ".texture");
            font.metrics = requireString(value["metrics"], where + ".metrics");
            font.face = requireString(value["face"], where + ".face");
            if (scene.texture(font.texture) == nullptr) {
                throw SceneError(where + ".texture", "no texture '" + font.texture + "' in \"textures\"");
            }
            scene.fonts.push_back(font);
        }
    }
    if (root.contains("groups")) {
        for (const auto& [name, value] : requireObject(root["groups"], "groups").items()) {
            const std::string where = "groups." + name;
            if (!value.is_array()) {
                throw SceneError(where, "expected a list of quads, found " + describe(value));
            }
            std::vector<Item>& items = scene.groups[name];
            for (size_t i = 0; i < value.size(); ++i) {
                items.push_back(parseItem(value[i], where + "[" + std::to_string(i) + "]", scene));
            }
        }
    }
    if (root.contains("anchors")) {
        const std::pair<const char*, Anchor> corners[] = {{"top-left", Anchor::TopLeft},
                                                          {"top-right", Anchor::TopRight},
                                                          {"bottom-left", Anchor::BottomLeft},
                                                          {"bottom-right", Anchor::BottomRight}};
        for (const auto& [name, value] : requireObject(root["anchors"], "anchors").items()) {
            const std::string where = "anchors." + name;
            if (scene.groups.count(name) == 0) {
                throw SceneError(where, "no group '" + name + "' in \"groups\"");
            }
            const std::string corner = requireString(value, where);
            const auto found = std::find_if(std::begin(corners), std::end(corners),
                                            [&corner](const auto& c) { return corner == c.first; });
            if (found == std::end(corners)) {
                throw SceneError(where, "expected \"top-left\", \"top-right\", \"bottom-left\" or \"bottom-right\"");
            }
            scene.anchors[name] = found->second;
        }
    }
    if (root.contains("interactive")) {
        scene.interactive = parseInteractive(root["interactive"], scene);
    }
    if (!root.contains("frames") || !root["frames"].is_array() || root["frames"].empty()) {
        throw SceneError("frames", "a scene needs a list of at least one frame");
    }
    for (size_t i = 0; i < root["frames"].size(); ++i) {
        FrameSpec frame = parseFrame(root["frames"][i], "frames[" + std::to_string(i) + "]", scene);
        for (const FrameSpec& other : scene.frames) {
            if (other.name == frame.name) {
                throw SceneError("frames[" + std::to_string(i) + "].name", "a second frame named '" + frame.name + "'");
            }
        }
        scene.frames.push_back(std::move(frame));
    }
    return scene;
}

} // namespace

const TextureSpec* Scene::texture(const std::string& name) const
{
    for (const TextureSpec& spec : textures) {
        if (spec.name == name) {
            return &spec;
        }
    }
    return nullptr;
}

const FontSpec* Scene::font(const std::string& name) const
{
    for (const FontSpec& spec : fonts) {
        if (spec.name == name) {
            return &spec;
        }
    }
    return nullptr;
}

const RegionSpec* InteractiveSpec::region(const std::string& name) const
{
    for (const RegionSpec& spec : regions) {
        if (spec.name == name) {
            return &spec;
        }
    }
    return nullptr;
}

RegionState InteractiveSpec::stateOf(const RegionSpec& region, const Pointer& pointer)
{
    const Box& a = region.area;
    const bool over =
        pointer.inside && pointer.x >= a.x && pointer.x < a.x + a.w && pointer.y >= a.y && pointer.y < a.y + a.h;
    return !over ? RegionState::Idle : pointer.down ? RegionState::Pressed : RegionState::Hover;
}

std::vector<std::string> InteractiveSpec::groupsFor(const Pointer& pointer) const
{
    std::vector<std::string> out;
    for (const std::string& name : groups) {
        if (const RegionSpec* spec = region(name)) {
            const std::vector<std::string>& drawn = spec->groups[static_cast<int>(stateOf(*spec, pointer))];
            out.insert(out.end(), drawn.begin(), drawn.end());
        } else {
            out.push_back(name);
        }
    }
    return out;
}

std::string InteractiveSpec::describe(const Pointer& pointer) const
{
    static const char* const names[3] = {"idle", "hover", "pressed"};
    std::string text;
    for (const RegionSpec& spec : regions) {
        text += (text.empty() ? "" : " ") + spec.name + "=" + names[static_cast<int>(stateOf(spec, pointer))];
    }
    return text;
}

std::string Scene::resolve(const std::string& path) const
{
    const std::filesystem::path p(path);
    if (p.is_absolute() || folder.empty()) {
        return path;
    }
    return (std::filesystem::path(folder) / p).string();
}

namespace {

// The JSON library's message for people: without the "[json.exception.
// parse_error.101] " that opens it.
std::string plainJsonMessage(const char* what)
{
    const std::string text = what;
    if (text.rfind("[json.exception.", 0) == 0) {
        const size_t end = text.find("] ");
        if (end != std::string::npos) {
            return text.substr(end + 2);
        }
    }
    return text;
}

} // namespace

Scene parseScene(const std::string& text, const std::string& sourceName, const std::string& folder)
{
    json root;
    try {
        root = json::parse(text, nullptr, true, true);
    } catch (const json::parse_error& e) {
        throw std::runtime_error(sourceName + ": not valid JSON: " + plainJsonMessage(e.what()));
    }
    try {
        return parseDocument(root, folder);
    } catch (const SceneError& e) {
        throw std::runtime_error(sourceName + ": " + e.what());
    } catch (const json::exception& e) {
        throw std::runtime_error(sourceName + ": " + plainJsonMessage(e.what()));
    }
}

Scene loadSceneFile(const std::string& path)
{
    const std::filesystem::path file(path);
    return parseScene(readTextFile(path), path, file.parent_path().string());
}

std::optional<uint32_t> parseColour(const std::string& text)
{
    if ((text.size() != 7 && text.size() != 9) || text[0] != '#') {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return text.size() == 7 ? (0xFF000000u | value) : value;
}

FontMetrics parseFontMetrics(const std::string& text, const std::string& face, const std::string& sourceName)
{
    try {
        const json root = json::parse(text);
        if (!root.contains("faces") || !root["faces"].contains(face)) {
            throw std::runtime_error("no face '" + face + "'");
        }
        const json& entry = root["faces"][face];
        FontMetrics metrics;
        metrics.ascender = entry.at("ascender").get<int32_t>();
        metrics.lineHeight = entry.at("lineHeight").get<int32_t>();
        for (const json& g : entry.at("glyphs")) {
            if (!g.is_array() || g.size() != 8) {
                throw std::runtime_error("a glyph is not [code, x, y, width, height, left, top, advance]");
            }
            Glyph glyph{g[1].get<uint32_t>(), g[2].get<uint32_t>(), g[3].get<uint32_t>(), g[4].get<uint32_t>(),
                        g[5].get<int32_t>(),  g[6].get<int32_t>(),  g[7].get<int32_t>()};
            metrics.glyphs[g[0].get<uint32_t>()] = glyph;
        }
        return metrics;
    } catch (const std::exception& e) {
        throw std::runtime_error(sourceName + ": " + plainJsonMessage(e.what()));
    }
}

std::string readTextFile(const std::string& path)
{
    const std::vector<uint8_t> bytes = readBinaryFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> readBinaryFile(const std::string& path)
{
    // The C library's errno names the reason: a missing file, a folder, no
    // permission.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        throw std::runtime_error("cannot open '" + path + "': " + std::strerror(errno));
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error != 0) {
        throw std::runtime_error("cannot read '" + path + "': " + std::strerror(error));
    }
    return bytes;
}

} // namespace zivdemo
