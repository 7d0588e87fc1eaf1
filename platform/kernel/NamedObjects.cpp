#include "platform/kernel/NamedObjects.h"
#include "platform/base/lasterror.h"
#include "platform/base/winerror.h"

#include <map>
#include <mutex>
#include <string>

namespace plat {

namespace {

// An entry lives as long as its object.
struct Names {
    std::mutex mutex;
    std::map<std::u16string, std::weak_ptr<KernelObject>> objects;
};

Names& TheNames()
{
    static Names* names = new Names;
    return *names;
}

} // namespace

std::shared_ptr<KernelObject> FindOrInsertNamed(const WCHAR* name,
                                                const std::function<std::shared_ptr<KernelObject>()>& make,
                                                bool* existed)
{
    *existed = false;
    if (!name || !*name)
        return make();
    Names& names = TheNames();
    std::lock_guard lock(names.mutex);
    // Names of objects that are gone are free again.
    std::erase_if(names.objects, [](const auto& named) { return named.second.expired(); });
    std::weak_ptr<KernelObject>& entry = names.objects[std::u16string(name)];
    if (std::shared_ptr<KernelObject> existing = entry.lock()) {
        *existed = true;
        return existing;
    }
    std::shared_ptr<KernelObject> object = make();
    entry = object;
    return object;
}

void SetLastErrorForCreate(bool existed) { SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS); }

} // namespace plat
