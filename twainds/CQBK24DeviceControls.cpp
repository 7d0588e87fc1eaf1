// Numbered device controls of the hardware service, with byte arrays in and out.
#include "twainds/CQBK24DataSource.h"

#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/oleauto/ScopedVariant.h"

#include <cstring>

namespace {

constexpr LONG HCC_READ_SUPPORT_INFO = 9;
constexpr LONG HCC_GET_COUNTER = 10;
constexpr LONG HCC_GET_FIRMWARE_VERSION = 11;
// The size of the array passed where a control takes or gives no data.
constexpr ULONG kPlaceholderSize = 2;

// A byte array wrapped in a VARIANT, with a copy of `data` when given.
void MakeByteArrayVariant(plat::ScopedVariant& variant, const BYTE* data, DWORD size)
{
    SAFEARRAY* array = data ? plat::CreateByteVectorToFill(0, size) : SafeArrayCreateVector(VT_UI1, 0, size);
    if (!array)
        _com_issue_error(E_OUTOFMEMORY);
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = array;
    variant.Reset(value);
    if (data) {
        plat::SafeArrayAccess access(array);
        if (!access.Data())
            _com_issue_error(access.Result());
        std::memcpy(access.Data(), data, size);
    }
}

} // namespace

bool CQBK24DataSource::SendDeviceControl(LONG code, const BYTE* input, DWORD inputSize, BYTE* output, DWORD outputSize)
{
    if (!Hal)
        return false;
    plat::ScopedBstr xml(u"");
    plat::ScopedVariant in;
    plat::ScopedVariant out;
    if (input && inputSize)
        MakeByteArrayVariant(in, input, inputSize);
    else
        MakeByteArrayVariant(in, nullptr, kPlaceholderSize);
    const bool wantsOutput = output && outputSize;
    MakeByteArrayVariant(out, nullptr, wantsOutput ? outputSize : kPlaceholderSize);

    BSTR text = xml.Release();
    HRESULT hr = Hal->Control2(code, &text, in.Get(), out.Get());
    xml.Reset(text); // the text may have been replaced by the service
    if (FAILED(hr))
        _com_issue_error(hr);
    if (hr != S_OK)
        return false;
    if (wantsOutput) {
        // The service may answer with an array of its own: only what it holds
        // is copied, and the rest of the buffer is left as it was.
        if (out->vt != (VT_ARRAY | VT_UI1) || !out->parray)
            return false;
        plat::SafeArrayAccess access(out->parray);
        if (!access.Data())
            return false;
        LONG lower = 0;
        LONG upper = -1;
        SafeArrayGetLBound(out->parray, 1, &lower);
        SafeArrayGetUBound(out->parray, 1, &upper);
        const LONG held = upper - lower + 1;
        if (held < static_cast<LONG>(outputSize))
            return false;
        std::memcpy(output, access.Data(), outputSize);
    }
    return true;
}

void CQBK24DataSource::ReadDeviceInfo()
{
    SendDeviceControl(HCC_READ_SUPPORT_INFO, nullptr, 0, SupportInfo, sizeof(SupportInfo));
    SendDeviceControl(HCC_GET_COUNTER, nullptr, 0, Counters, sizeof(Counters));
    SendDeviceControl(HCC_GET_FIRMWARE_VERSION, nullptr, 0, FirmwareRevision, sizeof(FirmwareRevision));
}
