#include "gui/CViewContainer.h"

#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CCView.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace {
// Clip of a context in the coordinates its offset currently names.
CRect clipInDrawSpace(CDrawContext* context) {
    CRect clip;
    context->getClipRect(clip);
    clip.offset(-context->offset.x, -context->offset.y);
    return clip;
}
} // namespace

CViewContainer::CViewContainer(const CRect& rect, CFrame* pParent, CBitmap* background)
    : CView(rect), pFirstView(nullptr), pLastView(nullptr), mode(1), pOffscreenContext(nullptr),
      backgroundColor(kBlackCColor), backgroundOffset(0, 0), bDrawInOffscreen(false),
      currentDragView(nullptr) {
    pParentFrame = pParent;
    setBackground(background);
}

CViewContainer::~CViewContainer() {
    removeAll(true);
}

void CViewContainer::addView(CView* view) {
    if (!view)
        return;
    auto* node = new CCView(view);
    view->setParentFrame(pParentFrame);
    view->setParentView(this);
    node->pPrevious = pLastView;
    if (pLastView)
        pLastView->pNext = node;
    else
        pFirstView = node;
    pLastView = node;
    view->attached(this);
    view->setDirty(true);
}

void CViewContainer::addView(CView* view, CRect& area, bool mouseEnabled) {
    if (!view)
        return;
    view->setMouseEnabled(mouseEnabled);
    view->setMouseableArea(area);
    addView(view);
}

void CViewContainer::releaseFrameReferences(CView* view) {
    if (pParentFrame)
        pParentFrame->viewWillBeRemoved(view);
    if (currentDragView == view)
        currentDragView = nullptr;
}

void CViewContainer::removeView(CView* view, const bool& withForget) {
    if (!view)
        return;
    CCView* node = pFirstView;
    while (node && node->pView != view)
        node = node->pNext;
    if (!node)
        return;
    releaseFrameReferences(view);
    view->removed(this);
    view->setParentView(nullptr);
    view->setParentFrame(nullptr);
    if (node->pPrevious)
        node->pPrevious->pNext = node->pNext;
    else
        pFirstView = node->pNext;
    if (node->pNext)
        node->pNext->pPrevious = node->pPrevious;
    else
        pLastView = node->pPrevious;
    if (withForget)
        view->forget();
    delete node;
}

void CViewContainer::removeAll(const bool& withForget) {
    while (pFirstView)
        removeView(pFirstView->pView, withForget);
    pFirstView = pLastView = nullptr;
}

bool CViewContainer::isChild(CView* view) const {
    for (CCView* node = pFirstView; node; node = node->pNext)
        if (node->pView == view)
            return true;
    return false;
}

std::int32_t CViewContainer::getNbViews() const {
    std::int32_t count = 0;
    for (CCView* node = pFirstView; node; node = node->pNext)
        ++count;
    return count;
}

CView* CViewContainer::getView(std::int32_t index) const {
    if (index < 0)
        return nullptr;
    CCView* node = pFirstView;
    while (node && index-- > 0)
        node = node->pNext;
    return node ? node->pView : nullptr;
}

void CViewContainer::setBackgroundColor(CColor color) {
    backgroundColor = color;
    setDirty(true);
}

void CViewContainer::modifyDrawContext(CDrawContext* context, CPoint& savedScreen,
                                       CPoint& savedOffset) {
    savedScreen = context->offsetScreen;
    savedOffset = context->offset;
    context->offsetScreen.offset(size.left, size.top);
    context->offset.offset(size.left, size.top);
}

void CViewContainer::restoreDrawContext(CDrawContext* context, const CPoint& savedScreen,
                                        const CPoint& savedOffset) {
    context->offsetScreen = savedScreen;
    context->offset = savedOffset;
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, CRect& rect) {
    if (pBackground) {
        const CRect oldClip = clipInDrawSpace(context);
        CRect clip(rect);
        clip.bound(oldClip);
        context->setClipRect(clip);
        CRect whole(0, 0, pBackground->getWidth(), pBackground->getHeight());
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, whole, backgroundOffset);
        else
            pBackground->draw(context, whole, backgroundOffset);
        context->setClipRect(oldClip);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRect(rect);
    }
}

void CViewContainer::draw(CDrawContext* context) {
    if (!context)
        return;
    CPoint savedScreen, savedOffset;
    modifyDrawContext(context, savedScreen, savedOffset);
    CRect r(0, 0, size.width(), size.height());
    const CRect oldClip = clipInDrawSpace(context);
    CRect clip(r);
    clip.bound(oldClip);
    context->setClipRect(clip);

    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, r, backgroundOffset);
        else
            pBackground->draw(context, r, backgroundOffset);
    } else if (!bTransparencyEnabled) {
        context->setFillColor(backgroundColor);
        context->fillRect(r);
    }

    for (CCView* node = pFirstView; node; node = node->pNext) {
        CRect viewClip;
        node->pView->getViewSize(viewClip);
        viewClip.bound(oldClip);
        context->setClipRect(viewClip);
        node->pView->draw(context);
    }

    context->setClipRect(oldClip);
    restoreDrawContext(context, savedScreen, savedOffset);
    setDirty(false);
}

