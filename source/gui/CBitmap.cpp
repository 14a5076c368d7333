#include "gui/CBitmap.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include "gui/CDrawContext.h"
#include "platform/ImageDecoder.h"
#include "platform/PixelImage.h"
#include "platform/PlatformGraphics.h"
#include "platform/ResourceFolder.h"

namespace {
struct EmbeddedData {
    const unsigned char* data;
    std::size_t size;
};

std::map<std::int32_t, EmbeddedData>& embeddedImages() {
    static std::map<std::int32_t, EmbeddedData> images;
    return images;
}

bool isPng(const unsigned char* data, std::size_t size) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    return size >= 8 && std::memcmp(data, signature, 8) == 0;
}
} // namespace

CBitmap::CBitmap(std::int32_t id)
    : resourceID(id), width(0), height(0), transparentCColor(kTransparentCColor), noAlpha(true) {
    loadFromResource(id);
    setTransparentColor(kTransparentCColor);
}

CBitmap::CBitmap(CFrame&, std::int32_t w, std::int32_t h)
    : resourceID(0), width(0), height(0), transparentCColor(kTransparentCColor), noAlpha(true) {
    if (w > 0 && h > 0 && static_cast<std::int64_t>(w) * h <= (std::int64_t(1) << 28)) {
        pHandle = std::make_unique<PixelImage>(w, h);
        width = w;
        height = h;
    }
}

CBitmap::CBitmap()
    : resourceID(0), width(0), height(0), transparentCColor(kTransparentCColor), noAlpha(true) {}

CBitmap::~CBitmap() {
    dispose();
}

void CBitmap::registerEmbeddedImage(std::int32_t id, const unsigned char* data, std::size_t size) {
    if (!data || size == 0)
        embeddedImages().erase(id);
    else
        embeddedImages()[id] = EmbeddedData{data, size};
}

void CBitmap::dispose() {
    cgImage.reset();
    pHandle.reset();
    pMask.reset();
    width = 0;
    height = 0;
}

void CBitmap::setTransparentColor(CColor color) {
    transparentCColor = color;
    if (noAlpha)
        cgImage.reset();
}

bool CBitmap::loadDecoded(PixelImage&& image, bool hasAlpha) {
    if (image.width <= 0 || image.height <= 0)
        return false;
    width = image.width;
    height = image.height;
    if (hasAlpha) {
        noAlpha = false;
        auto drawable = std::make_shared<PixelImage>(std::move(image));
        for (std::uint32_t& p : drawable->pixels)
            p = premultiplyPixel(p);
        cgImage = std::move(drawable);
    } else {
        noAlpha = true;
        // The formats without usable alpha are opaque; transparency comes from the key colour.
        for (std::uint32_t& p : image.pixels)
            p |= 0xff000000u;
        pHandle = std::make_unique<PixelImage>(std::move(image));
    }
    return true;
}

bool CBitmap::loadEmbedded(std::int32_t id) {
    auto it = embeddedImages().find(id);
    if (it == embeddedImages().end())
        return false;
    PixelImage image;
    if (!ImageDecoder::decode(it->second.data, it->second.size, image))
        return false;
    return loadDecoded(std::move(image), isPng(it->second.data, it->second.size));
}

bool CBitmap::loadFromResource(std::int32_t id) {
    dispose();
    resourceID = id;
    char name[32];
    std::snprintf(name, sizeof name, "bmp%05d", static_cast<int>(id));
    static const char* const extensions[] = {"png", "bmp", "jpg", "pict"};
    for (const std::string& folder : ResourceFolder::searchFolders()) {
        for (const char* extension : extensions) {
            const std::string path = folder + "/" + name + "." + extension;
            if (!ResourceFolder::fileExists(path))
                continue;
            // The first file found decides; when it cannot be used, the image built into
            // the module (if any) stands in.
            if (loadFromPath(path.c_str()))
                return true;
            return loadEmbedded(id);
        }
    }
    return loadEmbedded(id);
}

bool CBitmap::loadFromPath(const void* url) {
    dispose();
    if (!url)
        return false;
    const std::string path(static_cast<const char*>(url));
    if (!ResourceFolder::fileExists(path))
        return false;
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    const std::string extension = path.substr(dot + 1);
    bool png = false;
    if (extension == "png")
        png = true;
    else if (extension != "bmp" && extension != "jpg")
        return false; // "pict" included: no decoder for it
    PixelImage image;
    if (!ImageDecoder::decodeFile(path, image))
        return false;
    return loadDecoded(std::move(image), png);
}

std::shared_ptr<const PixelImage> CBitmap::createCGImage(bool transparent) {
    if (cgImage)
        return cgImage;
    if (!pHandle)
        return nullptr;
    auto image = std::make_shared<PixelImage>(pHandle->width, pHandle->height);
    const std::uint32_t key = (std::uint32_t(transparentCColor.red) << 16) |
                              (std::uint32_t(transparentCColor.green) << 8) |
                              std::uint32_t(transparentCColor.blue);
    const std::size_t count = image->pixels.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pHandle->pixels[i];
        image->pixels[i] = transparent && (p & 0x00ffffffu) == key ? 0u : premultiplyPixel(p);
    }
    cgImage = std::move(image);
    return cgImage;
}

void CBitmap::drawAlphaBlend(CDrawContext* context, CRect& rect, const CPoint& offset,
                             unsigned char alpha) {
    if (!context || (!pHandle && !cgImage))
        return;
    PlatformGraphics* g = context->beginCGContext();
    if (!g)
        return;
    // Keeps the pixels alive even if the bitmap is disposed while drawing.
    std::shared_ptr<const PixelImage> image = createCGImage(false);
    if (image) {
        // Destination rectangle in surface coordinates.
        CRect dest(rect);
        dest.offset(context->offset.x, context->offset.y);
        // The image placed so that `offset` lands on dest's top-left corner.
        CRect placed(dest.left - offset.x, dest.top - offset.y, dest.left - offset.x + image->width,
                     dest.top - offset.y + image->height);
        CRect clip;
        context->getClipRect(clip);
        CRect visible(dest);
        visible.bound(placed);
        visible.bound(clip);
        if (visible.width() > 0 && visible.height() > 0)
            g->drawImage(*image, visible.left - placed.left, visible.top - placed.top,
                         visible.width(), visible.height(), visible.left, visible.top,
                         alpha / 255.0);
    }
    context->releaseCGContext(g);
}

void CBitmap::draw(CDrawContext* context, CRect& rect, const CPoint& offset) {
    drawAlphaBlend(context, rect, offset, 255);
}

void CBitmap::drawTransparent(CDrawContext* context, CRect& rect, const CPoint& offset) {
    if (!noAlpha) {
        draw(context, rect, offset);
        return;
    }
    if (createCGImage(true))
        drawAlphaBlend(context, rect, offset, 255);
}
