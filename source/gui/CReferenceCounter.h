// Shared ownership for drawing contexts, views and bitmaps: the creator holds the first
// reference, every other holder calls remember, and each holder calls forget exactly once.
#pragma once

#include <cstdint>

class CReferenceCounter {
public:
    CReferenceCounter() : nbReference(1) {}
    virtual ~CReferenceCounter() = default;

    CReferenceCounter(const CReferenceCounter&) = delete;
    CReferenceCounter& operator=(const CReferenceCounter&) = delete;

    virtual void forget() {
        if (--nbReference == 0)
            delete this;
    }
    virtual void remember() { ++nbReference; }
    std::int32_t getNbReference() const { return nbReference; }

private:
    std::int32_t nbReference;
};
