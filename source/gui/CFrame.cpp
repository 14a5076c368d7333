#include "gui/CFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gui/CCView.h"
#include "gui/CDrawContext.h"
#include "gui/CEditorInterface.h"
#include "platform/PlatformWindow.h"
#include "platform/PlatformWindowFactory.h"

namespace {
// Depth counter that survives early returns.
struct DepthGuard {
    explicit DepthGuard(std::int32_t& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
    std::int32_t& depth;
};

bool isWithin(CView* view, CView* ancestor) {
    for (; view; view = view->getParentView())
        if (view == ancestor)
            return true;
    return false;
}
} // namespace

CFrame::CFrame(const CRect& inSize, void* systemWindow, CEditorInterface* editor)
    : CViewContainer(inSize, nullptr, nullptr), pEditor(editor), pSystemWindow(systemWindow),
      pModalView(nullptr), pFocusView(nullptr), bFirstDraw(true), bOpenFlag(true),
      bDropActive(false), bUpdatesDisabled(false), hiScrollOffset(0, 0), pFrameContext(nullptr),
      mouseDepth(0), eventDepth(0) {
    pParentFrame = this;
    initFrame(systemWindow);
}

bool CFrame::initFrame(void* systemWindow) {
    if (!systemWindow)
        return false;
    char identifier[64];
    std::snprintf(identifier, sizeof identifier, "org.stammerix.frame.%lld",
                  static_cast<long long>(reinterpret_cast<std::intptr_t>(this)));
    std::int32_t error = 0;
    platformWindow = PlatformWindowFactory::current().create(
        systemWindow, size.left, size.top, size.width(), size.height(), identifier,
        static_cast<PlatformWindowListener*>(this), error);
    if (!platformWindow) {
        std::fprintf(stderr, "Could not create Control : %d\n", static_cast<int>(error));
        return false;
    }
    const std::int32_t dx = size.left;
    const std::int32_t dy = size.top;
    hostPosition(dx, dy);
    size.offset(-dx, -dy);
    mouseableArea.offset(-dx, -dy);
    setDropActive(true);
    return true;
}

CFrame::~CFrame() {
    if (pModalView)
        removeView(pModalView, false);
    pModalView = nullptr;
    setCursor(kCursorDefault);
    setDropActive(false);
    // Contexts still pointing here stop drawing on the window and forget this frame; their
    // owners release them as usual.
    while (!liveContexts.empty())
        liveContexts.back()->detachFrame();
    pFrameContext = nullptr;
    // The children go while the frame is still whole, so that their removal can consult it.
    removeAll(true);
    pFocusView = nullptr;
    platformWindow.reset();
}

bool CFrame::open(CPoint*) {
    return false;
}

bool CFrame::close() {
    bOpenFlag = false;
    return true;
}

void CFrame::contextCreated(CDrawContext* context, bool current) {
    liveContexts.push_back(context);
    if (current)
        pFrameContext = context;
}

void CFrame::contextDestroyed(CDrawContext* context) {
    liveContexts.erase(std::remove(liveContexts.begin(), liveContexts.end(), context),
                       liveContexts.end());
    if (pFrameContext == context)
        pFrameContext = nullptr;
}

void CFrame::viewWillBeRemoved(CView* view) {
    if (!view || view == this)
        return;
    if (pFocusView && isWithin(pFocusView, view))
        setFocusView(nullptr);
    if (pModalView && isWithin(pModalView, view))
        pModalView = nullptr;
}

CDrawContext* CFrame::createDrawContext() {
    if (pFrameContext) {
        pFrameContext->remember();
        return pFrameContext;
    }
    return new CDrawContext(this, nullptr, pSystemWindow);
}

void CFrame::runEventLoop(std::int32_t maxWaitMs) {
    if (!platformWindow)
        return;
    DepthGuard guard(eventDepth);
    platformWindow->processEvents(maxWaitMs);
}

void CFrame::idle() {
    runEventLoop(0);
    if (!getOpenFlag())
        return;
    if (bFirstDraw)
        return;
    if (!isDirty())
        return;
    // Asked last: it may cost a round trip to the window system.
    if (platformWindow && platformWindow->isCollapsed())
        return;
    CDrawContext* context = createDrawContext();
    update(context);
    context->forget();
}

void CFrame::doIdleStuff() {
    if (pEditor) {
        pEditor->doIdleStuff();
    } else {
        // Without an editor the frame paces a tracking loop itself.
        runEventLoop(4);
        idle();
    }
    if (pFrameContext)
        pFrameContext->synchronizeCGContext();
}

std::uint32_t CFrame::getTicks() const {
    return pEditor ? pEditor->getTicks() : 0;
}

std::int32_t CFrame::getKnobMode() const {
    return pEditor ? pEditor->getEditorKnobMode() : 0;
}

bool CFrame::setPosition(std::int32_t x, std::int32_t y) {
    if (!platformWindow)
        return false;
    hostPosition(x, y);
    platformWindow->setBounds(x, y, size.width(), size.height());
    return true;
}

bool CFrame::getPosition(std::int32_t& x, std::int32_t& y) const {
    x = hostPosition.x;
    y = hostPosition.y;
    return true;
}

bool CFrame::setSize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0)
        return false;
    CRect rect(size.left, size.top, size.left + width, size.top + height);
    setViewSize(rect);
    mouseableArea = rect;
    if (platformWindow)
        platformWindow->setBounds(hostPosition.x, hostPosition.y, width, height);
    return true;
}

