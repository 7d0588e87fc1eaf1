// HRESULT values, Win32 error codes and the macros that test them.
#pragma once

#include "platform/base/wintypes.h"

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr WORD HRESULT_CODE(HRESULT hr) { return static_cast<WORD>(hr & 0xFFFF); }
constexpr int HRESULT_FACILITY(HRESULT hr) { return (hr >> 16) & 0x1FFF; }

constexpr int FACILITY_NULL = 0;
constexpr int FACILITY_RPC = 1;
constexpr int FACILITY_DISPATCH = 2;
constexpr int FACILITY_ITF = 4;
constexpr int FACILITY_WIN32 = 7;

constexpr HRESULT MAKE_HRESULT(unsigned sev, unsigned fac, unsigned code)
{
    return static_cast<HRESULT>((static_cast<DWORD>(sev) << 31) | (static_cast<DWORD>(fac) << 16) | static_cast<DWORD>(code));
}

constexpr HRESULT HRESULT_FROM_WIN32(DWORD err)
{
    return static_cast<HRESULT>(err) <= 0 ? static_cast<HRESULT>(err)
                                          : static_cast<HRESULT>((err & 0x0000FFFF) | (FACILITY_WIN32 << 16) | 0x80000000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);

constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT REGDB_E_READREGDB = static_cast<HRESULT>(0x80040150u);
constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
constexpr HRESULT REGDB_E_IIDNOTREG = static_cast<HRESULT>(0x80040155u);
constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8u);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);
constexpr HRESULT CO_E_OBJNOTCONNECTED = static_cast<HRESULT>(0x800401FDu);
constexpr HRESULT RPC_E_CHANGED_MODE = static_cast<HRESULT>(0x80010106u);
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108u);
constexpr HRESULT RPC_E_SERVER_DIED = static_cast<HRESULT>(0x80010007u);
constexpr HRESULT RPC_E_WRONG_THREAD = static_cast<HRESULT>(0x8001010Eu);
constexpr HRESULT RPC_E_INVALID_DATA = static_cast<HRESULT>(0x8001000Fu);
constexpr HRESULT RPC_E_CALL_REJECTED = static_cast<HRESULT>(0x80010001u);
constexpr HRESULT RPC_E_TIMEOUT = static_cast<HRESULT>(0x8001011Fu);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);
constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_NONAMEDARGS = static_cast<HRESULT>(0x80020007u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = static_cast<HRESULT>(0x8002000Fu);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = static_cast<HRESULT>(0x8002802Bu);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

// Win32 error codes, as GetLastError and the registry functions return them.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG NO_ERROR = 0;
constexpr LONG ERROR_INVALID_FUNCTION = 1;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_BAD_FORMAT = 11;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_NOT_READY = 21;
constexpr LONG ERROR_CRC = 23;
constexpr LONG ERROR_BAD_LENGTH = 24;
constexpr LONG ERROR_GEN_FAILURE = 31;
constexpr LONG ERROR_SHARING_VIOLATION = 32;
constexpr LONG ERROR_HANDLE_EOF = 38;
constexpr LONG ERROR_NOT_SUPPORTED = 50;
constexpr LONG ERROR_FILE_EXISTS = 80;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BROKEN_PIPE = 109;
constexpr LONG ERROR_SEM_TIMEOUT = 121;
constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_INVALID_NAME = 123;
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_BUSY = 170;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_BAD_EXE_FORMAT = 193;
constexpr LONG ERROR_NO_DATA = 232;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG WAIT_TIMEOUT_ERROR = 258;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_OPERATION_ABORTED = 995;
constexpr LONG ERROR_IO_INCOMPLETE = 996;
constexpr LONG ERROR_IO_PENDING = 997;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_CHILD_MUST_BE_VOLATILE = 1021;
constexpr LONG ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
constexpr LONG ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr LONG ERROR_INVALID_SERVICE_ACCOUNT = 1057;
constexpr LONG ERROR_SERVICE_DISABLED = 1058;
constexpr LONG ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr LONG ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr LONG ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr LONG ERROR_FAILED_SERVICE_CONTROLLER_CONNECT = 1063;
constexpr LONG ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
constexpr LONG ERROR_SERVICE_EXISTS = 1073;
constexpr LONG ERROR_DUPLICATE_SERVICE_NAME = 1078;
constexpr LONG ERROR_DEVICE_NOT_CONNECTED = 1167;
constexpr LONG ERROR_NOT_FOUND = 1168;
constexpr LONG ERROR_CANCELLED = 1223;
constexpr LONG ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr LONG ERROR_TIMEOUT = 1460;
constexpr LONG ERROR_INVALID_DATATYPE = 1804;

// The wait result and the error code share the value 258 on Windows.
#ifndef WAIT_TIMEOUT
constexpr DWORD WAIT_TIMEOUT = 258;
#endif
