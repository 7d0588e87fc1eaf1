#include "twainds/CQBK24DataSource.h"

#include "platform/base/format.h"
#include "twainfw/DebugLog.h"
#include "twainfw/StringUtil.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr DWORD kValueBufferSize = 1024;
constexpr size_t kLogBufferSize = 10240;
constexpr UINT IDS_MANUFACTURER = 10000;
constexpr UINT IDS_PRODUCT_FAMILY = 10001;

std::string LoadResourceString(HMODULE module, UINT id)
{
    char text[256] = {};
    int length = LoadStringA(module, id, text, sizeof(text));
    return length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string();
}

// A string value of at most kValueBufferSize bytes; nothing for a missing
// value or one of another type.
bool ReadStringValue(HKEY key, const char* name, std::string& value)
{
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kValueBufferSize]());
    if (!buffer)
        return false;
    DWORD type = 0;
    DWORD size = kValueBufferSize;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.get()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    value.assign(buffer.get(), strnlen(buffer.get(), size));
    return true;
}

} // namespace

float ScaleValue(float x, float fromMin, float fromMax, float toMin, float toMax)
{
    float value = static_cast<float>(toMin + (x - fromMin) / (fromMax - fromMin) * (toMax - toMin));
    if (value > toMax)
        value = toMax;
    if (value < toMin)
        value = toMin;
    return value;
}

CQBK24DataSource::CQBK24DataSource()
{
    LogLevel4("CQBK24DataSource Entered.");
    const std::string path = Trellis::GetModulePath();
    // The device's number is in the copy's own name; the folders above it
    // say nothing about the device.
    const size_t separator = path.find_last_of("/\\");
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const size_t tag = path.find("QBK24_", nameStart);
    if (path.size() > 6 && tag != std::string::npos) {
        int id = 0;
        std::sscanf(path.c_str() + tag + 6, "%d", &id);
        DriverId = id;
        LogDataLevel4("TWAIN Driver ID = %04d.", DriverId);
        ClassKey = Trellis::FormatStdString(
            "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\%04d", DriverId);
        LogDataLevel4("RegistryKey = %s", ClassKey.c_str());
    } else {
        LogDataLevel4("Invalid TWAIN Driver Name, %s", path.c_str());
    }
    LogLevel4("CQBK24DataSource Exit.");
}

CQBK24DataSource::~CQBK24DataSource()
{
    LogLevel4("~CQBK24DataSource Entered.\n");
    LogLevel4("~CQBK24DataSourceExit.");
    Logger = nullptr;
    LogMask = nullptr;
    DataLogMask = nullptr;
    if (Hal) {
        Hal->Release();
        Hal = nullptr;
    }
    ReleasePipeline();
}

bool CQBK24DataSource::Init(HMODULE hModule)
{
    LogLevel4("Init Entered.");
    bool result = false;
    if (ReadDeviceRegistry()) {
        ReadVersionStrings();
        result = Trellis::CTWAINDataSource::Init(hModule);
    }
    m_FeederAlignment = TWFA_CENTER;
    PendingXfers.Count = 0;
    LogLevel4("Init Exit.");
    return result;
}

bool CQBK24DataSource::ReadDeviceRegistry()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ClassKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    bool result = false;
    std::string dsPath;
    if (ReadStringValue(key, "FriendlyName", FriendlyName) && ReadStringValue(key, "HAL_CLSID", HalClsidText)) {
        // A text that cannot be turned into a wide string (no memory) counts
        // as one that does not convert: Init runs outside the dispatcher.
        std::u16string wide;
        try {
            wide = Utf8ToUtf16(HalClsidText);
        } catch (const std::bad_alloc&) {
            wide.clear();
        }
        result = !wide.empty() && SUCCEEDED(IIDFromString(wide.c_str(), &HalClsid)) &&
                 ReadStringValue(key, "TWAIN_DS_PATH", dsPath) &&
                 Trellis::ToUpper(dsPath) == Trellis::ToUpper(Trellis::GetModulePath()) &&
                 ReadStringValue(key, "SymbolicName", SymbolicName);
    }
    RegCloseKey(key);
    // A device whose values are incomplete, or that belongs to another copy
    // of the library, is not taken: Open then finds no service class.
    if (!result)
        HalClsid = GUID{};
    return result;
}

void CQBK24DataSource::ReadVersionStrings()
{
    const std::string path = Trellis::GetModulePath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0)
        return;
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]());
    if (!block || !GetFileVersionInfoA(path.c_str(), handle, size, block.get()))
        return;
    void* translations = nullptr;
    UINT translationsSize = 0;
    if (!VerQueryValueA(block.get(), "\\VarFileInfo\\Translation", &translations, &translationsSize))
        return;
    struct Entry {
        const char* name;
        std::string* member;
    };
    const Entry entries[] = {{"FileDescription", &FileDescription},
                             {"ProductName", &ProductName},
                             {"LegalCopyright", &LegalCopyright},
                             {"FileVersion", &FileVersion}};
    for (UINT offset = 0; offset + 4 <= translationsSize; offset += 4) {
        WORD language = 0;
        WORD codePage = 0;
        std::memcpy(&language, static_cast<const BYTE*>(translations) + offset, 2);
        std::memcpy(&codePage, static_cast<const BYTE*>(translations) + offset + 2, 2);
        for (const Entry& entry : entries) {
            const std::string subBlock =
                Trellis::FormatStdString("\\StringFileInfo\\%04x%04x\\%s", language, codePage, entry.name);
            void* text = nullptr;
            UINT length = 0;
            if (VerQueryValueA(block.get(), subBlock.c_str(), &text, &length) && text)
                *entry.member = static_cast<const char*>(text);
        }
    }
}