bool CFrame::getSize(CRect* rect) const {
    if (!rect)
        return false;
    *rect = size;
    return true;
}

bool CFrame::getSize(CRect& rect) const {
    rect = size;
    return true;
}

void CFrame::update(CDrawContext* context) {
    if (!getOpenFlag() || updatesDisabled() || !context)
        return;
    if (CView::isDirty()) {
        draw(context);
        setDirty(false);
        return;
    }
    CRect oldClip;
    context->getClipRect(oldClip);
    oldClip.offset(-context->offset.x, -context->offset.y);
    if (pModalView && pModalView->isDirty())
        pModalView->update(context);
    for (CCView* node = pFirstView; node; node = node->pNext) {
        CRect clip;
        node->pView->getViewSize(clip);
        clip.bound(oldClip);
        context->setClipRect(clip);
        node->pView->update(context);
    }
    context->setClipRect(oldClip);
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    bFirstDraw = false;
    bool own = false;
    if (!context) {
        context = createDrawContext();
        own = true;
    }
    CRect oldClip;
    context->getClipRect(oldClip);
    oldClip.offset(-context->offset.x, -context->offset.y);
    CRect clip(updateRect);
    clip.bound(oldClip);
    context->setClipRect(clip);
    if (updateRect.width() > 0 && updateRect.height() > 0)
        CViewContainer::drawRect(context, updateRect);
    context->setClipRect(oldClip);
    if (own)
        context->forget();
}

void CFrame::draw(CDrawContext* context) {
    bFirstDraw = false;
    if (context) {
        CViewContainer::draw(context);
        return;
    }
    context = createDrawContext();
    CViewContainer::draw(context);
    context->forget();
}

void CFrame::draw(CView* view) {
    if (view && !isChild(view))
        view = nullptr;
    CDrawContext* context = createDrawContext();
    if (!context)
        return;
    if (view)
        view->draw(context);
    else
        draw(context);
    context->forget();
}

void CFrame::invalidate(const CRect& rect) {
    for (CCView* node = pFirstView; node; node = node->pNext) {
        CRect viewSize;
        node->pView->getViewSize(viewSize);
        if (viewSize.rectOverlap(rect))
            node->pView->setDirty(true);
    }
}

void CFrame::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    DepthGuard guard(mouseDepth);
    if (!context)
        context = pFrameContext;
    if (pFocusView)
        setFocusView(nullptr);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    if (pModalView) {
        if (pModalView->hitTest(where, buttons))
            pModalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    CView* target = pModalView ? pModalView : getViewAt(where, false);
    if (!target)
        return false;
    bool own = false;
    if (!context) {
        context = createDrawContext();
        own = true;
    }
    const bool result = target->onWheel(context, where, distance);
    if (own)
        context->forget();
    return result;
}

