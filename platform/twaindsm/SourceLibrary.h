// One loaded data-source library and its entry; unloaded when it goes.
#pragma once

#include "platform/twain/twain.h"

#include <string>

namespace twaindsm {

class SourceLibrary {
public:
    SourceLibrary() = default;
    ~SourceLibrary() { Unload(); }
    SourceLibrary(const SourceLibrary&) = delete;
    SourceLibrary& operator=(const SourceLibrary&) = delete;

    // dlopen with RTLD_LAZY and dlsym "DS_Entry"; false (and nothing kept)
    // when either fails.
    bool Load(const std::string& path);
    void Unload();
    bool Loaded() const { return m_entry != nullptr; }

    TW_UINT16 Call(pTW_IDENTITY origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) const
    {
        return m_entry(origin, dg, dat, msg, data);
    }

private:
    void* m_handle = nullptr;
    DSENTRYPROC m_entry = nullptr;
};

} // namespace twaindsm
