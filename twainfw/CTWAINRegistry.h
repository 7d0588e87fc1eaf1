// Settings as the values of one registry key. Every failed call and every
// value of another type throws CTWAINStorageException; a missing value is
// such a failure. The capability ids are not used.
#pragma once
#include "platform/windows.h"
#include "twainfw/CTWAINStorage.h"

namespace Trellis {

class CTWAINRegistry : public CTWAINStorage {
public:
    explicit CTWAINRegistry(HKEY root) : m_hRoot(root) {}
    ~CTWAINRegistry() override;
    CTWAINRegistry(const CTWAINRegistry&) = delete;
    CTWAINRegistry& operator=(const CTWAINRegistry&) = delete;

    // Closes any open key, then creates or opens the path under the root.
    void Open(const std::string& path);
    // Flushes and closes the open key; nothing when none is open.
    void Close();

    void WriteInt(const std::string& name, TW_INT32 value, TW_UINT32 capability) override;
    TW_INT32 ReadInt(const std::string& name, TW_UINT32 capability) override;
    void WriteBool(const std::string& name, bool value, TW_UINT32 capability) override;
    bool ReadBool(const std::string& name, TW_UINT32 capability) override;
    void WriteFloat(const std::string& name, float value, TW_UINT32 capability) override;
    float ReadFloat(const std::string& name, TW_UINT32 capability) override;
    // REG_SZ of the characters only, without a terminating NUL.
    void WriteString(const std::string& name, const std::string& value, TW_UINT32 capability) override;
    std::string ReadString(const std::string& name, TW_UINT32 capability) override;

private:
    HKEY OpenKey() const;

    HKEY m_hRoot;
    HKEY m_hKey = nullptr;
};

} // namespace Trellis
