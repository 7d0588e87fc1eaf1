// plat::ComPtr<T>: owns one reference to a COM interface.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/base/winerror.h"

#include <utility>

namespace plat {

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference of `p`.
    explicit ComPtr(T* p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // Releases the held reference (if any).
    void Reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    // Takes over a reference the caller already owns.
    void Attach(T* p)
    {
        Reset();
        m_p = p;
    }
    // Gives the reference up to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }
    // For out-parameters: drops the held reference first.
    T** ReleaseAndGetAddressOf()
    {
        Reset();
        return &m_p;
    }
    // For calls that fill a void** (QueryInterface, CoCreateInstance).
    void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = m_p;
        if (m_p)
            m_p->AddRef();
        return S_OK;
    }

    template <typename U>
    HRESULT QueryInterface(REFIID iid, ComPtr<U>& out) const
    {
        if (!m_p) {
            out.Reset();
            return E_POINTER;
        }
        return m_p->QueryInterface(iid, out.ReleaseAndGetVoidAddress());
    }

    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    T* m_p = nullptr;
};

} // namespace plat
