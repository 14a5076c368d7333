// An image loaded by resource number, drawn whole, in part, with a key colour keyed out or
// alpha-blended. Reference-counted: every view that draws it holds a reference.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gui/CColor.h"
#include "gui/CPoint.h"
#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"

class CDrawContext;
class CFrame;
struct PixelImage;

class CBitmap : public CReferenceCounter {
public:
    explicit CBitmap(std::int32_t resourceID);
    CBitmap(CFrame& frame, std::int32_t width, std::int32_t height);
    CBitmap();
    ~CBitmap() override;

    virtual void draw(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0));
    virtual void drawTransparent(CDrawContext* context, CRect& rect,
                                 const CPoint& offset = CPoint(0, 0));
    virtual void drawAlphaBlend(CDrawContext* context, CRect& rect, const CPoint& offset,
                                unsigned char alpha);
    // The drawable image with one reference for the caller (null when there is nothing).
    virtual std::shared_ptr<const PixelImage> createCGImage(bool transparent = false);
    virtual void dispose();
    virtual bool loadFromResource(std::int32_t resourceID);
    // url is a NUL-terminated file path.
    virtual bool loadFromPath(const void* url);

    std::int32_t getResourceID() const { return resourceID; }
    std::int32_t getWidth() const { return width; }
    std::int32_t getHeight() const { return height; }
    // The off-screen buffer: straight ARGB pixels, or null.
    PixelImage* getHandle() const { return pHandle.get(); }
    bool isLoaded() const { return pHandle || cgImage; }
    void setNoAlpha(bool state) { noAlpha = state; }
    bool getNoAlpha() const { return noAlpha; }
    void setTransparentColor(CColor color);
    CColor getTransparentColor() const { return transparentCColor; }
    void setTransparencyMask(CDrawContext*, const CPoint&) {}

    // Image data compiled into the module, used for a resource number when no file for it is
    // found (or the file found cannot be decoded). The data must stay valid for as long as
    // the registration; null data removes it.
    static void registerEmbeddedImage(std::int32_t resourceID, const unsigned char* data,
                                      std::size_t size);

private:
    bool loadDecoded(PixelImage&& image, bool hasAlpha);
    bool loadEmbedded(std::int32_t id);

    std::int32_t resourceID;
    std::int32_t width;
    std::int32_t height;
    CColor transparentCColor;
    bool noAlpha;
    std::unique_ptr<PixelImage> pHandle;
    std::unique_ptr<PixelImage> pMask;
    std::shared_ptr<const PixelImage> cgImage;
};
