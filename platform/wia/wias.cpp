#include "platform/wia/wiamindr.h"
#include "platform/wia/wiaminidrv.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/taskmem.h"
#include "platform/wia/WiaItem.h"

#include <algorithm>
#include <vector>

using plat::wia::ItemProperty;
using plat::wia::WiaItem;

namespace {

WiaItem* ItemOf(BYTE* pWiasContext) { return WiaItem::FromContext(pWiasContext); }

// The property to read: E_INVALIDARG when it must exist, S_FALSE when not.
HRESULT FindForRead(BYTE* pWiasContext, PROPID propid, BOOL bMustExist, ItemProperty** found)
{
    *found = nullptr;
    WiaItem* item = ItemOf(pWiasContext);
    if (!item)
        return E_INVALIDARG;
    *found = item->Find(propid);
    if (!*found)
        return bMustExist ? E_INVALIDARG : S_FALSE;
    return S_OK;
}

bool IsLong(const PROPVARIANT& value) { return value.vt == VT_I4 || value.vt == VT_UI4; }

HRESULT WriteValue(BYTE* pWiasContext, PROPID propid, const PROPVARIANT& value)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item)
        return E_INVALIDARG;
    ItemProperty* property = item->Find(propid);
    if (!property || !property->AcceptsType(value.vt))
        return E_INVALIDARG;
    return property->value.Assign(value);
}

// The property whose valid values are set: it must hold a value of `type`
// (or none yet).
ItemProperty* FindForValidValues(BYTE* pWiasContext, PROPID propid, VARTYPE type)
{
    WiaItem* item = ItemOf(pWiasContext);
    ItemProperty* property = item ? item->Find(propid) : nullptr;
    if (!property || !property->AcceptsType(type))
        return nullptr;
    property->hasAttributes = true;
    property->vt = type;
    property->accessFlags &= ~(WIA_PROP_NONE | WIA_PROP_RANGE | WIA_PROP_LIST | WIA_PROP_FLAG);
    return property;
}

int ContextIndex(const WIA_PROPERTY_CONTEXT* pContext, PROPID propid)
{
    if (!pContext || !pContext->pProps)
        return -1;
    for (ULONG i = 0; i < pContext->cProps; ++i) {
        if (pContext->pProps[i] == propid)
            return static_cast<int>(i);
    }
    return -1;
}

// Properties whose change others follow, always part of a property context.
constexpr PROPID kDependedOn[] = {
    WIA_IPS_CUR_INTENT, WIA_IPA_DATATYPE, WIA_IPA_DEPTH,   WIA_IPS_XRES,   WIA_IPS_YRES,  WIA_IPS_XPOS,
    WIA_IPS_YPOS,       WIA_IPS_XEXTENT,  WIA_IPS_YEXTENT, WIA_IPA_FORMAT, WIA_IPA_TYMED,
};

} // namespace

HRESULT wiasGetItemType(BYTE* pWiasContext, LONG* plType)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || !plType)
        return E_INVALIDARG;
    *plType = item->ItemType();
    return S_OK;
}

HRESULT wiasGetRootItem(BYTE* pWiasContext, BYTE** ppWiasContext)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || !ppWiasContext)
        return E_INVALIDARG;
    *ppWiasContext = item->Root()->Context();
    return S_OK;
}

HRESULT wiasGetDrvItem(BYTE* pWiasContext, IWiaDrvItem** ppIWiaDrvItem)
{
    if (!ppIWiaDrvItem)
        return E_INVALIDARG;
    WiaItem* item = ItemOf(pWiasContext);
    *ppIWiaDrvItem = item ? item->DrvItem() : nullptr;
    return *ppIWiaDrvItem ? S_OK : E_INVALIDARG;
}

HRESULT wiasSetItemPropNames(BYTE* pWiasContext, LONG cItemProps, PROPID* ppId, LPOLESTR* ppszNames)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || cItemProps < 0 || (cItemProps > 0 && (!ppId || !ppszNames)))
        return E_INVALIDARG;
    for (LONG i = 0; i < cItemProps; ++i) {
        if (!ppszNames[i])
            return E_INVALIDARG;
    }
    for (LONG i = 0; i < cItemProps; ++i)
        item->SetName(ppId[i], ppszNames[i]);
    return S_OK;
}

