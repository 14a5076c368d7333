// Everything that occupies a rectangle, draws and takes the mouse. Reference-counted; a view
// added to a container belongs to it.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "gui/CPoint.h"
#include "gui/CRect.h"
#include "gui/CReferenceCounter.h"
#include "host/VstInterface.h"

class CBitmap;
class CDrawContext;
class CDragContainer;
class CEditorInterface;
class CFrame;
class CViewContainer;

extern const char* const kMsgCheckIfViewContainer;

class CView : public CReferenceCounter {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    virtual void draw(CDrawContext* context);
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    virtual bool checkUpdate(CRect& updateRect) const { return updateRect.rectOverlap(size); }
    virtual void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1);
    virtual void setBackground(CBitmap* background);
    virtual CBitmap* getBackground() const { return pBackground; }
    virtual std::int32_t onKeyDown(VstKeyCode& keyCode);
    virtual std::int32_t onKeyUp(VstKeyCode& keyCode);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where);
    virtual void looseFocus(CDrawContext* context = nullptr);
    virtual void takeFocus(CDrawContext* context = nullptr);
    virtual bool isDirty() const { return bDirty.load(std::memory_order_relaxed); }
    virtual void setDirty(const bool val = true) { bDirty.store(val, std::memory_order_relaxed); }
    virtual void setMouseEnabled(const bool enable = true) { bMouseEnabled = enable; }
    virtual bool getMouseEnabled() const { return bMouseEnabled; }
    virtual void setMouseableArea(const CRect& rect) { mouseableArea = rect; }
    virtual CRect& getMouseableArea(CRect& rect) const {
        rect = mouseableArea;
        return rect;
    }
    virtual bool hitTest(const CPoint& where, const std::int32_t buttons = -1);
    virtual void setTransparency(bool val) { bTransparencyEnabled = val; }
    virtual bool getTransparency() const { return bTransparencyEnabled; }
    virtual void setViewSize(CRect& rect);
    virtual CRect& getViewSize(CRect& rect) const {
        rect = size;
        return rect;
    }
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);
    virtual CPoint& getMouseLocation(CDrawContext* context, CPoint& point);
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual CEditorInterface* getEditor() const;
    virtual std::int32_t notify(CView* sender, const char* message);
    virtual void redrawRect(CDrawContext* context, const CRect& rect);
    virtual bool wantsFocus() const { return bWantsFocus; }
    virtual void setWantsFocus(bool state) { bWantsFocus = state; }
    virtual bool isTypeOf(const char* type) const;
    virtual void update(CDrawContext* context);

    void redraw();
    CFrame* getFrame() const { return pParentFrame; }
    CView* getParentView() const { return pParentView; }
    std::int32_t getWidth() const { return size.width(); }
    std::int32_t getHeight() const { return size.height(); }
    const CRect& getSize() const { return size; }

    // Attributes: small blobs of data by 32-bit id, owned by the view.
    bool getAttributeSize(std::int32_t id, std::int32_t& outSize) const;
    bool getAttribute(std::int32_t id, std::int32_t inSize, void* outData,
                      std::int32_t& outSize) const;
    bool setAttribute(std::int32_t id, std::int32_t inSize, const void* inData);
    bool removeAttribute(std::int32_t id);

    // Set by containers when the view is added or removed.
    void setParentFrame(CFrame* frame) { pParentFrame = frame; }
    void setParentView(CView* view) { pParentView = view; }

protected:
    CRect size;
    CRect mouseableArea;
    CFrame* pParentFrame;
    CView* pParentView;
    // Written by the editor from whatever thread changes a parameter, read on the
    // user-interface thread.
    std::atomic<bool> bDirty;
    bool bMouseEnabled;
    bool bTransparencyEnabled;
    bool bWantsFocus;
    CBitmap* pBackground;

private:
    struct Attribute {
        std::int32_t id;
        std::vector<unsigned char> data;
    };
    std::vector<Attribute> pAttributeList;
};
