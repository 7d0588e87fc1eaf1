#include "coinst/FirmwareUpdate.h"

#include "coinst/CoInstaller.h"
#include "coinst/CoInstallerLog.h"
#include "coinst/DeviceKey.h"
#include "platform/windows.h"

#include <cstring>
#include <optional>

namespace coinst {

namespace {

constexpr size_t kVersionBytes = 5;

// The standard decimal text-to-integer reading: leading blanks and a sign,
// digits up to the first other character, 0 without digits. Saturates
// instead of overflowing.
long ReadDecimal(const std::u16string& text, size_t from)
{
    size_t i = from;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (value < 100000000)
            value = value * 10 + (text[i] - u'0');
    }
    return negative ? -value : value;
}

// A SAFEARRAY of VT_UI1 with `length` bytes, holding a copy of `data` when given.
SAFEARRAY* ByteArray(const BYTE* data, DWORD length)
{
    SAFEARRAY* array = data ? plat::CreateByteVectorToFill(0, length) : SafeArrayCreateVector(VT_UI1, 0, length);
    if (!array || !data)
        return array;
    void* bytes = nullptr;
    if (FAILED(SafeArrayAccessData(array, &bytes))) {
        SafeArrayDestroy(array);
        return nullptr;
    }
    std::memcpy(bytes, data, length);
    SafeArrayUnaccessData(array);
    return array;
}

} // namespace

bool HalControl2(IRNXHALS* hal, LONG code, const BYTE* input, DWORD inLength, BYTE* output, DWORD outLength)
{
    BSTR xml = SysAllocString(u"");
    if (!xml)
        return false;
    const bool withInput = input && inLength;
    const bool withOutput = output && outLength;
    SAFEARRAY* inArray = ByteArray(withInput ? input : nullptr, withInput ? inLength : 2);
    SAFEARRAY* outArray = ByteArray(nullptr, withOutput ? outLength : 2);
    VARIANT in;
    VARIANT out;
    VariantInit(&in);
    VariantInit(&out);
    bool result = false;
    SAFEARRAY* inCopy = nullptr;
    SAFEARRAY* outCopy = nullptr;
    if (inArray && SUCCEEDED(SafeArrayCopy(inArray, &inCopy)) && inCopy) {
        in.vt = VT_ARRAY | VT_UI1;
        in.parray = inCopy;
    }
    if (outArray && SUCCEEDED(SafeArrayCopy(outArray, &outCopy)) && outCopy) {
        out.vt = VT_ARRAY | VT_UI1;
        out.parray = outCopy;
    }
    if (in.vt != VT_EMPTY && out.vt != VT_EMPTY) {
        const HRESULT hr = hal->Control2(code, &xml, &in, &out);
        if (hr == S_OK) {
            result = true;
            if (withOutput) {
                // The answer must be a byte array at least as long as asked for.
                void* bytes = nullptr;
                if (out.vt == (VT_ARRAY | VT_UI1) && out.parray && SafeArrayGetDim(out.parray) == 1 &&
                    out.parray->rgsabound[0].cElements >= outLength &&
                    SUCCEEDED(SafeArrayAccessData(out.parray, &bytes))) {
                    std::memcpy(output, bytes, outLength);
                    SafeArrayUnaccessData(out.parray);
                } else {
                    result = false;
                }
            }
        }
    }
    VariantClear(&in);
    VariantClear(&out);
    if (inArray)
        SafeArrayDestroy(inArray);
    if (outArray)
        SafeArrayDestroy(outArray);
    SysFreeString(xml);
    return result;
}

bool VersionNeedsUpgrade(const std::u16string& version)
{
    if (version.size() >= 2 && version[0] == u'T' && version[1] == u'.' && ReadDecimal(version, 2) < 55)
        return true;
    if (version.empty())
        return false;
    size_t separator = std::u16string::npos;
    for (size_t i = 0; i < version.size(); ++i) {
        if (version[i] == u'.' && separator == std::u16string::npos)
            separator = i;
        else if (version[i] < u'0' || version[i] > u'9')
            return false;
    }
    if (separator == std::u16string::npos || separator == 0 || separator + 1 >= version.size())
        return false;
    const long major = ReadDecimal(version, 0);
    const long minor = ReadDecimal(version, separator + 1);
    return major == 1 && minor < 1;
}

void UpdateFirmware(IRNXHALS* hal)
{
    LONG status = -1;
    // A failing Initialize leaves no session to close; one that
    // answers with a status other than 0 does.
    if (hal->Initialize(&status) == S_OK) {
        if (status == 0 && hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status) == S_OK && status == 0) {
            BYTE version[kVersionBytes] = {};
            if (HalControl2(hal, HCC_GET_FIRMWARE_VERSION, nullptr, 0, version, kVersionBytes)) {
                version[kVersionBytes - 1] = 0; // a scanner answering without terminator stays in bounds
                std::u16string text;
                for (size_t i = 0; i < kVersionBytes && version[i]; ++i)
                    text += static_cast<char16_t>(version[i]);
                CoInstallerLog(u"Firmware detected %s\n", text.c_str());
                if (VersionNeedsUpgrade(text)) {
                    CoInstallerLog(u"Attempting upgrade to T.55\n");
                    HMODULE module = ModuleHandle();
                    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kFirmwareResourceId), u"BINARY");
                    if (!resource) {
                        CoInstallerLog(u"Unable to find the firmware resource\n");
                    } else if (HGLOBAL loaded = LoadResource(module, resource); !loaded) {
                        CoInstallerLog(u"LoadResource failed\n");
                    } else {
                        const BYTE* image = static_cast<const BYTE*>(LockResource(loaded));
                        if (!image) {
                            CoInstallerLog(u"NULL data pointer\n");
                        } else if (SizeofResource(module, resource) < kFirmwareImageSize) {
                            // Never read past a short image.
                            CoInstallerLog(u"NULL data pointer\n");
                        } else {
                            CoInstallerLog(u"Dispatching Firmware to HAL\n");
                            HalControl2(hal, HCC_DOWNLOAD_FIRMWARE, image, kFirmwareImageSize, nullptr, 0);
                        }
                        FreeResource(loaded);
                    }
                }
            }
            hal->UnlockScanner(&status);
        }
        hal->Uninitialize();
    }
}

bool HandleFirmwareUpdate(const std::u16string& driverKey, const std::u16string& /*deviceInstanceId*/)
{
    CoInstallerLog(u"HandleFirmwareUpdate Enter\n");
    ScopedKey key(OpenDeviceClassKey(driverKey, KEY_READ));
    const std::optional<std::u16string> clsidText = key ? ReadDeviceString(key.get(), u"HAL_CLSID") : std::nullopt;
    if (clsidText) {
        // Only an entry of our own is left again: a thread already in
        // another apartment model keeps its state.
        const bool comEntered = SUCCEEDED(CoInitialize(nullptr));
        CLSID clsid = {};
        CLSIDFromString(clsidText->c_str(), &clsid);
        IRNXHALS* hal = nullptr;
        if (CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IRNXHALS, reinterpret_cast<void**>(&hal)) ==
                S_OK &&
            hal) {
            UpdateFirmware(hal);
            hal->Release();
        }
        if (comEntered)
            CoUninitialize();
    }
    key.Close();
    CoInstallerLog(u"HandleFirmwareUpdate Exit\n");
    return false;
}

} // namespace coinst
