// Texts of TWAIN codes for the debug log and the exception messages: a
// built-in table keyed by a group base plus the TWAIN value, with the data
// source's string table as the fallback.
#pragma once

#include "platform/twain/twain.h"
#include "platform/windows.h"

#include <string>

namespace Trellis {

struct TWAINTextEntry {
    TW_INT32 key;
    const char* text; // null ends the table
};

// 327 entries and the null end. Each group has its fallback text at
// base + 99 or base + 999 (for example 1499 "Unknown TWAIN return code.").
extern const TWAINTextEntry TWAINTextTable[];

// The table's text of the key; else, with a module, the module's string of
// that number (empty when it has none); else "String not found".
std::string LookupText(HMODULE hModule, TW_INT32 key);

std::string GetReturnCodeText(HMODULE hModule, TW_UINT16 rc);      // 1000 + TWRC
std::string GetConditionCodeText(HMODULE hModule, TW_UINT16 cc);   // 2000 + TWCC
std::string GetDGName(HMODULE hModule, TW_UINT32 dg);              // 3000 + DG
std::string GetDATName(HMODULE hModule, TW_UINT16 dat);            // 4000 + DAT
std::string GetMSGName(HMODULE hModule, TW_UINT16 msg);            // 5000 + MSG
std::string GetCapabilityName(HMODULE hModule, TW_UINT16 cap);     // 7000 + id
std::string GetPixelTypeName(HMODULE hModule, TW_UINT16 type);     // 8000 + TWPT
std::string GetSupportedSizeName(HMODULE hModule, TW_UINT16 size); // 8100 + TWSS
std::string GetCompressionName(HMODULE hModule, TW_UINT16 cp);     // 8200 + TWCP
std::string GetFileFormatName(HMODULE hModule, TW_UINT16 ff);      // 8400 + TWFF

// "Control/Capability/Get"
std::string GetTripletText(HMODULE hModule, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg);
// The triplet, and for a capability triplet with an id, " " and its name.
std::string GetTripletCapText(HMODULE hModule, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap);
// Return code; ":\n" and the condition when there is one; "\n" and the
// triplet; "\n" and the capability for a capability triplet with an id.
std::string GetTWAINResultText(HMODULE hModule, TW_UINT16 rc, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cc,
                               TW_UINT16 cap);

// The string cut to limit - 1 characters when it is longer than limit.
std::string TruncateString(const std::string& text, size_t limit);

// Samples per pixel of a TWAIN pixel type: 1 for TWPT_BW and TWPT_GRAY,
// 4 for TWPT_CMYK and TWPT_YUVK, 3 for any other.
int GetSamplesPerPixel(int pixelType);

} // namespace Trellis