void CQBK24DataSource::LoadIdentity(Trellis::CTWAINIdentity& identity)
{
    const std::string manufacturer = LoadResourceString(m_hModule, IDS_MANUFACTURER);
    const std::string family = LoadResourceString(m_hModule, IDS_PRODUCT_FAMILY);
    Trellis::TWAINIdentityDescription description;
    description.MajorNum = 5;
    description.MinorNum = 0;
    description.Language = TWLG_ENGLISH_USA;
    description.Country = TWCY_USA;
    description.Info = FileVersion.c_str();
    description.ProtocolMajor = 1;
    description.ProtocolMinor = 9;
    // DF_DS2: the Linux data source manager hands its entry point and memory
    // functions only to a source that says it takes them.
    description.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_DS2;
    description.Manufacturer = manufacturer.c_str();
    description.ProductFamily = family.c_str();
    description.ProductName = FriendlyName.c_str();
    identity.Assign(description);
}

void CQBK24DataSource::Open()
{
    LogLevel4("Open Entered.");
    try {
        HRESULT hr = CoCreateInstance(HalClsid, nullptr, CLSCTX_ALL, IID_IRNXHALS, reinterpret_cast<void**>(&Hal));
        if (FAILED(hr) || !Hal) {
            Hal = nullptr;
            LogLevel1("Unable to instantiate HAL object with CSLID = %s.", HalClsidText.c_str());
            ThrowFailure(TWCC_OPERATIONERROR);
        }

        LONG status = 0;
        hr = Hal->Initialize(&status);
        if (hr != S_OK || status != 0) {
            LogLevel1("Unable to Initialize HAL HRESULT = 0x%08X, Status = 0x%08X.", static_cast<unsigned>(hr),
                      static_cast<unsigned>(status));
            ThrowFailure(status == -1 ? TWCC_CHECKDEVICEONLINE : TWCC_OPERATIONERROR);
        }

        status = 0;
        hr = Hal->LockScanner(static_cast<LONG>(GetCurrentProcessId()), &status);
        if (hr != S_OK || status != 0) {
            LogLevel1("Unable to lock scanner HRESULT = 0x%08X, Status = 0x%08X.", static_cast<unsigned>(hr),
                      static_cast<unsigned>(status));
            ThrowFailure(TWCC_MAXCONNECTIONS);
        }

        ReadDeviceInfo();
        Trellis::CTWAINDataSource::Open();
    } catch (...) {
        ReleaseHal();
        throw;
    }
    LogLevel4("Open Exit.");
}

HRESULT CQBK24DataSource::ReleaseHal()
{
    if (!Hal)
        return S_OK;
    LONG status = 0;
    HRESULT unlocked = Hal->UnlockScanner(&status);
    HRESULT uninitialized = Hal->Uninitialize();
    Hal->Release();
    Hal = nullptr;
    return FAILED(unlocked) ? unlocked : uninitialized;
}

void CQBK24DataSource::Close()
{
    LogLevel4("Close Entered.");
    // The object is let go even when a call fails, so that the source is
    // never left holding a service it no longer uses.
    HRESULT hr = ReleaseHal();
    if (FAILED(hr))
        _com_issue_error(hr);
    LogLevel4("Close Exit.");
}

void CQBK24DataSource::DisableUserInterface()
{
    DestroyProgressDialog();
    UndoUndefinedSizeForced();
    DestroyUIWindow();
    MainDialog = nullptr;
}

void CQBK24DataSource::ReleasePipeline()
{
    if (PipelineSource) {
        PipelineSource->Release();
        PipelineSource = nullptr;
    }
    if (HalWrap) {
        HalWrap->Release();
        HalWrap = nullptr;
    }
    if (RasterBand) {
        RasterBand->Release();
        RasterBand = nullptr;
    }
}

// ---- trace hooks ----

void CQBK24DataSource::AttachLogger(CQBK24Logger* logger)
{
    Logger = logger;
    if (logger) {
        LogCategory = "TWAIN Driver";
        DataLogCategory = LogCategory + ".Data";
        LogMask = logger->GetLogMaskAddress(LogCategory);
        DataLogMask = logger->GetLogMaskAddress(DataLogCategory);
    }
}

DWORD CQBK24DataSource::GetLogMask() { return LogMask ? *LogMask : DefaultLogMask; }

DWORD CQBK24DataSource::GetDataLogMask() { return DataLogMask ? *DataLogMask : DefaultLogMask; }

CQBK24Logger* CQBK24DataSource::GetLogger() { return Logger; }

std::string CQBK24DataSource::GetLogCategory() { return LogCategory; }

std::string CQBK24DataSource::GetDataLogCategory() { return DataLogCategory; }

void CQBK24DataSource::LogLine(DWORD level, bool data, const char* format, va_list args)
{
    if (!Logger || !((data ? GetDataLogMask() : GetLogMask()) & level))
        return;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kLogBufferSize]);
    if (!buffer)
        return;
    plat::VFormatToBuffer(buffer.get(), kLogBufferSize, format, args);
    Logger->Write(level, GetCurrentProcessId(), GetCurrentThreadId(), Trellis::GetTimestampWithMs(),
                  data ? DataLogCategory : LogCategory, buffer.get());
}

void CQBK24DataSource::LogLevel1(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(1, false, format, args);
    va_end(args);
}

void CQBK24DataSource::LogLevel2(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(2, false, format, args);
    va_end(args);
}

void CQBK24DataSource::LogLevel4(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(4, false, format, args);
    va_end(args);
}

void CQBK24DataSource::LogDataLevel1(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(1, true, format, args);
    va_end(args);
}

void CQBK24DataSource::LogDataLevel2(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(2, true, format, args);
    va_end(args);
}

void CQBK24DataSource::LogDataLevel4(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogLine(4, true, format, args);
    va_end(args);
}
