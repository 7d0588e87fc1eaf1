// Owns one VARIANT and clears it when it goes out of scope.
#pragma once

#include "platform/oleauto/variant.h"

namespace plat {

class ScopedVariant {
public:
    ScopedVariant() { VariantInit(&value_); }
    ~ScopedVariant() { VariantClear(&value_); }

    ScopedVariant(ScopedVariant&& other) noexcept : value_(other.Release()) {}
    ScopedVariant& operator=(ScopedVariant&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    VARIANT* operator->() { return &value_; }
    const VARIANT* operator->() const { return &value_; }

    HRESULT Clear() { return VariantClear(&value_); }
    // Clears the value held and takes ownership of `owned`.
    void Reset(const VARIANT& owned)
    {
        VariantClear(&value_);
        value_ = owned;
    }
    // Hands the value over to the caller and leaves VT_EMPTY behind.
    VARIANT Release()
    {
        VARIANT out = value_;
        VariantInit(&value_);
        return out;
    }
    // For an out-parameter: clears the value held and returns the slot.
    VARIANT* Out()
    {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
};

} // namespace plat
