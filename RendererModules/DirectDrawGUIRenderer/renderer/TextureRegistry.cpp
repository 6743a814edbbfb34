// The renderer's registry of live textures: creation in four ways, in
// creation order, and destruction one by one or all at once.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>

#include "renderer/CDDRender.h"
#include "texture/CDDTexture.h"

namespace ZorvUISystem {

namespace {

// Runs fill on a new texture; a texture whose fill fails is deleted and the
// failure raised with the overload's message and the loader's text in
// parentheses.
template <class Fill>
std::unique_ptr<CDDTexture> fillNewTexture(CDDRender* owner, const std::string& message, Fill fill)
{
    auto texture = std::make_unique<CDDTexture>(owner);
    try {
        fill(*texture);
    } catch (const std::exception& e) {
        texture.reset();
        throw std::runtime_error(message + "(" + e.what() + ")");
    } catch (...) {
        texture.reset();
        throw std::runtime_error(message + "(Unknown error!)");
    }
    return texture;
}

} // namespace

Texture* CDDRender::createTexture(float)
{
    // The size is not used: the texture waits for a load to give it one.
    auto texture = fillNewTexture(
        this, "CDDRender::createTexture failed form sized texture : ", [](CDDTexture& t) { t.releaseSurfaces(); });
    d_textures.push_back(texture.get());
    return texture.release();
}

Texture* CDDRender::createTexture(const void* data, uint32_t size)
{
    auto texture = fillNewTexture(this, "CDDRender::createTexture failed from file data : ", [&](CDDTexture& t) {
        t.loadFromFileData(data, size);
    });
    d_textures.push_back(texture.get());
    return texture.release();
}

Texture* CDDRender::createTexture(const char* fileName, const char* directory)
{
    std::string message = "CDDRender::createTexture failed from file : ";
    message += directory ? directory : "";
    message += fileName ? fileName : "";
    auto texture = fillNewTexture(this, message, [&](CDDTexture& t) { t.loadFromFile(fileName, directory); });
    d_textures.push_back(texture.get());
    return texture.release();
}

Texture* CDDRender::createTexture()
{
    auto texture = std::make_unique<CDDTexture>(this);
    d_textures.push_back(texture.get());
    return texture.release();
}

void CDDRender::destroyTexture(Texture* texture)
{
    // Only textures of this registry are destroyed: a second destroy of the
    // same texture, or a foreign pointer, does nothing.
    if (!texture || std::find(d_textures.begin(), d_textures.end(), texture) == d_textures.end())
        return;
    d_textures.remove(texture);
    // The renderer's own textures are rebuilt before their next use.
    if (texture == d_scratchTexture)
        d_scratchTexture = nullptr;
    if (texture == d_bufferTexture)
        d_bufferTexture = nullptr;
    forgetQueuedQuads(texture);
    std::erase_if(d_bufferedQuads, [texture](const QueuedQuad& quad) { return quad.texture == texture; });
    delete texture;
}

void CDDRender::destroyAllTextures()
{
    while (!d_textures.empty())
        destroyTexture(d_textures.front());
}

} // namespace ZorvUISystem