HRESULT wiasWriteMultiple(BYTE* pWiasContext, ULONG ulCount, PROPSPEC* ps, PROPVARIANT* pv)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || (ulCount != 0 && (!ps || !pv)))
        return E_INVALIDARG;
    // All or nothing: every property is checked before any is written.
    for (ULONG i = 0; i < ulCount; ++i) {
        ItemProperty* property = item->Find(ps[i]);
        if (!property || !property->AcceptsType(pv[i].vt))
            return E_INVALIDARG;
    }
    std::vector<plat::wia::PropValue> copies(ulCount);
    for (ULONG i = 0; i < ulCount; ++i) {
        HRESULT hr = copies[i].Assign(pv[i]);
        if (FAILED(hr))
            return hr;
    }
    for (ULONG i = 0; i < ulCount; ++i)
        item->Find(ps[i])->value = copies[i];
    return S_OK;
}

HRESULT wiasSetItemPropAttribs(BYTE* pWiasContext, LONG cPropSpec, PROPSPEC* pPropSpec, PWIA_PROPERTY_INFO pwpi)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || cPropSpec < 0 || (cPropSpec > 0 && (!pPropSpec || !pwpi)))
        return E_INVALIDARG;
    for (LONG i = 0; i < cPropSpec; ++i) {
        const WIA_PROPERTY_INFO& info = pwpi[i];
        ItemProperty* property = item->Find(pPropSpec[i]);
        if (!property || !property->AcceptsType(info.vt))
            return E_INVALIDARG;
        if (info.lAccessFlags & WIA_PROP_LIST) {
            LONG count = info.vt == VT_CLSID ? info.ValidVal.ListGuid.cNumList : info.ValidVal.List.cNumList;
            const void* list = info.vt == VT_CLSID ? static_cast<const void*>(info.ValidVal.ListGuid.pList)
                                                   : static_cast<const void*>(info.ValidVal.List.pList);
            if (count < 0 || (count > 0 && !list))
                return E_INVALIDARG;
        }
    }
    for (LONG i = 0; i < cPropSpec; ++i) {
        const WIA_PROPERTY_INFO& info = pwpi[i];
        ItemProperty& property = *item->Find(pPropSpec[i]);
        property.hasAttributes = true;
        property.accessFlags = info.lAccessFlags;
        property.vt = info.vt;
        if (info.lAccessFlags & WIA_PROP_RANGE) {
            property.rangeMin = info.ValidVal.Range.Min;
            property.rangeNom = info.ValidVal.Range.Nom;
            property.rangeMax = info.ValidVal.Range.Max;
            property.rangeInc = info.ValidVal.Range.Inc;
        } else if ((info.lAccessFlags & WIA_PROP_LIST) && info.vt == VT_CLSID) {
            property.guidNom = info.ValidVal.ListGuid.Nom;
            const GUID* list = info.ValidVal.ListGuid.pList;
            property.listGuid.assign(list, list + info.ValidVal.ListGuid.cNumList);
        } else if (info.lAccessFlags & WIA_PROP_LIST) {
            property.listNom = info.ValidVal.List.Nom;
            const LONG* list = reinterpret_cast<const LONG*>(info.ValidVal.List.pList);
            property.listLong.assign(list, list + info.ValidVal.List.cNumList);
        } else if (info.lAccessFlags & WIA_PROP_FLAG) {
            property.flagNom = info.ValidVal.Flag.Nom;
            property.flagValidBits = info.ValidVal.Flag.ValidBits;
        }
    }
    return S_OK;
}

HRESULT wiasReadMultiple(BYTE* pWiasContext, ULONG ulCount, const PROPSPEC* ps, PROPVARIANT* pv, PROPVARIANT* pvOld)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || (ulCount != 0 && (!ps || !pv)))
        return E_INVALIDARG;
    for (ULONG i = 0; i < ulCount; ++i) {
        if (!item->Find(ps[i]))
            return E_INVALIDARG;
    }
    for (ULONG i = 0; i < ulCount; ++i) {
        ItemProperty* property = item->Find(ps[i]);
        HRESULT hr = PropVariantCopy(&pv[i], &property->value.Get());
        if (SUCCEEDED(hr) && pvOld)
            hr = PropVariantCopy(&pvOld[i], &property->OldOrCurrent());
        if (FAILED(hr)) {
            FreePropVariantArray(i + 1, pv);
            if (pvOld)
                FreePropVariantArray(i, pvOld);
            return hr;
        }
    }
    return S_OK;
}

HRESULT wiasReadPropLong(BYTE* pWiasContext, PROPID propid, LONG* plVal, LONG* plValOld, BOOL bMustExist)
{
    if (!plVal)
        return E_INVALIDARG;
    ItemProperty* property = nullptr;
    HRESULT hr = FindForRead(pWiasContext, propid, bMustExist, &property);
    if (hr != S_OK)
        return hr;
    if (!IsLong(property->value.Get()))
        return E_INVALIDARG;
    *plVal = property->value.Get().lVal;
    if (plValOld)
        *plValOld = IsLong(property->OldOrCurrent()) ? property->OldOrCurrent().lVal : *plVal;
    return S_OK;
}