std::int32_t CFrame::onKeyDown(VstKeyCode& keyCode) {
    std::int32_t result = -1;
    if (pFocusView)
        result = pFocusView->onKeyDown(keyCode);
    if (result == -1 && pModalView)
        result = pModalView->onKeyDown(keyCode);
    if (result != -1)
        return result;
    if (keyCode.virt == 2) // tab
        return advanceNextFocusView(pFocusView, (keyCode.modifier & 1) != 0) ? 1 : -1;
    return -1;
}

std::int32_t CFrame::onKeyUp(VstKeyCode& keyCode) {
    if (pFocusView)
        pFocusView->onKeyUp(keyCode);
    return pModalView ? pModalView->onKeyUp(keyCode) : -1;
}

bool CFrame::advanceNextFocusView(CView* oldFocus, bool reverse) {
    if (pModalView)
        return false;
    if (!oldFocus)
        oldFocus = pFocusView;
    if (oldFocus) {
        CView* parent = oldFocus->getParentView();
        if (parent && parent != this && parent->notify(this, kMsgCheckIfViewContainer))
            return static_cast<CViewContainer*>(parent)->advanceNextFocusView(oldFocus, reverse);
    }
    if (CViewContainer::advanceNextFocusView(oldFocus, reverse))
        return true;
    if (oldFocus && isChild(oldFocus))
        return CViewContainer::advanceNextFocusView(nullptr, reverse);
    return false;
}

void CFrame::setFocusView(CView* view) {
    CView* old = pFocusView;
    pFocusView = view;
    if (pFocusView && pFocusView->wantsFocus())
        pFocusView->setDirty(true);
    if (old) {
        old->looseFocus(nullptr);
        if (old->wantsFocus())
            old->setDirty(true);
    }
}

bool CFrame::setModalView(CView* view) {
    if (!view) {
        if (pModalView)
            removeView(pModalView, false);
        pModalView = nullptr;
        return true;
    }
    if (pModalView)
        return false;
    pModalView = view;
    addView(view);
    return true;
}

void CFrame::beginEdit(std::int32_t index) {
    if (pEditor)
        pEditor->beginEdit(index);
}

void CFrame::endEdit(std::int32_t index) {
    if (pEditor)
        pEditor->endEdit(index);
}

bool CFrame::getCurrentLocation(CPoint& where) {
    CDrawContext* context = createDrawContext();
    context->getMouseLocation(where);
    context->forget();
    return true;
}

void CFrame::setCursor(CCursorType type) {
    if (platformWindow)
        platformWindow->setCursor(type);
}

bool CFrame::setDropActive(bool val) {
    bDropActive = val;
    return true;
}

bool CFrame::updatesDisabled(bool state) {
    const bool previous = bUpdatesDisabled;
    bUpdatesDisabled = state;
    return previous;
}

void CFrame::setViewSize(CRect& rect) {
    CViewContainer::setViewSize(rect);
}

CView* CFrame::getCurrentView() const {
    if (pModalView) {
        CPoint where;
        const_cast<CFrame*>(this)->getCurrentLocation(where);
        CRect area;
        pModalView->getMouseableArea(area);
        return where.isInside(area) ? pModalView : nullptr;
    }
    return CViewContainer::getCurrentView();
}

bool CFrame::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CFrame") == 0 || CViewContainer::isTypeOf(type));
}

void CFrame::platformDraw(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    CDrawContext* context = createDrawContext();
    CRect bounds(x, y, x + w, y + h);
    bounds.offset(-context->offsetScreen.x, -context->offsetScreen.y);
    const bool wasDirty = CView::isDirty();
    drawRect(context, bounds);
    if (wasDirty && bounds != size)
        setDirty(true);
    context->forget();
}

void CFrame::platformMouse(std::int32_t x, std::int32_t y, std::int32_t buttons) {
    // A click that arrives while another one is tracked belongs to that gesture.
    if (mouseDepth > 0)
        return;
    CDrawContext* context = createDrawContext();
    CPoint where(x, y);
    mouse(context, where, buttons);
    context->forget();
}

void CFrame::platformWheel(std::int32_t x, std::int32_t y, float distance) {
    if (mouseDepth > 0)
        return;
    CDrawContext* context = createDrawContext();
    const CPoint where(x + hiScrollOffset.x, y + hiScrollOffset.y);
    onWheel(context, where, distance);
    context->forget();
}
