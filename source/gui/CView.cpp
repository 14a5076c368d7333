#include "gui/CView.h"

#include <cstring>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"

const char* const kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

CView::CView(const CRect& rect)
    : size(rect), mouseableArea(rect), pParentFrame(nullptr), pParentView(nullptr), bDirty(false),
      bMouseEnabled(true), bTransparencyEnabled(false), bWantsFocus(false), pBackground(nullptr) {}

CView::~CView() {
    if (pBackground)
        pBackground->forget();
    pBackground = nullptr;
}

void CView::draw(CDrawContext* context) {
    if (pBackground) {
        if (bTransparencyEnabled)
            pBackground->drawTransparent(context, size);
        else
            pBackground->draw(context, size);
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect&) {
    draw(context);
}

void CView::mouse(CDrawContext*, CPoint&, std::int32_t) {}

void CView::setBackground(CBitmap* background) {
    // Remember the new one first: it may be the old one with its last reference.
    if (background)
        background->remember();
    if (pBackground)
        pBackground->forget();
    pBackground = background;
    setDirty(true);
}

std::int32_t CView::onKeyDown(VstKeyCode&) {
    return -1;
}
std::int32_t CView::onKeyUp(VstKeyCode&) {
    return -1;
}
bool CView::onWheel(CDrawContext*, const CPoint&, float) {
    return false;
}
bool CView::onDrop(CDrawContext*, CDragContainer*, const CPoint&) {
    return false;
}
void CView::onDragEnter(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragLeave(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::onDragMove(CDrawContext*, CDragContainer*, const CPoint&) {}
void CView::looseFocus(CDrawContext*) {}
void CView::takeFocus(CDrawContext*) {}

bool CView::hitTest(const CPoint& where, const std::int32_t) {
    return where.isInside(mouseableArea);
}

void CView::setViewSize(CRect& rect) {
    size = rect;
    setDirty(true);
}

bool CView::removed(CView*) {
    return true;
}
bool CView::attached(CView*) {
    return true;
}

CPoint& CView::getMouseLocation(CDrawContext* context, CPoint& point) {
    if (!context)
        return point;
    if (pParentView && pParentView->notify(this, kMsgCheckIfViewContainer)) {
        auto* parent = static_cast<CViewContainer*>(pParentView);
        CPoint savedScreen, savedOffset;
        parent->modifyDrawContext(context, savedScreen, savedOffset);
        parent->getMouseLocation(context, point);
        parent->restoreDrawContext(context, savedScreen, savedOffset);
    } else {
        context->getMouseLocation(point);
    }
    return point;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->frameToLocal(point);
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const {
    if (pParentView && pParentView->isTypeOf("CViewContainer"))
        return pParentView->localToFrame(point);
    return point;
}

CEditorInterface* CView::getEditor() const {
    return pParentFrame ? pParentFrame->getEditor() : nullptr;
}

std::int32_t CView::notify(CView*, const char*) {
    return 0;
}

void CView::redrawRect(CDrawContext* context, const CRect& rect) {
    if (pParentView)
        pParentView->redrawRect(context, rect);
    else if (pParentFrame)
        pParentFrame->drawRect(context, rect);
}

bool CView::isTypeOf(const char* type) const {
    return type && std::strcmp(type, "CView") == 0;
}

void CView::update(CDrawContext* context) {
    if (isDirty()) {
        if (context)
            redrawRect(context, size);
        else
            redraw();
        setDirty(false);
    }
}

void CView::redraw() {
    if (pParentFrame)
        pParentFrame->draw(this);
}

bool CView::getAttributeSize(std::int32_t id, std::int32_t& outSize) const {
    for (const Attribute& a : pAttributeList)
        if (a.id == id) {
            outSize = static_cast<std::int32_t>(a.data.size());
            return true;
        }
    return false;
}

bool CView::getAttribute(std::int32_t id, std::int32_t inSize, void* outData,
                         std::int32_t& outSize) const {
    for (const Attribute& a : pAttributeList)
        if (a.id == id) {
            if (inSize < 0 || static_cast<std::size_t>(inSize) < a.data.size() ||
                (!outData && !a.data.empty()))
                return false;
            if (!a.data.empty())
                std::memcpy(outData, a.data.data(), a.data.size());
            outSize = static_cast<std::int32_t>(a.data.size());
            return true;
        }
    return false;
}

bool CView::setAttribute(std::int32_t id, std::int32_t inSize, const void* inData) {
    if (inSize < 0 || (inSize > 0 && !inData))
        return false;
    const auto* bytes = static_cast<const unsigned char*>(inData);
    for (Attribute& a : pAttributeList)
        if (a.id == id) {
            a.data.assign(bytes, bytes + inSize);
            return true;
        }
    pAttributeList.push_back(Attribute{id, std::vector<unsigned char>(bytes, bytes + inSize)});
    return true;
}

bool CView::removeAttribute(std::int32_t id) {
    for (auto it = pAttributeList.begin(); it != pAttributeList.end(); ++it)
        if (it->id == id) {
            pAttributeList.erase(it);
            return true;
        }
    return false;
}