void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    if (!context)
        return;
    CPoint savedScreen, savedOffset;
    modifyDrawContext(context, savedScreen, savedOffset);

    CRect r(updateRect);
    r.bound(size);
    CRect client(r);
    client.offset(-size.left, -size.top);

    const CRect oldClip = clipInDrawSpace(context);
    CRect newClip(client);
    newClip.bound(oldClip);
    context->setClipRect(newClip);

    drawBackgroundRect(context, client);

    const bool scrollContainer = isTypeOf("CScrollContainer");
    for (CCView* node = pFirstView; node; node = node->pNext) {
        CView* view = node->pView;
        if (!view->checkUpdate(client))
            continue;
        CRect viewSize;
        view->getViewSize(viewSize);
        CRect viewClip(viewSize);
        viewClip.bound(newClip);
        if (viewClip.right == viewClip.left || viewClip.bottom == viewClip.top)
            continue;
        context->setClipRect(viewClip);
        const bool wasDirty = view->isDirty();
        view->drawRect(context, client);
        // Painted only in part: draw it whole later.
        if (wasDirty && viewSize != viewClip && !scrollContainer)
            view->setDirty(true);
    }

    context->setClipRect(oldClip);
    restoreDrawContext(context, savedScreen, savedOffset);

    if (CView::isDirty() && newClip == size)
        setDirty(false);
}

void CViewContainer::redrawRect(CDrawContext* context, const CRect& rect) {
    CRect r(rect);
    r.offset(size.left, size.top);
    if (!bTransparencyEnabled) {
        CPoint savedScreen, savedOffset;
        const bool shift = context && pParentView && pParentView->isTypeOf("CViewContainer");
        if (shift) {
            savedScreen = context->offsetScreen;
            savedOffset = context->offset;
            CPoint parentOrigin(0, 0);
            pParentView->localToFrame(parentOrigin);
            context->offsetScreen.offset(parentOrigin.x, parentOrigin.y);
            context->offset.offset(parentOrigin.x, parentOrigin.y);
        }
        drawRect(context, r);
        if (shift) {
            context->offsetScreen = savedScreen;
            context->offset = savedOffset;
        }
    } else if (pParentView) {
        pParentView->redrawRect(context, r);
    } else if (pParentFrame) {
        pParentFrame->drawRect(context, r);
    }
}

bool CViewContainer::isDirty() const {
    if (CView::isDirty())
        return true;
    const CRect bounds(0, 0, size.width(), size.height());
    for (CCView* node = pFirstView; node; node = node->pNext) {
        if (!node->pView->isDirty())
            continue;
        CRect r;
        node->pView->getViewSize(r);
        r.bound(bounds);
        if (r.width() > 0 && r.height() > 0)
            return true;
    }
    return false;
}

void CViewContainer::update(CDrawContext* context) {
    if (mode == 0) {
        if (isDirty()) {
            CRect whole(size);
            whole.offset(-size.left, -size.top);
            redrawRect(context, whole);
            setDirty(false);
        }
        return;
    }
    if (CView::isDirty()) {
        CRect whole(size);
        whole.offset(-size.left, -size.top);
        redrawRect(context, whole);
        setDirty(false);
        return;
    }
    const CRect bounds(0, 0, size.width(), size.height());
    for (CCView* node = pFirstView; node; node = node->pNext) {
        CView* view = node->pView;
        if (!view->isDirty())
            continue;
        CRect r;
        view->getViewSize(r);
        r.bound(bounds);
        if (r.width() <= 0 || r.height() <= 0)
            continue;
        if (view->notify(this, kMsgCheckIfViewContainer))
            view->update(context);
        else
            redrawRect(context, r);
    }
    setDirty(false);
}

void CViewContainer::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    CPoint local(where.x - size.left, where.y - size.top);
    if (buttons == -1 && context)
        buttons = context->getMouseButtons();
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        CView* view = node->pView;
        if (view->getMouseEnabled() && view->hitTest(local, buttons)) {
            view->mouse(context, local, buttons);
            return;
        }
    }
}

std::int32_t CViewContainer::onKeyDown(VstKeyCode& keyCode) {
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        const std::int32_t result = node->pView->onKeyDown(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

std::int32_t CViewContainer::onKeyUp(VstKeyCode& keyCode) {
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        const std::int32_t result = node->pView->onKeyUp(keyCode);
        if (result != -1)
            return result;
    }
    return -1;
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    const CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        CView* view = node->pView;
        if (view->getMouseEnabled() && view->hitTest(local))
            return view->onWheel(context, local, distance);
    }
    return false;
}

CView* CViewContainer::dragTarget(const CPoint& where) const {
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        CRect area;
        node->pView->getMouseableArea(area);
        if (where.isInside(area))
            return node->pView;
    }
    return nullptr;
}

