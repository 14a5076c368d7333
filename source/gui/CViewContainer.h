// A view holding an ordered list of child views in front of a background.
#pragma once

#include "gui/CColor.h"
#include "gui/CView.h"

class CCView;

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* pParent, CBitmap* pBackground = nullptr);
    ~CViewContainer() override;

    virtual void addView(CView* view);
    virtual void addView(CView* view, CRect& mouseableArea, bool mouseEnabled = true);
    virtual void removeView(CView* view, const bool& withForget = true);
    virtual void removeAll(const bool& withForget = true);
    virtual bool isChild(CView* view) const;
    virtual std::int32_t getNbViews() const;
    virtual CView* getView(std::int32_t index) const;
    virtual void setBackgroundColor(CColor color);
    virtual CColor getBackgroundColor() const { return backgroundColor; }
    virtual void setBackgroundOffset(const CPoint& p) { backgroundOffset = p; }
    virtual const CPoint& getBackgroundOffset() const { return backgroundOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, CRect& rect);
    virtual void setMode(std::int32_t val) { mode = val; }
    virtual std::int32_t getMode() const { return mode; }
    virtual void useOffscreen(bool) {}
    virtual CView* getCurrentView() const;
    virtual CView* getViewAt(const CPoint& where, bool deep = false) const;
    virtual bool advanceNextFocusView(CView* oldFocus, bool reverse = false);

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    std::int32_t onKeyDown(VstKeyCode& keyCode) override;
    std::int32_t onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) override;
    void looseFocus(CDrawContext* context = nullptr) override;
    void takeFocus(CDrawContext* context = nullptr) override;
    bool isDirty() const override;
    bool hitTest(const CPoint& where, const std::int32_t buttons = -1) override;
    void setViewSize(CRect& rect) override;
    bool removed(CView* parent) override;
    bool attached(CView* parent) override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    std::int32_t notify(CView* sender, const char* message) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* type) const override;
    void update(CDrawContext* context) override;

    // Shift a context into this container's coordinates and back.
    void modifyDrawContext(CDrawContext* context, CPoint& savedScreen, CPoint& savedOffset);
    void restoreDrawContext(CDrawContext* context, const CPoint& savedScreen,
                            const CPoint& savedOffset);

protected:
    // Drops the frame's focus and modal references into view before it leaves the tree.
    void releaseFrameReferences(CView* view);
    // The child under `where` (local coordinates) for drag events.
    CView* dragTarget(const CPoint& where) const;

    CCView* pFirstView;
    CCView* pLastView;
    std::int32_t mode;
    void* pOffscreenContext;
    CColor backgroundColor;
    CPoint backgroundOffset;
    bool bDrawInOffscreen;
    CView* currentDragView;
};
