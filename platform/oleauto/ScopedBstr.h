// Owns one BSTR and frees it when it goes out of scope.
#pragma once

#include "platform/oleauto/bstr.h"
#include "platform/oleauto/comerror.h"
#include "platform/base/winerror.h"

#include <string_view>
#include <utility>

namespace plat {

class ScopedBstr {
public:
    ScopedBstr() = default;
    // A copy of the text; a null text gives a null BSTR. Running out of
    // memory throws _com_error(E_OUTOFMEMORY).
    explicit ScopedBstr(LPCOLESTR text) : bstr_(SysAllocString(text))
    {
        if (text && !bstr_)
            _com_issue_error(E_OUTOFMEMORY);
    }
    explicit ScopedBstr(std::u16string_view text)
        : bstr_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {
        if (!bstr_)
            _com_issue_error(E_OUTOFMEMORY);
    }
    ~ScopedBstr() { SysFreeString(bstr_); }

    ScopedBstr(ScopedBstr&& other) noexcept : bstr_(other.Release()) {}
    ScopedBstr& operator=(ScopedBstr&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;

    BSTR Get() const { return bstr_; }
    UINT Length() const { return SysStringLen(bstr_); }
    std::u16string_view View() const { return bstr_ ? std::u16string_view(bstr_, Length()) : std::u16string_view(); }

    // Frees the string held and takes ownership of `owned`.
    void Reset(BSTR owned = nullptr)
    {
        if (owned != bstr_)
            SysFreeString(bstr_);
        bstr_ = owned;
    }
    // Gives up ownership without freeing.
    BSTR Release() { return std::exchange(bstr_, nullptr); }
    // For an out-parameter: frees the string held and returns the slot.
    BSTR* Out()
    {
        Reset();
        return &bstr_;
    }

private:
    BSTR bstr_ = nullptr;
};

} // namespace plat
