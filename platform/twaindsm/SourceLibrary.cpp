#include "platform/twaindsm/SourceLibrary.h"

#include <dlfcn.h>

namespace twaindsm {

bool SourceLibrary::Load(const std::string& path)
{
    Unload();
    m_handle = dlopen(path.c_str(), RTLD_LAZY);
    if (!m_handle)
        return false;
    m_entry = reinterpret_cast<DSENTRYPROC>(dlsym(m_handle, "DS_Entry"));
    if (!m_entry)
        Unload();
    return m_entry != nullptr;
}

void SourceLibrary::Unload()
{
    m_entry = nullptr;
    if (m_handle)
        dlclose(m_handle);
    m_handle = nullptr;
}

} // namespace twaindsm