bool CViewContainer::onDrop(CDrawContext* context, CDragContainer* drag, const CPoint& where) {
    const CPoint local(where.x - size.left, where.y - size.top);
    CView* target = dragTarget(local);
    if (currentDragView && currentDragView != target)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = nullptr;
    return target ? target->onDrop(context, drag, local) : false;
}

void CViewContainer::onDragEnter(CDrawContext* context, CDragContainer* drag, const CPoint& where) {
    const CPoint local(where.x - size.left, where.y - size.top);
    currentDragView = dragTarget(local);
    if (currentDragView)
        currentDragView->onDragEnter(context, drag, local);
}

void CViewContainer::onDragLeave(CDrawContext* context, CDragContainer* drag, const CPoint& where) {
    const CPoint local(where.x - size.left, where.y - size.top);
    if (currentDragView)
        currentDragView->onDragLeave(context, drag, local);
    currentDragView = nullptr;
}

void CViewContainer::onDragMove(CDrawContext* context, CDragContainer* drag, const CPoint& where) {
    const CPoint local(where.x - size.left, where.y - size.top);
    CView* target = dragTarget(local);
    if (target != currentDragView) {
        if (currentDragView)
            currentDragView->onDragLeave(context, drag, local);
        if (target)
            target->onDragEnter(context, drag, local);
        currentDragView = target;
    } else if (target) {
        target->onDragMove(context, drag, local);
    }
}

void CViewContainer::looseFocus(CDrawContext* context) {
    for (CCView* node = pFirstView; node; node = node->pNext)
        node->pView->looseFocus(context);
}

void CViewContainer::takeFocus(CDrawContext* context) {
    for (CCView* node = pFirstView; node; node = node->pNext)
        node->pView->takeFocus(context);
}

bool CViewContainer::hitTest(const CPoint& where, const std::int32_t) {
    return where.isInside(mouseableArea);
}

void CViewContainer::setViewSize(CRect& rect) {
    CView::setViewSize(rect);
}

bool CViewContainer::removed(CView* parent) {
    for (CCView* node = pFirstView; node; node = node->pNext) {
        node->pView->removed(this);
        node->pView->setParentFrame(nullptr);
    }
    return CView::removed(parent);
}

bool CViewContainer::attached(CView* parent) {
    for (CCView* node = pFirstView; node; node = node->pNext) {
        node->pView->setParentFrame(pParentFrame);
        node->pView->attached(this);
    }
    return CView::attached(parent);
}

CPoint& CViewContainer::frameToLocal(CPoint& point) const {
    point.offset(-size.left, -size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CViewContainer::localToFrame(CPoint& point) const {
    point.offset(size.left, size.top);
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

std::int32_t CViewContainer::notify(CView*, const char* message) {
    return message == kMsgCheckIfViewContainer ? 1 : 0;
}

bool CViewContainer::isTypeOf(const char* type) const {
    return type && (std::strcmp(type, "CViewContainer") == 0 || CView::isTypeOf(type));
}

CView* CViewContainer::getCurrentView() const {
    if (!pParentFrame)
        return nullptr;
    CPoint where;
    pParentFrame->getCurrentLocation(where);
    frameToLocal(where);
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        CRect area;
        node->pView->getMouseableArea(area);
        if (where.isInside(area))
            return node->pView;
    }
    return nullptr;
}

CView* CViewContainer::getViewAt(const CPoint& where, bool deep) const {
    if (!pParentFrame)
        return nullptr;
    const CPoint local(where.x - size.left, where.y - size.top);
    for (CCView* node = pLastView; node; node = node->pPrevious) {
        CView* view = node->pView;
        CRect area;
        view->getMouseableArea(area);
        if (!local.isInside(area))
            continue;
        if (deep && view->notify(const_cast<CViewContainer*>(this), kMsgCheckIfViewContainer))
            return static_cast<CViewContainer*>(view)->getViewAt(local, true);
        return view;
    }
    return nullptr;
}

bool CViewContainer::advanceNextFocusView(CView* oldFocus, bool reverse) {
    if (!pParentFrame)
        return false;
    // Children in search order, starting after oldFocus when it is one of them.
    bool started = oldFocus == nullptr || !isChild(oldFocus);
    CCView* node = reverse ? pLastView : pFirstView;
    for (; node; node = reverse ? node->pPrevious : node->pNext) {
        CView* view = node->pView;
        if (!started) {
            if (view == oldFocus)
                started = true;
            continue;
        }
        if (view->notify(this, kMsgCheckIfViewContainer)) {
            if (static_cast<CViewContainer*>(view)->advanceNextFocusView(nullptr, reverse))
                return true;
        } else if (view->wantsFocus()) {
            pParentFrame->setFocusView(view);
            return true;
        }
    }
    // Nothing after oldFocus here: the enclosing container continues after this one.
    if (oldFocus && pParentView && pParentView->notify(this, kMsgCheckIfViewContainer))
        return static_cast<CViewContainer*>(pParentView)->advanceNextFocusView(this, reverse);
    return false;
}
