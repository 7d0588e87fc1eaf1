// The service functions a still-image driver calls on an item's properties.
// pWiasContext is the item's context as the service passes it. Unknown
// properties, values of another type than the property's and null arguments
// give E_INVALIDARG; a read of a missing property that need not exist gives
// S_FALSE.
#pragma once

#include "platform/wia/wiadef.h"

HRESULT wiasGetItemType(BYTE* pWiasContext, LONG* plType);
HRESULT wiasGetRootItem(BYTE* pWiasContext, BYTE** ppWiasContext);

HRESULT wiasSetItemPropNames(BYTE* pWiasContext, LONG cItemProps, PROPID* ppId, LPOLESTR* ppszNames);
HRESULT wiasWriteMultiple(BYTE* pWiasContext, ULONG ulCount, PROPSPEC* ps, PROPVARIANT* pv);
HRESULT wiasSetItemPropAttribs(BYTE* pWiasContext, LONG cPropSpec, PROPSPEC* pPropSpec, PWIA_PROPERTY_INFO pwpi);
// Copies of the values; the caller frees them with FreePropVariantArray.
HRESULT wiasReadMultiple(BYTE* pWiasContext, ULONG ulCount, const PROPSPEC* ps, PROPVARIANT* pv, PROPVARIANT* pvOld);

HRESULT wiasReadPropLong(BYTE* pWiasContext, PROPID propid, LONG* plVal, LONG* plValOld, BOOL bMustExist);
HRESULT wiasWritePropLong(BYTE* pWiasContext, PROPID propid, LONG lVal);
// The strings are new BSTRs the caller frees.
HRESULT wiasReadPropStr(BYTE* pWiasContext, PROPID propid, BSTR* pbstr, BSTR* pbstrOld, BOOL bMustExist);
HRESULT wiasWritePropStr(BYTE* pWiasContext, PROPID propid, BSTR bstr);
HRESULT wiasReadPropGuid(BYTE* pWiasContext, PROPID propid, GUID* pguidVal, GUID* pguidValOld, BOOL bMustExist);
HRESULT wiasWritePropGuid(BYTE* pWiasContext, PROPID propid, GUID guidVal);

// Valid values; each also sets the property's kind (range, list, flag).
HRESULT wiasSetValidRangeLong(BYTE* pWiasContext, PROPID propid, LONG lMin, LONG lNom, LONG lMax, LONG lStep);
HRESULT wiasSetValidListLong(BYTE* pWiasContext, PROPID propid, ULONG ulCount, LONG lNom, LONG* plValues);
HRESULT wiasSetValidListGuid(BYTE* pWiasContext, PROPID propid, ULONG ulCount, GUID guidNom, GUID* pguidValues);
HRESULT wiasSetValidFlag(BYTE* pWiasContext, PROPID propid, ULONG ulNom, ULONG ulValidBits);

// Checks the current values of the given properties against their valid
// values: E_INVALIDARG at the first that lies outside them.
HRESULT wiasValidateItemProperties(BYTE* pWiasContext, ULONG nPropSpec, const PROPSPEC* pPropSpec);

// A property context: the properties of pPropSpec (marked changed), those of
// pProps, and the standard properties others depend on (intent, data type,
// depth, resolutions, scan rectangle, format, media type), each once.
// Properties must be named by id. Freed with wiasFreePropContext.
HRESULT wiasCreatePropContext(ULONG cPropSpec, PROPSPEC* pPropSpec, ULONG cProps, PROPID* pProps,
                              WIA_PROPERTY_CONTEXT* pContext);
HRESULT wiasFreePropContext(WIA_PROPERTY_CONTEXT* pContext);
// E_INVALIDARG for a property that is not in the context.
HRESULT wiasIsPropChanged(PROPID propid, WIA_PROPERTY_CONTEXT* pContext, BOOL* pbChanged);
HRESULT wiasSetPropChanged(PROPID propid, WIA_PROPERTY_CONTEXT* pContext, BOOL bChanged);
// Old and current value of a long property and whether it changed; a
// changed value is checked against its valid values unless bNoValidation.
HRESULT wiasGetChangedValueLong(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext, BOOL bNoValidation, PROPID propID,
                                WIAS_CHANGED_VALUE_INFO* pInfo);
