// BSTR: a UTF-16 string preceded by its length in bytes (4 bytes) and
// followed by a null character. A null BSTR is read as the empty string.
#pragma once

#include "platform/base/wintypes.h"

// Null for a null argument or when memory runs out.
BSTR SysAllocString(const OLECHAR* psz);
// `ui` characters copied from `pch`; with a null `pch` the characters are zeroed.
BSTR SysAllocStringLen(const OLECHAR* pch, UINT ui);
// `len` bytes copied from `psz` (zeroed when null); the prefix holds `len`.
BSTR SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replace *pbstr with a new copy of psz (which may point into *pbstr);
// FALSE, leaving *pbstr alone, when memory runs out.
INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
UINT SysStringLen(BSTR pbstr);
UINT SysStringByteLen(BSTR bstr);
void SysFreeString(BSTR bstrString);
