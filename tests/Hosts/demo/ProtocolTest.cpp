// The calls the demo makes, against a recording renderer: how each kind of
// texture is made, what a frame is, the order of a device reset, and that the
// renderer is destroyed also when a run fails.
#include <gtest/gtest.h>

#include <sstream>

#include "DemoRun.h"

using namespace zivdemo;
using namespace ZorvUISystem;

namespace {

std::vector<std::string> g_calls;
bool g_failFileTextures = false;

class RecordingTexture final : public Texture {
public:
    RecordingTexture() : Texture(nullptr) {}
    uint32_t getWidth() const override { return d_width; }
    uint32_t getImageWidth() const override { return d_width; }
    float getInverseWidth() const override { return 1.0f; }
    uint32_t getHeight() const override { return d_height; }
    uint32_t getImageHeight() const override { return d_height; }
    float getInverseHeight() const override { return 1.0f; }
    void loadFromFile(const char*, const char*) override {}
    void loadFromFileData(const void*, uint32_t) override {}
    void loadFromMemory(const void* pixels, uint32_t width, uint32_t height, BufferFormat format) override
    {
        const auto* p = static_cast<const uint8_t*>(pixels);
        std::ostringstream call;
        call << "loadFromMemory " << width << "x" << height << (format == BUFFER_RGBA ? " RGBA" : " RGB")
             << (isMemoryTexture() ? " memory" : "") << " first " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
        g_calls.push_back(call.str());
        d_width = width;
        d_height = height;
    }
    void reservedOperation(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {}
    ~RecordingTexture() override = default;

private:
    uint32_t d_width = 16;
    uint32_t d_height = 16;
};

class RecordingRenderer final : public Renderer {
public:
    explicit RecordingRenderer(RenderDevice* device) : Renderer(false), d_device(device)
    {
        d_identifier = "recording renderer";
        readSize();
    }
    ~RecordingRenderer() override
    {
        for (Texture* texture : d_textures) {
            delete texture;
        }
    }
    void queueQuad(FloatRect, float, Texture* texture, FloatRect, CornerColours, uint32_t) override
    {
        g_calls.push_back(texture != nullptr ? "queueQuad" : "queueQuad without texture");
    }
    void renderQueue() override { g_calls.push_back("renderQueue"); }
    void clearQueue() override { g_calls.push_back("clearQueue"); }
    void setQueueing(bool) override {}
    Texture* createTexture(float) override { return add("createTexture(size)"); }
    Texture* createTexture(const void*, uint32_t size) override
    {
        return add("createTexture(bytes " + std::to_string(size) + ")");
    }
    Texture* createTexture(const char* name, const char* folder) override
    {
        if (g_failFileTextures) {
            g_calls.push_back("createTexture(file) gives null");
            return nullptr;
        }
        return add(std::string("createTexture(file ") + name + ", " + folder + ")");
    }
    Texture* createTexture() override { return add("createTexture()"); }
    void destroyTexture(Texture*) override { g_calls.push_back("destroyTexture"); }
    void destroyAllTextures() override {}
    bool isQueueing() const override { return true; }
    float getDisplayWidth() const override { return d_width; }
    float getDisplayHeight() const override { return d_height; }
    void getDisplaySize(float* w, float* h) const override { *w = d_width, *h = d_height; }
    void getDisplayRect(float* l, float* t, float* r, float* b) const override
    {
        *l = 0, *t = 0, *r = d_width, *b = d_height;
    }
    uint32_t getTextureSizeLimit() const override { return 0; }
    uint32_t getDpiX() const override { return 96; }
    uint32_t getDpiY() const override { return 96; }
    void prepareForReset() override { g_calls.push_back("prepareForReset"); }
    void postD3DReset(bool* sizeChanged) override
    {
        const float w = d_width, h = d_height;
        readSize();
        *sizeChanged = w != d_width || h != d_height;
        g_calls.push_back("postD3DReset " + std::to_string(int(d_width)) + "x" + std::to_string(int(d_height)));
    }
    void reservedOperationA(uint32_t, uint32_t) override {}
    void reservedOperationB(uint32_t, uint32_t, uint32_t) override {}
    void setTargetSurface(IDirectDrawSurface* surface) override
    {
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        surface->GetSurfaceDesc(&desc);
        g_calls.push_back("setTargetSurface " + std::to_string(desc.dwWidth) + "x" + std::to_string(desc.dwHeight));
    }
    void reservedOperationC() override {}
    void reservedOperationD() override {}

private:
    Texture* add(const std::string& call)
    {
        g_calls.push_back(call);
        d_textures.push_back(new RecordingTexture());
        return d_textures.back();
    }
    void readSize() { d_device->getTargetSize(&d_width, &d_height); }

