// The device the page is about, when the shell names it instead of handing
// its root item: the "WIAItemNames" data of the data object (zero-terminated
// wide texts, ended by an empty one), and the device manager that opens it.
#pragma once

#include "platform/windows.h"

#include <string>
#include <vector>

// The entries of the "WIAItemNames" data. Only what lies inside the block
// is read: a block that ends before its closing empty entry is malformed
// (E_FAIL), as is one that is no global block.
HRESULT GetWiaItemNames(IDataObject* pdtobj, std::vector<std::u16string>* names);
// The same for the block's bytes; false when malformed.
bool ParseWiaItemNames(const BYTE* block, size_t bytes, std::vector<std::u16string>* names);
// The non-empty tokens of an entry split at ':'.
std::vector<std::u16string> SplitDeviceName(const std::u16string& entry);
// Opens the device through the WIA device manager (a local server) and
// gives its root item.
HRESULT CreateWiaDevice(const std::u16string& deviceId, IWiaItem** root);
