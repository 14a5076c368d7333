#include "gui/CCView.h"

#include "gui/CView.h"

CCView::CCView(CView* view) : pView(view), pNext(nullptr), pPrevious(nullptr) {
    if (pView)
        pView->remember();
}

CCView::~CCView() {
    if (pView)
        pView->forget();
}
