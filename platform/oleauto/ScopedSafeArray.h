// Owns one SAFEARRAY and destroys it when it goes out of scope; and a guard
// that holds an array's data accessed for a scope.
#pragma once

#include "platform/oleauto/safearray.h"
#include "platform/base/winerror.h"

#include <utility>

namespace plat {

class ScopedSafeArray {
public:
    ScopedSafeArray() = default;
    explicit ScopedSafeArray(SAFEARRAY* owned) : array_(owned) {}
    ~ScopedSafeArray() { SafeArrayDestroy(array_); }

    ScopedSafeArray(ScopedSafeArray&& other) noexcept : array_(other.Release()) {}
    ScopedSafeArray& operator=(ScopedSafeArray&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ScopedSafeArray(const ScopedSafeArray&) = delete;
    ScopedSafeArray& operator=(const ScopedSafeArray&) = delete;

    SAFEARRAY* Get() const { return array_; }

    // Destroys the array held and takes ownership of `owned`.
    void Reset(SAFEARRAY* owned = nullptr)
    {
        if (owned != array_)
            SafeArrayDestroy(array_);
        array_ = owned;
    }
    SAFEARRAY* Release() { return std::exchange(array_, nullptr); }
    SAFEARRAY** Out()
    {
        Reset();
        return &array_;
    }

private:
    SAFEARRAY* array_ = nullptr;
};

// SafeArrayAccessData for the life of the guard.
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY* array) : array_(array)
    {
        result_ = SafeArrayAccessData(array_, &data_);
        if (FAILED(result_))
            array_ = nullptr;
    }
    ~SafeArrayAccess()
    {
        if (array_)
            SafeArrayUnaccessData(array_);
    }
    SafeArrayAccess(const SafeArrayAccess&) = delete;
    SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;

    HRESULT Result() const { return result_; }
    // Null when the access failed.
    void* Data() const { return data_; }

private:
    SAFEARRAY* array_;
    void* data_ = nullptr;
    HRESULT result_;
};

} // namespace plat
