// Global memory blocks: the handle-based allocator that TWAIN records, the
// settings image and clipboard-style data travel in.
//
// Every block remembers its own size and lock count; a handle that this
// layer did not hand out (or that was freed) is refused with
// ERROR_INVALID_HANDLE instead of being dereferenced.
#pragma once

#include "platform/base/wintypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_NOCOMPACT = 0x0010;
constexpr UINT GMEM_NODISCARD = 0x0020;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_MODIFY = 0x0080;
constexpr UINT GMEM_DISCARDABLE = 0x0100;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GMEM_LOCKCOUNT = 0x00FF;
constexpr UINT GMEM_INVALID_HANDLE = 0x8000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// A moveable block's handle is a token, its memory is reached through
// GlobalLock; a fixed block's handle is its memory. Null when out of memory.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);

// The block's memory; moveable blocks count their locks. Null for a bad handle.
LPVOID GlobalLock(HGLOBAL hMem);

// TRUE while a moveable block is still locked; FALSE with NO_ERROR when the
// last lock went, FALSE with ERROR_NOT_LOCKED when it was not locked.
BOOL GlobalUnlock(HGLOBAL hMem);

// The size asked for at allocation (or re-allocation); 0 for a bad handle.
SIZE_T GlobalSize(HGLOBAL hMem);

// Resizes the block, keeping its contents (new bytes zeroed with
// GMEM_ZEROINIT). A fixed block, or a locked moveable one, moves only when
// GMEM_MOVEABLE is passed; otherwise it shrinks in place and cannot grow.
// GMEM_MODIFY changes only the flags. Null on failure, the block unchanged.
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);

// Null on success; the handle itself when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL hMem);

// The handle of the block whose memory starts at pMem; null when none does.
HGLOBAL GlobalHandle(LPCVOID pMem);

// Lock count in the low byte plus GMEM_DISCARDABLE/GMEM_DDESHARE as given;
// GMEM_INVALID_HANDLE for a bad handle.
UINT GlobalFlags(HGLOBAL hMem);
