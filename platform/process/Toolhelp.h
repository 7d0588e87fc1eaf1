// The process list as a snapshot, from /proc.
//
// The list is this system's: only processes whose program file lies under
// the system root (QBK_SYSROOT) are listed, so that two systems on one
// machine never see, or end, each other's program copies. A process whose
// program cannot be placed (another user's, a kernel thread) is not listed.
#pragma once

#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"

extern "C" {

constexpr DWORD TH32CS_SNAPHEAPLIST = 0x00000001;
constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
constexpr DWORD TH32CS_SNAPTHREAD = 0x00000004;
constexpr DWORD TH32CS_SNAPMODULE = 0x00000008;
constexpr DWORD TH32CS_SNAPALL = TH32CS_SNAPHEAPLIST | TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD | TH32CS_SNAPMODULE;

struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];
};
using LPPROCESSENTRY32W = PROCESSENTRY32W*;

struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    ULONG_PTR th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    CHAR szExeFile[MAX_PATH];
};
using LPPROCESSENTRY32 = PROCESSENTRY32*;

// Only the process list is taken (TH32CS_SNAPPROCESS, also within
// TH32CS_SNAPALL); th32ProcessID is ignored. Close the handle with
// CloseHandle. szExeFile is the file name of the executable, without its
// folder (from /proc/<pid>/exe; a program file replaced or deleted since it
// started still gives its name).
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// FALSE with ERROR_BAD_LENGTH when dwSize is smaller than the structure,
// ERROR_NO_MORE_FILES after the last process.
BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
BOOL Process32First(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);
BOOL Process32Next(HANDLE hSnapshot, LPPROCESSENTRY32 lppe);

} // extern "C"
