// One run of the demo: a scene rendered through the module into one target
// format in one blend mode, frame by frame, with a device reset where the
// scene asks for one.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Image.h"
#include "Layout.h"
#include "ModuleLibrary.h"
#include "Scene.h"
#include "TargetFormat.h"

namespace zivdemo {

// What the scene's textures and fonts need from disk, read once for all runs.
struct SceneResources {
    std::map<std::string, std::vector<uint8_t>> bytes; // "bytes" textures
    std::map<std::string, Image> pixels;               // "pixels" and "fill" textures
    std::map<std::string, FontMetrics> fonts;          // by scene font name
    // The glyph atlases ("pixels" textures of fonts) with hard edges, for a
    // renderer that ignores alpha.
    std::map<std::string, Image> hardEdged;
};

// Why the bytes of an image file would not decode, for people, or empty when
// they would. The demo programs pass the image library's answer
// (whyNotDecodable of ImageCheck.h).
using ImageCheck = std::function<std::string(const std::vector<uint8_t>&)>;

// Reads every file the scene names, and with a check, checks the image files
// that the module is to decode before anything is rendered. Throws
// std::runtime_error naming the texture, the file and the reason.
SceneResources loadResources(const Scene& scene, const ImageCheck& check = nullptr);

// A glyph atlas for a renderer that ignores alpha (blend mode 0): there the
// module copies a memory texture's white texels in the quad's colour and
// every other texel as it is, so the antialiased edges of white glyphs would
// show grey. Texels at least half covered become opaque white, the others
// transparent: text as a GUI library renders it without antialiasing.
Image hardEdges(const Image& atlas);

struct RunSettings {
    TargetFormat format = TargetFormat::Rgb565;
    int32_t blendMode = 0; // asked of the renderer through the device
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t repeat = 1;  // renders per frame, for the timing
    bool clipper = false; // the target carries a clipper that covers it
    // Blend modes 1 and 2: antialiased text and icons blended by each texel's
    // alpha (the module's zivSetSoftEdges), as a GUI library would ask.
    bool softEdges = true;
};

// Switches the renderer's soft edges on for blend modes 1 and 2 when asked
// and the module has the switch.
void applySoftEdges(const ModuleApi& module, ZorvUISystem::Renderer* renderer, int32_t blendMode, bool softEdges);

struct FrameResult {
    std::string name;  // scene, format, blend mode and frame: the file name without ".png"
    std::string frame; // the scene's frame name
    Image image;
    size_t quads = 0;
    double msPerFrame = 0;
    uint64_t blendedPixels = 0; // estimate, see estimateBlendedPixels
    std::string note;           // a reset, a check against an earlier frame
    bool failed = false;        // the frame broke a check of the scene
    // The renderer's counts of the frame's last render pass.
    ZorvUISystem::FrameStatistics statistics{};
    // Damage-aware frames, where the module has them: the frame drawn first
    // as the change from the frame before (then whole, for the timing and the
    // counts above), and what that redrew.
    bool damageAware = false;
    ZorvUISystem::FrameStatistics::DamageCount damage{};
};

struct RunResult {
    std::string identifier;          // the renderer's
    std::vector<FrameResult> frames; // those rendered, also when the run stopped early
    std::string error;               // why the run stopped before its last frame; empty when it did not
};

// Renders every frame of the scene. Throws std::runtime_error when the
// renderer cannot be created or a texture cannot be made; a frame that breaks
// the scene's checks is marked failed and the run goes on; a failure while
// rendering a frame ends the run with the frames so far and the reason in
// RunResult::error.
RunResult runScene(const ModuleApi& module, const Scene& scene, const SceneResources& resources,
                   const RunSettings& settings);

// Makes one texture of the scene through the renderer, in the way its spec
// names (file, bytes, pixels or fill). Throws what the renderer throws.
ZorvUISystem::Texture* createSceneTexture(ZorvUISystem::Renderer& renderer, const Scene& scene, const TextureSpec& spec,
                                          const SceneResources& resources, int32_t blendMode);

// Gives a pixels or fill texture its pixels again (after a device reset). In
// blend mode 0 glyph atlases come with hard edges.
void uploadPixels(ZorvUISystem::Texture* texture, const TextureSpec& spec, const SceneResources& resources,
                  int32_t blendMode);

// The renderer's counts of a frame for people: the quads and pixels of every
// path taken, the quads skipped and why, and the kernels' instruction set.
std::string describeStatistics(const ZorvUISystem::FrameStatistics& statistics);
// What a damage-aware frame redrew, for people ("" when the frame was not
// drawn so): "; redrew 2 rectangles, 5408 px (1.8 %)".
std::string describeDamage(const FrameResult& frame);

// The target size after a reset. Throws std::runtime_error for a size
// outside 1x1 to kMaxTargetSide squared.
constexpr uint32_t kMaxTargetSide = 4096;
void resetSize(const ResetSpec& reset, uint32_t& width, uint32_t& height);

// Follows the scene's resets from a start size, before anything is rendered.
// Throws std::runtime_error naming the first frame whose reset leaves the
// sizes the demo can make.
void checkResetSizes(const Scene& scene, uint32_t width, uint32_t height);

// Compares a frame with an earlier one where both have pixels (the top-left
// corner both share), but for the areas passed over (where anchored groups
// were or went). Empty when they agree, else where they first differ.
std::string compareOverlap(const Image& earlier, const Image& later, const std::vector<Rect>& passedOver = {});

} // namespace zivdemo
