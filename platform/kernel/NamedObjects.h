// Names of kernel objects within this process (internal to the platform
// library). Events and mutexes share one name space, as on Windows.
#pragma once

#include "platform/kernel/KernelObject.h"

#include <functional>
#include <memory>

namespace plat {

// The handle of the object named `name`, made by `make` when no such object
// lives (last error ERROR_SUCCESS) or the existing one when it has type T
// (ERROR_ALREADY_EXISTS); null with ERROR_INVALID_HANDLE when the name
// belongs to an object of another type. A null or empty name makes an
// unnamed object.
template <class T>
HANDLE CreateNamedObject(const WCHAR* name, const std::function<std::shared_ptr<T>()>& make);

std::shared_ptr<KernelObject> FindOrInsertNamed(const WCHAR* name,
                                                const std::function<std::shared_ptr<KernelObject>()>& make,
                                                bool* existed);

// ERROR_ALREADY_EXISTS or ERROR_SUCCESS.
void SetLastErrorForCreate(bool existed);

template <class T>
HANDLE CreateNamedObject(const WCHAR* name, const std::function<std::shared_ptr<T>()>& make)
{
    bool existed = false;
    std::shared_ptr<KernelObject> object = FindOrInsertNamed(
        name, [&] { return make(); }, &existed);
    if (!std::dynamic_pointer_cast<T>(object)) {
        SetLastErrorInvalidHandle();
        return nullptr;
    }
    HANDLE handle = InsertHandle(std::move(object));
    SetLastErrorForCreate(existed);
    return handle;
}

} // namespace plat
