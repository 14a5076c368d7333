// A node of a container's child list; it holds one reference on its view.
#pragma once

class CView;

class CCView {
public:
    explicit CCView(CView* view);
    ~CCView();
    CCView(const CCView&) = delete;
    CCView& operator=(const CCView&) = delete;

    CView* pView;
    CCView* pNext;
    CCView* pPrevious;
};
