// The reference count of an object that lives for as long as it is held:
//
//     class Item final : public plat::RefCounted<IWiaDrvItem> {
//         HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
//         ...
//     };
//
// AddRef and Release serve every interface listed. The object starts with
// one reference, its creator's; the last Release deletes it, through the
// virtual destructor, so a class may keep its own destructor private.
#pragma once

#include "platform/base/unknwn.h"

#include <atomic>

namespace plat {

template <class... Interfaces>
class RefCounted : public Interfaces... {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

    // One more reference unless the last one is already gone: for an object
    // that a lookup can still reach while its final Release runs (under a
    // lock the destructor takes too).
    bool TryAddRef()
    {
        ULONG current = m_refs.load();
        while (current != 0 && !m_refs.compare_exchange_weak(current, current + 1)) {
        }
        return current != 0;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

    // What a test may look at; another thread can change it at any time.
    ULONG References() const { return m_refs; }

private:
    std::atomic<ULONG> m_refs{1};
};

} // namespace plat