    RenderDevice* d_device;
    float d_width = 0, d_height = 0;
    std::vector<Texture*> d_textures;
};

ModuleApi recordingModule()
{
    ModuleApi api;
    api.createRenderer = [](RenderDevice* device, uint32_t, bool, const char*, uint32_t, uint32_t) -> Renderer* {
        g_calls.push_back("createRenderer blend " + std::to_string(device->getBlendMode()));
        return new RecordingRenderer(device);
    };
    api.destroyRenderer = [](Renderer* renderer) {
        g_calls.push_back("destroyRenderer");
        delete renderer;
    };
    api.getLastErrorString = [] { return ""; };
    return api;
}

// Runs of equal calls become one entry: "queueQuad x3".
std::vector<std::string> collapsed(const std::vector<std::string>& calls)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < calls.size();) {
        size_t n = 1;
        while (i + n < calls.size() && calls[i + n] == calls[i]) {
            ++n;
        }
        out.push_back(n == 1 ? calls[i] : calls[i] + " x" + std::to_string(n));
        i += n;
    }
    return out;
}

const char* const kScene = R"({
  "name": "p", "size": [40, 30],
  "textures": {
    "frame": {"file": "window.png"},
    "buttons": {"bytes": "buttons.png"},
    "wallpaper": {"pixels": "wallpaper.png", "rgb": true},
    "dot": {"fill": "#FF102030", "size": [2, 3], "memory": true}
  },
  "groups": {"g": [{"texture": "frame", "dest": [0, 0, 8, 8]}, {"texture": "dot", "tile": "display"}]},
  "frames": [{"name": "a", "groups": ["g"]}, {"name": "b", "reset": {"grow": [10, 0]}, "groups": ["g"]}]
})";

} // namespace

TEST(DemoProtocol, TexturesFramesAndTheResetInOrder)
{
    g_calls.clear();
    g_failFileTextures = false;
    const Scene scene = parseScene(kScene, "p.json", ZIV_DEMO_ASSETS);
    const SceneResources resources = loadResources(scene);
    RunSettings settings;
    settings.format = TargetFormat::Rgb565;
    settings.blendMode = 2;
    settings.width = 40;
    settings.height = 30;
    settings.repeat = 2;
    const RunResult result = runScene(recordingModule(), scene, resources, settings);
    ASSERT_EQ(result.frames.size(), 2u);
    EXPECT_EQ(result.identifier, "recording renderer");

    const size_t bytes = resources.bytes.at("buttons").size();
    const uint8_t* wall = resources.pixels.at("wallpaper").pixel(0, 0);
    const std::string wallpaperUpload = "loadFromMemory 64x64 RGB first " + std::to_string(wall[0]) + "," +
                                        std::to_string(wall[1]) + "," + std::to_string(wall[2]);
    // Frame a: one frame quad and 20 x 10 dots over 40 x 30; frame b: 25 x 10.
    const std::vector<std::string> expected = {
        "createRenderer blend 2",
        "setTargetSurface 40x30",
        std::string("createTexture(file window.png, ") + ZIV_DEMO_ASSETS + "/)",
        "createTexture(bytes " + std::to_string(bytes) + ")",
        "createTexture()",
        wallpaperUpload,
        "createTexture()",
        "loadFromMemory 2x3 RGBA memory first 16,32,48",
        "queueQuad x201",
        "renderQueue",
        "clearQueue",
        "queueQuad x201",
        "renderQueue",
        "clearQueue",
        "prepareForReset",
        "postD3DReset 50x30",
        "setTargetSurface 50x30",
        wallpaperUpload, // raw pixels the module does not keep come again
        "queueQuad x251",
        "renderQueue",
        "clearQueue",
        "queueQuad x251",
        "renderQueue",
        "clearQueue",
        "destroyRenderer",
    };
    EXPECT_EQ(collapsed(g_calls), expected);
    EXPECT_EQ(result.frames[1].note, "device reset to 50x30");
    EXPECT_FALSE(result.frames[1].failed);
}

TEST(DemoProtocol, AFailedRunStillDestroysTheRenderer)
{
    g_calls.clear();
    g_failFileTextures = true;
    const Scene scene = parseScene(kScene, "p.json", ZIV_DEMO_ASSETS);
    const SceneResources resources = loadResources(scene);
    RunSettings settings;
    settings.width = 40;
    settings.height = 30;
    try {
        runScene(recordingModule(), scene, resources, settings);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "texture 'frame' (file window.png): the renderer made no texture");
    }
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.back(), "destroyRenderer");
    g_failFileTextures = false;
}
