// A store of named settings values. Each value also carries the capability
// id of the setting it belongs to, which a store may use in its keys.
#pragma once
#include "platform/twain/twain.h"

#include <string>

namespace Trellis {

class CTWAINStorage {
public:
    virtual ~CTWAINStorage() = default;
    virtual void WriteInt(const std::string& name, TW_INT32 value, TW_UINT32 capability) = 0;
    virtual TW_INT32 ReadInt(const std::string& name, TW_UINT32 capability) = 0;
    virtual void WriteBool(const std::string& name, bool value, TW_UINT32 capability) = 0;
    virtual bool ReadBool(const std::string& name, TW_UINT32 capability) = 0;
    virtual void WriteFloat(const std::string& name, float value, TW_UINT32 capability) = 0;
    virtual float ReadFloat(const std::string& name, TW_UINT32 capability) = 0;
    virtual void WriteString(const std::string& name, const std::string& value, TW_UINT32 capability) = 0;
    virtual std::string ReadString(const std::string& name, TW_UINT32 capability) = 0;
};

} // namespace Trellis