HRESULT wiasWritePropLong(BYTE* pWiasContext, PROPID propid, LONG lVal)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_I4;
    value.lVal = lVal;
    return WriteValue(pWiasContext, propid, value);
}

HRESULT wiasReadPropStr(BYTE* pWiasContext, PROPID propid, BSTR* pbstr, BSTR* pbstrOld, BOOL bMustExist)
{
    if (!pbstr)
        return E_INVALIDARG;
    *pbstr = nullptr;
    if (pbstrOld)
        *pbstrOld = nullptr;
    ItemProperty* property = nullptr;
    HRESULT hr = FindForRead(pWiasContext, propid, bMustExist, &property);
    if (hr != S_OK)
        return hr;
    const PROPVARIANT& current = property->value.Get();
    if (current.vt != VT_BSTR)
        return E_INVALIDARG;
    const PROPVARIANT& old = property->OldOrCurrent().vt == VT_BSTR ? property->OldOrCurrent() : current;
    *pbstr = SysAllocStringLen(current.bstrVal, SysStringLen(current.bstrVal));
    if (pbstrOld)
        *pbstrOld = SysAllocStringLen(old.bstrVal, SysStringLen(old.bstrVal));
    if (!*pbstr || (pbstrOld && !*pbstrOld)) {
        SysFreeString(*pbstr);
        *pbstr = nullptr;
        if (pbstrOld) {
            SysFreeString(*pbstrOld);
            *pbstrOld = nullptr;
        }
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT wiasWritePropStr(BYTE* pWiasContext, PROPID propid, BSTR bstr)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = bstr;
    return WriteValue(pWiasContext, propid, value);
}

HRESULT wiasReadPropGuid(BYTE* pWiasContext, PROPID propid, GUID* pguidVal, GUID* pguidValOld, BOOL bMustExist)
{
    if (!pguidVal)
        return E_INVALIDARG;
    ItemProperty* property = nullptr;
    HRESULT hr = FindForRead(pWiasContext, propid, bMustExist, &property);
    if (hr != S_OK)
        return hr;
    const PROPVARIANT& current = property->value.Get();
    if (current.vt != VT_CLSID || !current.puuid)
        return E_INVALIDARG;
    *pguidVal = *current.puuid;
    if (pguidValOld) {
        const PROPVARIANT& old = property->OldOrCurrent();
        *pguidValOld = old.vt == VT_CLSID && old.puuid ? *old.puuid : *current.puuid;
    }
    return S_OK;
}

HRESULT wiasWritePropGuid(BYTE* pWiasContext, PROPID propid, GUID guidVal)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_CLSID;
    value.puuid = &guidVal;
    return WriteValue(pWiasContext, propid, value);
}

HRESULT wiasSetValidRangeLong(BYTE* pWiasContext, PROPID propid, LONG lMin, LONG lNom, LONG lMax, LONG lStep)
{
    if (lMin > lMax)
        return E_INVALIDARG;
    ItemProperty* property = FindForValidValues(pWiasContext, propid, VT_I4);
    if (!property)
        return E_INVALIDARG;
    property->accessFlags |= WIA_PROP_RANGE;
    property->rangeMin = lMin;
    property->rangeNom = lNom;
    property->rangeMax = lMax;
    property->rangeInc = lStep;
    return S_OK;
}

HRESULT wiasSetValidListLong(BYTE* pWiasContext, PROPID propid, ULONG ulCount, LONG lNom, LONG* plValues)
{
    if (ulCount != 0 && !plValues)
        return E_INVALIDARG;
    ItemProperty* property = FindForValidValues(pWiasContext, propid, VT_I4);
    if (!property)
        return E_INVALIDARG;
    property->accessFlags |= WIA_PROP_LIST;
    property->listNom = lNom;
    property->listLong.assign(plValues, plValues + ulCount);
    return S_OK;
}

HRESULT wiasSetValidListGuid(BYTE* pWiasContext, PROPID propid, ULONG ulCount, GUID guidNom, GUID* pguidValues)
{
    if (ulCount != 0 && !pguidValues)
        return E_INVALIDARG;
    ItemProperty* property = FindForValidValues(pWiasContext, propid, VT_CLSID);
    if (!property)
        return E_INVALIDARG;
    property->accessFlags |= WIA_PROP_LIST;
    property->guidNom = guidNom;
    property->listGuid.assign(pguidValues, pguidValues + ulCount);
    return S_OK;
}

HRESULT wiasSetValidFlag(BYTE* pWiasContext, PROPID propid, ULONG ulNom, ULONG ulValidBits)
{
    ItemProperty* property = FindForValidValues(pWiasContext, propid, VT_I4);
    if (!property)
        return E_INVALIDARG;
    property->accessFlags |= WIA_PROP_FLAG;
    property->flagNom = static_cast<LONG>(ulNom);
    property->flagValidBits = static_cast<LONG>(ulValidBits);
    return S_OK;
}

