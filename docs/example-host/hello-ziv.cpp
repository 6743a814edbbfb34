// hello-ziv: draws one quad through the ziv module into a 64x64 surface.
#include <cstdio>
#include <dlfcn.h>
#include <ziv/ziv.h>
using namespace ZorvUISystem;

struct Device final : RenderDevice { // what the renderer asks of its host
    IDirectDraw* dd = nullptr;
    IDirectDraw* getDirectDraw() override { return dd; }
    bool getTargetSize(float* w, float* h) override { return *w = 64, *h = 64, true; }
    int32_t getBlendMode() override { return 2; }          // blend translucent quads by their alpha
    int32_t getTextureMemory() override { return 0; }      // textures in system memory
    int32_t getTexturePixelFormat() override { return 0; } // in the display's pixel format
};

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : ZIV_MODULE; // LoadLibrary and GetProcAddress on Windows
    void* module = dlopen(path, RTLD_NOW);
    if (!module) {
        std::fprintf(stderr, "hello-ziv: %s\n", dlerror());
        return 1;
    }
    auto create = reinterpret_cast<ZivCreateRendererFn>(dlsym(module, "createRenderer"));
    auto destroy = reinterpret_cast<ZivDestroyRendererFn>(dlsym(module, "destroyRenderer"));
    auto lastError = reinterpret_cast<ZivGetLastErrorStringFn>(dlsym(module, "getLastErrorString"));
    if (!create || !destroy || !lastError) {
        std::fprintf(stderr, "hello-ziv: %s is not the ziv module\n", path);
        return 1;
    }

    Device device; // a 64x64 32-bit display, and a target surface of that size
    DirectDrawCreate(nullptr, &device.dd, nullptr);
    device.dd->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    device.dd->SetDisplayMode(64, 64, 32);
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = desc.dwHeight = 64;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface* target = nullptr;
    device.dd->CreateSurface(&desc, &target, nullptr);

    Renderer* renderer = create(&device, 0, false, nullptr, 0, 0);
    if (!renderer) {
        std::fprintf(stderr, "hello-ziv: createRenderer failed: %s\n", lastError());
        target->Release();
        device.dd->Release();
        return 1;
    }
    renderer->setTargetSurface(target);

    const uint8_t orange[4] = {255, 160, 40, 255}; // one RGBA pixel, stretched over 48x48
    Texture* texture = renderer->createTexture();
    texture->loadFromMemory(orange, 1, 1, BUFFER_RGBA);
    renderer->queueQuad({8, 8, 56, 56}, 0.5f, texture, {0, 0, 1, 1}, {~0u, ~0u, ~0u, ~0u}, 0); // white corners
    renderer->renderQueue();
    renderer->clearQueue();

    target->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr); // the pixel at 32,32: blue, green, red
    const uint8_t* p = static_cast<uint8_t*>(desc.lpSurface) + 32 * desc.lPitch + 32 * 4;
    std::printf("%s drew #%02X%02X%02X at 32,32\n", renderer->getIdentifier().c_str(), p[2], p[1], p[0]);
    target->Unlock(nullptr);
    destroy(renderer);
    target->Release();
    device.dd->Release();
}
