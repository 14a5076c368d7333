// The root container of the editor's views, bound to the host's window through a platform
// window of its own: it turns the platform's draw, mouse and wheel events into toolkit calls,
// owns the current drawing context, reaches the editor for ticks, idle work and edit
// brackets, and redraws dirty views at idle time.
#pragma once

#include <memory>
#include <vector>

#include "gui/CViewContainer.h"
#include "platform/PlatformInput.h"
#include "platform/PlatformWindowListener.h"

class CDrawContext;
class CEditorInterface;
class PlatformWindow;

// The pointer's shapes are the platform's.
using CCursorType = PlatformCursor;

class CFrame : public CViewContainer, private PlatformWindowListener {
public:
    // pSystemWindow is the host's window (an X11 window id on Linux); size is placed at its
    // top-left corner inside it and then starts at (0, 0).
    CFrame(const CRect& size, void* pSystemWindow, CEditorInterface* pEditor);
    ~CFrame() override;

    virtual bool open(CPoint* point = nullptr);
    virtual bool close();
    virtual bool isOpen() const { return bOpenFlag; }
    virtual void idle();
    virtual void doIdleStuff();
    virtual std::uint32_t getTicks() const;
    virtual std::int32_t getKnobMode() const;
    virtual bool setPosition(std::int32_t x, std::int32_t y);
    virtual bool getPosition(std::int32_t& x, std::int32_t& y) const;
    virtual bool setSize(std::int32_t width, std::int32_t height);
    virtual bool getSize(CRect* rect) const;
    virtual bool getSize(CRect& rect) const;
    virtual bool setModalView(CView* view);
    virtual CView* getModalView() const { return pModalView; }
    virtual void beginEdit(std::int32_t index);
    virtual void endEdit(std::int32_t index);
    virtual bool getCurrentLocation(CPoint& where);
    virtual void setCursor(CCursorType type);
    virtual void setFocusView(CView* view);
    virtual CView* getFocusView() const { return pFocusView; }
    virtual bool setDropActive(bool val);
    virtual bool isDropActive() const { return bDropActive; }
    virtual void setOpenFlag(bool val) { bOpenFlag = val; }
    virtual bool getOpenFlag() const { return bOpenFlag; }
    virtual void invalidate(const CRect& rect);
    virtual bool updatesDisabled() const { return bUpdatesDisabled; }
    virtual bool updatesDisabled(bool state);
    virtual void draw(CView* view);

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    std::int32_t onKeyDown(VstKeyCode& keyCode) override;
    std::int32_t onKeyUp(VstKeyCode& keyCode) override;
    void update(CDrawContext* context) override;
    void setViewSize(CRect& rect) override;
    CView* getCurrentView() const override;
    bool advanceNextFocusView(CView* oldFocus, bool reverse = false) override;
    CEditorInterface* getEditor() const override { return pEditor; }
    bool isTypeOf(const char* type) const override;

    // A context for drawing on this frame's window; the caller forgets it.
    CDrawContext* createDrawContext();

    // Platform side.
    // The frame's own window, or null when it could not be made (or there is no host window).
    PlatformWindow* getPlatformWindow() const { return platformWindow.get(); }
    // Waits at most maxWaitMs for platform events and dispatches them (user-interface thread).
    // idle() runs it without waiting; the editor's throttled idle work waits up to 4 ms here.
    void runEventLoop(std::int32_t maxWaitMs);
    const CPoint& getScrollOffset() const { return hiScrollOffset; }
    void* getSystemWindow() const { return pSystemWindow; }
    bool isFirstDraw() const { return bFirstDraw; }
    CDrawContext* getCurrentContext() const { return pFrameContext; }

    // Bookkeeping of the drawing contexts that point to this frame.
    void contextCreated(CDrawContext* context, bool current);
    void contextDestroyed(CDrawContext* context);
    // A view is leaving the tree: the focus and modal views must not point to it.
    void viewWillBeRemoved(CView* view);

protected:
    bool initFrame(void* systemWindow);

    CEditorInterface* pEditor;
    void* pSystemWindow;
    CView* pModalView;
    CView* pFocusView;
    bool bFirstDraw;
    bool bOpenFlag;
    bool bDropActive;
    bool bUpdatesDisabled;
    CPoint hiScrollOffset;
    CDrawContext* pFrameContext;
    // Where the frame's window sits in the host's window.
    CPoint hostPosition;

private:
    void platformDraw(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) override;
    void platformMouse(std::int32_t x, std::int32_t y, std::int32_t buttons) override;
    void platformWheel(std::int32_t x, std::int32_t y, float distance) override;

    std::unique_ptr<PlatformWindow> platformWindow;
    std::vector<CDrawContext*> liveContexts;
    std::int32_t mouseDepth;
    std::int32_t eventDepth;
};