HRESULT wiasValidateItemProperties(BYTE* pWiasContext, ULONG nPropSpec, const PROPSPEC* pPropSpec)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || (nPropSpec != 0 && !pPropSpec))
        return E_INVALIDARG;
    for (ULONG i = 0; i < nPropSpec; ++i) {
        ItemProperty* property = item->Find(pPropSpec[i]);
        if (!property || !property->CurrentValueIsValid())
            return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT wiasCreatePropContext(ULONG cPropSpec, PROPSPEC* pPropSpec, ULONG cProps, PROPID* pProps,
                              WIA_PROPERTY_CONTEXT* pContext)
{
    if (!pContext || (cPropSpec != 0 && !pPropSpec) || (cProps != 0 && !pProps))
        return E_INVALIDARG;
    pContext->cProps = 0;
    pContext->pProps = nullptr;
    pContext->pChanged = nullptr;
    std::vector<PROPID> ids;
    std::vector<BOOL> changed;
    auto add = [&](PROPID id, BOOL isChanged) {
        auto found = std::find(ids.begin(), ids.end(), id);
        if (found == ids.end()) {
            ids.push_back(id);
            changed.push_back(isChanged);
        } else if (isChanged) {
            changed[found - ids.begin()] = TRUE;
        }
    };
    for (ULONG i = 0; i < cPropSpec; ++i) {
        if (pPropSpec[i].ulKind != PRSPEC_PROPID)
            return E_INVALIDARG;
        add(pPropSpec[i].propid, TRUE);
    }
    for (ULONG i = 0; i < cProps; ++i)
        add(pProps[i], FALSE);
    for (PROPID id : kDependedOn)
        add(id, FALSE);

    auto* idArray = static_cast<PROPID*>(CoTaskMemAlloc(ids.size() * sizeof(PROPID)));
    auto* changedArray = static_cast<BOOL*>(CoTaskMemAlloc(ids.size() * sizeof(BOOL)));
    if (!idArray || !changedArray) {
        CoTaskMemFree(idArray);
        CoTaskMemFree(changedArray);
        return E_OUTOFMEMORY;
    }
    std::copy(ids.begin(), ids.end(), idArray);
    std::copy(changed.begin(), changed.end(), changedArray);
    pContext->cProps = static_cast<ULONG>(ids.size());
    pContext->pProps = idArray;
    pContext->pChanged = changedArray;
    return S_OK;
}

HRESULT wiasFreePropContext(WIA_PROPERTY_CONTEXT* pContext)
{
    if (!pContext)
        return E_INVALIDARG;
    CoTaskMemFree(pContext->pProps);
    CoTaskMemFree(pContext->pChanged);
    pContext->cProps = 0;
    pContext->pProps = nullptr;
    pContext->pChanged = nullptr;
    return S_OK;
}

HRESULT wiasIsPropChanged(PROPID propid, WIA_PROPERTY_CONTEXT* pContext, BOOL* pbChanged)
{
    int index = ContextIndex(pContext, propid);
    if (index < 0 || !pbChanged || !pContext->pChanged)
        return E_INVALIDARG;
    *pbChanged = pContext->pChanged[index];
    return S_OK;
}

HRESULT wiasSetPropChanged(PROPID propid, WIA_PROPERTY_CONTEXT* pContext, BOOL bChanged)
{
    int index = ContextIndex(pContext, propid);
    if (index < 0 || !pContext->pChanged)
        return E_INVALIDARG;
    pContext->pChanged[index] = bChanged;
    return S_OK;
}

HRESULT wiasGetChangedValueLong(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, BOOL bNoValidation, PROPID propID,
                                WIAS_CHANGED_VALUE_INFO* pInfo)
{
    WiaItem* item = ItemOf(pWiasContext);
    if (!item || !pInfo)
        return E_INVALIDARG;
    BOOL changed = FALSE;
    HRESULT hr = wiasIsPropChanged(propID, pContext, &changed);
    if (FAILED(hr))
        return hr;
    LONG current = 0;
    LONG old = 0;
    hr = wiasReadPropLong(pWiasContext, propID, &current, &old, TRUE);
    if (FAILED(hr))
        return hr;
    if (changed && !bNoValidation && !item->Find(propID)->CurrentValueIsValid())
        return E_INVALIDARG;
    pInfo->bChanged = changed;
    pInfo->vt = VT_I4;
    pInfo->Old.lVal = old;
    pInfo->Current.lVal = current;
    return S_OK;
}
