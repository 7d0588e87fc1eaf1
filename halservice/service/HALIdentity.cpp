#include "halservice/service/HALIdentity.h"

#include "halservice/service/HALClassIds.h"
#include "platform/base/format.h"

bool ParseHALIdentity(std::u16string_view modulePath, HALIdentity& identity)
{
    // The base name: after the last folder separator, up to the last '.'.
    size_t separator = modulePath.find_last_of(u"\\/");
    if (separator != std::u16string_view::npos) {
        std::u16string_view fileName = modulePath.substr(separator + 1);
        size_t dot = fileName.rfind(u'.');
        if (dot != std::u16string_view::npos) {
            if (dot > kMaxServiceNameChars)
                return false;
            identity.HAL_NAME.assign(fileName.substr(0, dot));
        }
    }

    size_t lastUnderscore = modulePath.rfind(u'_');
    if (lastUnderscore == std::u16string_view::npos)
        return false;
    std::u16string_view left = modulePath.substr(0, lastUnderscore);
    size_t keyUnderscore = left.rfind(u'_');
    if (keyUnderscore == std::u16string_view::npos)
        return false;

    // Fewer than four characters: the copy runs without a device key.
    identity.HALInstanceKey.clear();
    if (left.size() - (keyUnderscore + 1) >= 4)
        identity.HALInstanceKey.assign(left.substr(keyUnderscore + 1, 4));

    if (lastUnderscore + 1 >= modulePath.size())
        return false;
    WCHAR slot = modulePath[lastUnderscore + 1];
    if (slot < u'0' || slot > u'9')
        return false;
    identity.HALModuleSlot = slot - u'0';
    identity.clsid = kHALClassIds[identity.HALModuleSlot];

    WCHAR appId[64];
    plat::FormatToBuffer(appId, 64, kHALAppIdFormat, identity.HALModuleSlot);
    identity.APPID = appId;
    return true;
}
