// The renderer's texture registry: creation order, the failure messages with
// their prefixes, an unchanged registry after a failed creation, and
// destruction that never reaches a texture twice.
#include <list>

#include "TextureFixture.h"

namespace {

using namespace ZorvUISystem;
using ZivTest::failureOf;

class RegistryTest : public ZivTest::TextureTest {};

TEST_F(RegistryTest, TexturesJoinInCreationOrder)
{
    const std::list<Texture*> initial = renderer().textures();
    ASSERT_EQ(initial.size(), 2u) << "scratch and buffer textures (blend mode 0)";
    EXPECT_EQ(initial.front(), renderer().scratchTexture());
    EXPECT_EQ(initial.back(), renderer().bufferTexture());

    Texture* a = renderer().createTexture(64.0f);
    Texture* b = renderer().createTexture();
    Texture* c = renderer().createTexture(-3.5f);
    std::list<Texture*> expected = initial;
    expected.insert(expected.end(), {a, b, c});
    EXPECT_EQ(renderer().textures(), expected);

    // Sized textures start empty whatever the size.
    for (Texture* t : {a, c}) {
        EXPECT_EQ(t->getWidth(), 0u);
        EXPECT_EQ(t->getHeight(), 0u);
        EXPECT_EQ(static_cast<CDDTexture*>(t)->colourSurface(), nullptr);
    }

    renderer().destroyTexture(b);
    expected.remove(b);
    EXPECT_EQ(renderer().textures(), expected);
}

TEST_F(RegistryTest, FailedCreationsRaiseWithThePrefixAndLeaveTheRegistryAlone)
{
    const std::list<Texture*> before = renderer().textures();

    EXPECT_EQ(failureOf([&] { renderer().createTexture(static_cast<const void*>(nullptr), 0u); }),
              "CDDRender::createTexture failed from file data : "
              "(CDDTexture::loadFromFileData -- Failed to load image from file data.)");
    EXPECT_EQ(renderer().textures(), before);

    const uint8_t garbage[16] = {1, 2, 3};
    EXPECT_EQ(failureOf([&] { renderer().createTexture(garbage, sizeof garbage); }),
              "CDDRender::createTexture failed from file data : (Unable to load image, corona::OpenImage failed)");
    EXPECT_EQ(renderer().textures(), before);

    EXPECT_EQ(failureOf([&] { renderer().createTexture("a.png", "img/"); }),
              "CDDRender::createTexture failed from file : img/a.png(CDDTexture::loadFromFile -- load file error.)");
    // The directory and the name are joined as given, with no separator.
    EXPECT_EQ(failureOf([&] { renderer().createTexture("a.png", "img"); }),
              "CDDRender::createTexture failed from file : imga.png(CDDTexture::loadFromFile -- load file error.)");
    EXPECT_EQ(failureOf([&] { renderer().createTexture("a.png", nullptr); }),
              "CDDRender::createTexture failed from file : a.png(CDDTexture::loadFromFile -- load file error.)");
    EXPECT_EQ(failureOf([&] { renderer().createTexture("", ""); }),
              "CDDRender::createTexture failed from file : (Texture file name should not be empty.)");
    EXPECT_EQ(renderer().textures(), before);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 2u * before.size());
}

TEST_F(RegistryTest, DestroyingIgnoresWhatTheRegistryDoesNotHold)
{
    Texture* texture = renderer().createTexture(1.0f);
    const uint8_t rgb[] = {1, 2, 3};
    texture->loadFromMemory(rgb, 1, 1, BUFFER_RGB);
    const size_t count = renderer().textures().size();

    renderer().destroyTexture(nullptr);
    EXPECT_EQ(renderer().textures().size(), count);

    renderer().destroyTexture(texture);
    EXPECT_EQ(renderer().textures().size(), count - 1);
    // A second destroy of the same texture is not a second delete.
    renderer().destroyTexture(texture);
    EXPECT_EQ(renderer().textures().size(), count - 1);

    // Nor is a texture of someone else.
    CDDTexture foreign(&renderer());
    renderer().destroyTexture(&foreign);
    EXPECT_EQ(renderer().textures().size(), count - 1);
}

TEST_F(RegistryTest, DestroyingTheRenderersOwnTexturesDropsItsReferences)
{
    renderer().destroyTexture(renderer().scratchTexture());
    EXPECT_EQ(renderer().scratchTexture(), nullptr);
    EXPECT_NE(renderer().bufferTexture(), nullptr);

    renderer().createTexture(1.0f);
    renderer().destroyAllTextures();
    EXPECT_TRUE(renderer().textures().empty());
    EXPECT_EQ(renderer().scratchTexture(), nullptr);
    EXPECT_EQ(renderer().bufferTexture(), nullptr);
    EXPECT_EQ(ddrawtest::liveSurfaceCount(), 0u);

    // A reset makes them again.
    renderer().prepareForReset();
    bool sizeChanged = true;
    renderer().postD3DReset(&sizeChanged);
    EXPECT_NE(renderer().scratchTexture(), nullptr);
    EXPECT_NE(renderer().bufferTexture(), nullptr);
    EXPECT_EQ(renderer().textures().size(), 2u);
}

TEST_F(RegistryTest, DestroyedTexturesLeaveTheQueue)
{
    Texture* kept = renderer().createTexture(1.0f);
    Texture* gone = renderer().createTexture(1.0f);
    const FloatRect rect{0, 0, 1, 1};
    const CornerColours white{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    renderer().queueQuad(rect, 0.5f, gone, rect, white, 0);
    renderer().queueQuad(rect, 0.5f, kept, rect, white, 0);
    renderer().queueQuad(rect, 0.7f, gone, rect, white, 0);
    renderer().destroyTexture(gone);
    ASSERT_EQ(renderer().quadQueue().size(), 1u);
    EXPECT_EQ(renderer().quadQueue().begin()->texture, kept);
}

TEST_F(RegistryTest, ResetWalksTheRegistryInOrder)
{
    directDraw.display = ZivTest::kDisplay565;
    // Memory textures of widths 1, 2 and 3, in that order.
    const auto rgba = ZivTest::rgbaBytes({0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
    std::vector<CDDTexture*> textures;
    for (uint32_t width = 1; width <= 3; ++width) {
        textures.push_back(&newTexture());
        textures.back()->setMemoryTexture(true);
        textures.back()->loadFromMemory(rgba.data(), width, 1, BUFFER_RGBA);
    }
    renderer().prepareForReset();
    directDraw.created.clear();
    bool sizeChanged = false;
    renderer().postD3DReset(&sizeChanged);
    // The new scratch and buffer textures get their surfaces first; then the
    // registry is walked front to back, each texture making its colour and
    // alpha surfaces.
    std::vector<DWORD> widths;
    for (const DDSURFACEDESC& desc : directDraw.created)
        widths.push_back(desc.dwWidth);
    EXPECT_EQ(widths, (std::vector<DWORD>{640, 640, 640, 640, 1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(renderer().textures().back(), renderer().bufferTexture());
    for (CDDTexture* texture : textures)
        EXPECT_NE(texture->colourSurface(), nullptr);
}

} // namespace
