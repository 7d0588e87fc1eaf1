// Wire encodings of BSTR and VARIANT.
#include "platform/rpc/rpcproxy.h"

namespace plat::rpc {
namespace {

constexpr VARTYPE kByteArray = VT_ARRAY | VT_UI1;

bool IsByteVector(const SAFEARRAY* array) { return array && array->cDims == 1 && array->cbElements == 1; }

bool ReadByteArray(MessageReader& reader, SAFEARRAY*& array, LentBytes* lent)
{
    std::int32_t lowerBound = 0;
    const std::uint8_t* data = nullptr;
    std::uint32_t count = 0;
    if (!reader.ReadI32(lowerBound) || !reader.ReadSizedBytes(data, count))
        return false;
    // A copy is filled whole from the message just below.
    array = lent ? SafeArrayCreateVector(VT_UI1, lowerBound, 0) : plat::CreateByteVectorToFill(lowerBound, count);
    if (!array)
        return reader.Fail(), false;
    if (lent) {
        // The array describes the request's own bytes; the lock makes a
        // callee's attempt to destroy what it was only lent fail.
        lent->array = array;
        lent->ownData = array->pvData;
        array->pvData = const_cast<std::uint8_t*>(data);
        array->rgsabound[0].cElements = count;
        array->cLocks = 1;
    } else if (count > 0) {
        std::memcpy(array->pvData, data, count);
    }
    return true;
}

} // namespace

void WriteBstr(MessageWriter& writer, BSTR value)
{
    writer.WriteU8(value ? 1 : 0);
    if (value)
        writer.WriteSizedBytes(value, SysStringByteLen(value));
}

bool ReadBstr(MessageReader& reader, BSTR& value)
{
    value = nullptr;
    std::uint8_t present = 0;
    if (!reader.ReadU8(present) || present > 1)
        return reader.Fail(), false;
    if (!present)
        return true;
    const std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    if (!reader.ReadSizedBytes(data, size))
        return false;
    value = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(data), size);
    if (!value)
        return reader.Fail(), false;
    return true;
}

HRESULT WriteVariant(MessageWriter& writer, const VARIANT& value)
{
    // Decide first, so that a refused value leaves nothing half written.
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I4:
    case VT_BOOL:
    case VT_BSTR:
        break;
    case VT_UNKNOWN:
        if (!writer.Context())
            return DISP_E_BADVARTYPE;
        break;
    case kByteArray:
        if (value.parray && !IsByteVector(value.parray))
            return DISP_E_BADVARTYPE;
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    writer.WriteU32(value.vt);
    switch (value.vt) {
    case VT_I4:
        writer.WriteI32(value.lVal);
        break;
    case VT_BOOL:
        writer.WriteI32(value.boolVal);
        break;
    case VT_BSTR:
        WriteBstr(writer, value.bstrVal);
        break;
    case VT_UNKNOWN:
        return writer.Context()->WriteInterface(writer, IID_IUnknown, value.punkVal);
    case kByteArray:
        writer.WriteU8(value.parray ? 1 : 0);
        if (value.parray) {
            writer.WriteI32(value.parray->rgsabound[0].lLbound);
            writer.WriteSizedBytes(value.parray->pvData, value.parray->rgsabound[0].cElements);
        }
        break;
    default:
        break;
    }
    return S_OK;
}

bool ReadVariant(MessageReader& reader, VARIANT& value) { return ReadVariantLending(reader, value, nullptr); }

void LentBytes::GiveBack(VARIANT& value)
{
    if (!array)
        return;
    if ((value.vt & VT_ARRAY) && value.parray == array) {
        value.vt = VT_EMPTY;
        value.parray = nullptr;
    }
    array->pvData = ownData;
    array->rgsabound[0].cElements = 0;
    array->cLocks = 0; // ours, and any a callee forgot
    SafeArrayDestroy(array);
    array = nullptr;
}

bool ReadVariantLending(MessageReader& reader, VARIANT& value, LentBytes* lent)
{
    std::uint32_t type = 0;
    if (!reader.ReadU32(type))
        return false;
    switch (type) {
    case VT_EMPTY:
    case VT_NULL:
        value.vt = static_cast<VARTYPE>(type);
        return true;
    case VT_I4: {
        std::int32_t number = 0;
        if (!reader.ReadI32(number))
            return false;
        value.vt = VT_I4;
        value.lVal = number;
        return true;
    }
    case VT_BOOL: {
        std::int32_t flag = 0;
        if (!reader.ReadI32(flag))
            return false;
        value.vt = VT_BOOL;
        value.boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return true;
    }
    case VT_BSTR: {
        BSTR text = nullptr;
        if (!ReadBstr(reader, text))
            return false;
        value.vt = VT_BSTR;
        value.bstrVal = text;
        return true;
    }
    case VT_UNKNOWN: {
        IUnknown* object = nullptr;
        if (!reader.Context() ||
            FAILED(reader.Context()->ReadInterface(reader, IID_IUnknown, reinterpret_cast<void**>(&object))))
            return reader.Fail(), false;
        value.vt = VT_UNKNOWN;
        value.punkVal = object;
        return true;
    }
    case kByteArray: {
        std::uint8_t present = 0;
        if (!reader.ReadU8(present) || present > 1)
            return reader.Fail(), false;
        SAFEARRAY* array = nullptr;
        if (present && !ReadByteArray(reader, array, lent))
            return false;
        value.vt = kByteArray;
        value.parray = array;
        return true;
    }
    default:
        return reader.Fail(), false;
    }
}

bool ReadVariantInPlace(MessageReader& reader, VARIANT& target)
{
    VARIANT fresh;
    VariantInit(&fresh);
    if (!ReadVariant(reader, fresh))
        return false;
    SAFEARRAY* mine = target.vt == kByteArray ? target.parray : nullptr;
    SAFEARRAY* theirs = fresh.vt == kByteArray ? fresh.parray : nullptr;
    if (IsByteVector(mine) && theirs && mine->rgsabound[0].cElements == theirs->rgsabound[0].cElements) {
        if (theirs->rgsabound[0].cElements > 0)
            std::memcpy(mine->pvData, theirs->pvData, theirs->rgsabound[0].cElements);
        VariantClear(&fresh);
        return true;
    }
    VariantClear(&target);
    target = fresh;
    return true;
}

} // namespace plat::rpc
