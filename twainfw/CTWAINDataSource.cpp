#include "twainfw/CTWAINDataSource.h"

#include "platform/base/temppath.h"

#include "twainfw/DSMEntry.h"
#include "twainfw/DebugLog.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/StringUtil.h"
#include "twainfw/TWAINMemory.h"
#include "twainfw/TWAINText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace Trellis {

namespace {

// "2009/03/07 14:05:09.000"
std::string LocalTimeDateText()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatStdString("%04d/%02d/%02d %02d:%02d:%02d.000", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour, local.tm_min, local.tm_sec);
}

// A TW_STR field up to its NUL, never past the field.
template <size_t N>
std::string FieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

// A file transfer can write under `name`: a file of that name reads (it
// stays as it is), or one can be made beside it, which goes again at once.
bool IsWritableFileName(const std::string& name)
{
    if (std::FILE* existing = std::fopen(name.c_str(), "rb")) {
        std::fclose(existing);
        return true;
    }
    const std::string part = CTIFFFile::PartPath(name);
    std::FILE* probe = std::fopen(part.c_str(), "wb");
    if (!probe)
        return false;
    std::fclose(probe);
    std::remove(part.c_str());
    return true;
}

// A name with a backslash is used as it is, any other goes into the
// temporary folder; cut to the 255 characters of the record.
void SetDefaultFileName(TW_SETUPFILEXFER& setup, const std::string& name)
{
    char tempFolder[MAX_PATH + 1] = {};
    const DWORD folderLength = GetTempPathA(sizeof(tempFolder), tempFolder);
    const std::string folder = folderLength < sizeof(tempFolder) ? std::string(tempFolder, folderLength) : "";
    std::string path = name.find('\\') != std::string::npos ? name : folder + name;
    path = path.substr(0, sizeof(setup.FileName) - 1);
    std::memset(setup.FileName, 0, sizeof(setup.FileName));
    std::memcpy(setup.FileName, path.data(), path.size());
}

// The system the source runs on, as the log of MSG_OPENDS names it;
// nothing when the system does not tell.
void LogPlatformLine()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version))
        return;
    const int major = static_cast<int>(version.dwMajorVersion);
    const int minor = static_cast<int>(version.dwMinorVersion);
    const int build = static_cast<int>(version.dwBuildNumber & 0xFFFF);
    switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32_WINDOWS:
        DebugPrint("Running on Windows 95 Version: %d.%d.%d\n", major, minor, build);
        return;
    case VER_PLATFORM_WIN32_NT:
        DebugPrint("Running on Windows NT Version: %d.%d.%d\n", major, minor, build);
        return;
    default:
        DebugPrint("Unrecognized platform Id, %d ", static_cast<int>(version.dwPlatformId));
    }
}

TW_SETUPFILEXFER DefaultSetupFileXfer()
{
    TW_SETUPFILEXFER setup{};
    SetDefaultFileName(setup, "TWAIN.BMP");
    setup.Format = TWFF_BMP;
    setup.VRefNum = -1;
    return setup;
}

} // namespace

std::string HelpFilePathOf(const std::string& modulePath)
{
    std::string path = modulePath;
    // The extension of the file name, not a dot in a folder's name.
    size_t dot = path.rfind('.');
    size_t separator = path.find_last_of("/\\");
    if (dot != std::string::npos && (separator == std::string::npos || dot > separator))
        path.resize(dot);
    return path + ".HLP";
}

CTWAINDataSource::CTWAINDataSource()
{
    m_SetupFileXfer = DefaultSetupFileXfer();
    SetState(3);
    m_ConditionCode = TWCC_SUCCESS;
}

CTWAINDataSource::~CTWAINDataSource()
{
    if (m_hResourceModule != m_hModule)
        FreeLibrary(m_hResourceModule);
    m_hResourceModule = m_hModule;
    if (m_pUIWindow)
        m_pUIWindow->Dispose();
    delete m_pParentWindow;
}

bool CTWAINDataSource::Init(HMODULE hModule)
{
    m_hModule = hModule;
    m_hResourceModule = hModule;
    LoadIdentity(m_Identity);
    m_Identity.Id = 0;
    m_Identity.ProtocolMajor = 2;
    m_Identity.ProtocolMinor = 0;

    char fileName[260] = {};
    DWORD length = GetModuleFileNameA(hModule, fileName, sizeof(fileName));
    if (length > 0 && length < sizeof(fileName)) {
        m_HelpFilePath = HelpFilePathOf(std::string(fileName, length));
    }
    return true;
}

void CTWAINDataSource::Terminate()
{
    DestroyUIWindow();
    DetachParentWindow();
}

TWAINCallContext CTWAINDataSource::CallContext() const
{
    TWAINCallContext context;
    context.hModule = m_hResourceModule;
    context.dg = m_CurrentDG;
    context.dat = m_CurrentDAT;
    context.msg = m_CurrentMSG;
    context.capability = m_CurrentCap;
    return context;
}

void CTWAINDataSource::ThrowFailure(TW_UINT16 conditionCode) { Trellis::ThrowFailure(CallContext(), conditionCode); }

void CTWAINDataSource::ThrowFailure(TW_UINT16 conditionCode, TW_UINT16 detail)
{
    m_ConditionData = detail;
    Trellis::ThrowFailure(CallContext(), conditionCode);
}

void CTWAINDataSource::ThrowCheckStatus(TW_UINT16 conditionCode)
{
    Trellis::ThrowCheckStatus(CallContext(), conditionCode);
}

void CTWAINDataSource::ThrowCancel() { Trellis::ThrowCancel(CallContext()); }

void CTWAINDataSource::ThrowXferDone() { Trellis::ThrowXferDone(CallContext()); }

void CTWAINDataSource::ThrowCapNotAvailable(TW_UINT16 id)
{
    ThrowFailure(IsCapSupported(id) ? TWCC_CAPBADOPERATION : TWCC_CAPUNSUPPORTED);
}

void CTWAINDataSource::RequireState(TW_INT32 lowest, TW_INT32 highest)
{
    if (m_State < lowest || m_State > highest)
        ThrowFailure(TWCC_SEQERROR);
}

void CTWAINDataSource::SetState(TW_INT32 state)
{
    if (state == m_State)
        return;
    // A multipage file ends with the batch.
    if (m_State > 5 && state <= 5 && m_TIFFFile.IsOpen())
        m_TIFFFile.Finish();
    m_State = state;
    if (state == 7)
        m_TimeDate = LocalTimeDateText();
    // State 6 keeps whether the acquisition's transfers have begun.
    if (state == 7)
        m_TransfersBegun = true;
    else if (state <= 5)
        m_TransfersBegun = false;
    m_XferDone = 0;
}

int CTWAINDataSource::Dispatch(const TW_IDENTITY* origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    m_CurrentDG = static_cast<TW_INT32>(dg);
    m_CurrentDAT = dat;
    m_CurrentMSG = msg;
    m_CurrentCap = 0;
    if (dat == DAT_CAPABILITY && data)
        m_CurrentCap = static_cast<const TW_CAPABILITY*>(data)->Cap;

    const bool processEvent = dg == DG_CONTROL && dat == DAT_EVENT && msg == MSG_PROCESSEVENT;
    if (!processEvent && DebugLogOn())
        DebugPrint("DS: Operation %s\n",
                   GetTripletCapText(m_hResourceModule, dg, dat, msg, static_cast<TW_UINT16>(m_CurrentCap)).c_str());

    try {
        // One application holds the source from MSG_OPENDS to MSG_CLOSEDS;
        // a triplet without an origin cannot be told apart from another's.
        if (m_AppIdentity.Id != 0 && (!origin || origin->Id != m_AppIdentity.Id))
            ThrowFailure(TWCC_BADPROTOCOL);

        if (msg == MSG_PROCESSEVENT) {
            TW_EVENT* event = static_cast<TW_EVENT*>(data);
            if (event && m_pUIWindow && m_pUIWindow->PreTranslateMessage(event->pEvent)) {
                event->TWMessage = MSG_NULL;
                return TWRC_DSEVENT;
            }
            return TWRC_NOTDSEVENT;
        }

        if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS && origin)
            OnOpenDS(*origin);

        TripletSwitch(dg, dat, msg, data);

        if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_OPENDS && origin) {
            std::memcpy(static_cast<TW_IDENTITY*>(&m_AppIdentity), origin, sizeof(TW_IDENTITY));
            if (DebugLogOn()) {
                DebugPrint("\n** Calling Application Information **\n");
                DebugPrint("Manufacturer: %s\n", FieldText(m_AppIdentity.Manufacturer).c_str());
                DebugPrint("ProductFamily: %s\n", FieldText(m_AppIdentity.ProductFamily).c_str());
                DebugPrint("ProductName:  %s\n", FieldText(m_AppIdentity.ProductName).c_str());
                DebugPrint("TWAIN Revision Supported: %d.%d\n", m_AppIdentity.ProtocolMajor,
                           m_AppIdentity.ProtocolMinor);
                DebugPrint("Application Version: %s\n", VersionToString(m_AppIdentity.Version).c_str());
                DebugPrint("Application info string: %s\n\n", FieldText(m_AppIdentity.Version.Info).c_str());
            }
        } else if (dg == DG_CONTROL && dat == DAT_IDENTITY && msg == MSG_CLOSEDS) {
            m_AppIdentity.Id = 0;
        }

        if (DebugLogOn())
            DebugPrint("DS: Success.\n\n");
        return TWRC_SUCCESS;
    } catch (...) {
        TWAINOutcome outcome = OutcomeOfException(std::current_exception(), m_hResourceModule);
        if (outcome.xferDone)
            m_XferDone = 1;
        if (outcome.setsConditionCode)
            m_ConditionCode = outcome.conditionCode;
        return outcome.returnCode;
    }
}

void CTWAINDataSource::TripletSwitch(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    // DAT_STATUS reports the code of the triplet before it.
    if (!(dg == DG_CONTROL && dat == DAT_STATUS)) {
        m_ConditionCode = TWCC_SUCCESS;
        m_ConditionData = 0;
    }

    // Every handler writes through the data pointer, except the file
    // transfer's, which takes none.
    if (!data && !(dg == DG_IMAGE && dat == DAT_IMAGEFILEXFER))
        ThrowFailure(TWCC_BADVALUE);

    if (dg == DG_CONTROL)
        ControlTriplet(dat, msg, data);
    else if (dg == DG_IMAGE)
        ImageTriplet(msg, dat, data);
    else
        ThrowBadProtocol();
}

void CTWAINDataSource::ControlTriplet(TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data)
{
    switch (dat) {
    case DAT_CAPABILITY:
        OnCapability(msg, static_cast<TW_CAPABILITY*>(data));
        return;
    case DAT_EVENT:
    case DAT_PARENT:
        ThrowBadProtocol();
    case DAT_IDENTITY:
        OnIdentity(msg, static_cast<TW_IDENTITY*>(data));
        return;
    case DAT_PENDINGXFERS:
        PendingXfers(msg, static_cast<TW_PENDINGXFERS*>(data));
        return;
    case DAT_SETUPMEMXFER:
        OnSetupMemXfer(msg, static_cast<TW_SETUPMEMXFER*>(data));
        return;
    case DAT_SETUPFILEXFER:
        OnSetupFileXfer(msg, static_cast<TW_SETUPFILEXFER*>(data));
        return;
    case DAT_STATUS:
        OnStatus(msg, static_cast<TW_STATUS*>(data));
        return;
    case DAT_STATUSUTF8:
        OnStatusUTF8(msg, static_cast<TW_STATUSUTF8*>(data));
        return;
    case DAT_USERINTERFACE:
        UserInterface(msg, static_cast<TW_USERINTERFACE*>(data));
        return;
    case DAT_XFERGROUP:
        OnXferGroup(msg, static_cast<TW_UINT32*>(data));
        return;
    case DAT_CUSTOMDSDATA:
        OnCustomDSData(msg, static_cast<TW_CUSTOMDSDATA*>(data));
        return;
    case DAT_ENTRYPOINT:
        // The manager's memory functions, so that the handles given to the
        // application are ones it can free.
        if (msg != MSG_SET)
            ThrowBadProtocol();
        SetDSMMemoryFunctions(static_cast<const TW_ENTRYPOINT*>(data));
        SetDSMEntryPoint(static_cast<const TW_ENTRYPOINT*>(data));
        return;
    default:
        if (!ProcessControlTriplet(dat, msg, data))
            ThrowBadProtocol();
        return;
    }
}

void CTWAINDataSource::OnIdentity(TW_UINT16 msg, TW_IDENTITY* identity)
{
    switch (msg) {
    case MSG_GET: {
        TW_IDENTITY own = GetIdentity();
        std::memcpy(identity, &own, sizeof(TW_IDENTITY));
        return;
    }
    case MSG_OPENDS:
        if (m_AppIdentity.Id != 0)
            ThrowFailure(TWCC_MAXCONNECTIONS);
        RequireState(3, 3);
        std::memcpy(static_cast<TW_IDENTITY*>(&m_Identity), identity, sizeof(TW_IDENTITY));
        if (DebugLogOn()) {
            DebugPrint("Date: %s.\n", LocalTimeDateText().c_str());
            DebugPrint("Data Source ID: %s.\n", FieldText(m_Identity.ProductName).c_str());
            DebugPrint("Data Source Version: %s.\n", VersionToString(m_Identity.Version).c_str());
            LogPlatformLine();
        }
        Open();
        SetState(4);
        return;
    case MSG_CLOSEDS:
        RequireState(4, 4);
        Close();
        SetState(3);
        return;
    default:
        ThrowBadProtocol();
    }
}

void CTWAINDataSource::PendingXfers(TW_UINT16 msg, TW_PENDINGXFERS* pending)
{
    switch (msg) {
    case MSG_GET:
        RequireState(4, 7);
        *pending = QueryPendingXfers();
        return;
    case MSG_ENDXFER:
        RequireState(6, 7);
        EndOfTransferLoop(pending);
        return;
    case MSG_RESET:
        RequireState(6, 6);
        StopAcquisition();
        pending->Count = 0;
        SetState(5);
        return;
    default:
        ThrowBadProtocol();
    }
}

void CTWAINDataSource::EndOfTransferLoop(TW_PENDINGXFERS* pending)
{
    *pending = EndXfer();
    while (pending->Count != 0 && m_State == 7) {
        if (BeginAcquisition(&m_ImageInfo))
            SetState(6); // the next image is ready
        else
            *pending = EndXfer(); // that image is skipped
    }
    if (pending->Count == 0)
        SetState(5);
    else
        SetState(6);
    if (DebugLogOn())
        DebugPrint("PendingXfers.Count = %d.\n", static_cast<int>(static_cast<TW_INT16>(pending->Count)));
}

void CTWAINDataSource::UserInterface(TW_UINT16 msg, TW_USERINTERFACE* ui)
{
    switch (msg) {
    case MSG_ENABLEDS:
    case MSG_ENABLEDSUIONLY: {
        RequireState(4, 4);
        const bool uiOnly = msg == MSG_ENABLEDSUIONLY;
        CTWAINWindow* parent = AttachParentWindow(static_cast<HWND>(ui->hParent));
        EnableUserInterface(parent, ui->ShowUI != 0, uiOnly);
        // Without a window to show, the first image may be ready already.
        if (m_State != 6)
            SetState(5);
        return;
    }
    case MSG_DISABLEDS: {
        RequireState(5, 7);
        if (m_State == 7)
            StopAcquisition();
        if (m_State >= 6) {
            TW_PENDINGXFERS local{};
            EndOfTransferLoop(&local);
        }
        if (m_State == 6)
            ThrowFailure(TWCC_SEQERROR); // transfers still pending
        DisableUserInterface();
        DestroyUIWindow();
        DetachParentWindow();
        SetState(4);
        return;
    }
    default:
        ThrowBadProtocol();
    }
}

void CTWAINDataSource::OnSetupMemXfer(TW_UINT16 msg, TW_SETUPMEMXFER* setup)
{
    if (msg != MSG_GET)
        ThrowBadProtocol();
    RequireState(4, 6);
    *setup = GetSetupMemXfer();
}

void CTWAINDataSource::OnSetupFileXfer(TW_UINT16 msg, TW_SETUPFILEXFER* setup)
{
    // The transfer mechanisms exist only while the source is open.
    RequireState(4, 7);
    if (GetXferMechCurrent() != TWSX_FILE) {
        const bool offered = GetXferMechValues().Contains(CTWAINOneValue(TWSX_FILE));
        ThrowFailure(offered ? TWCC_SEQERROR : TWCC_BADPROTOCOL);
    }
    switch (msg) {
    case MSG_GET:
    case MSG_GETCURRENT:
        RequireState(4, 6);
        *setup = GetSetupFileXfer();
        return;
    case MSG_GETDEFAULT:
        RequireState(4, 6);
        *setup = GetDefaultSetupFileXfer();
        return;
    case MSG_RESET:
        RequireState(4, 4);
        *setup = ResetSetupFileXfer();
        return;
    case MSG_SET: {
        RequireState(4, 6);
        // A name that fills the record without its end is not a name.
        if (!std::memchr(setup->FileName, '\0', sizeof(setup->FileName)))
            ThrowFailure(TWCC_BADVALUE);
        // The name must be one the transfer can write. Nothing is made or
        // changed here: the transfer writes the page beside the name and
        // gives it the name when whole.
        std::string fileName = FieldText(setup->FileName);
        if (!IsWritableFileName(fileName))
            ThrowFailure(TWCC_BADVALUE);
        if (!GetImageFileFormatValues().Contains(CTWAINOneValue(TW_UINT32{setup->Format}, TWTY_UINT16)))
            ThrowFailure(TWCC_BADVALUE);
        SetSetupFileXfer(*setup);
        SetImageFileFormatCurrent(setup->Format);
        if (DebugLogOn()) {
            DebugPrint("SetupFileXfer.FileName = %s.\n", fileName.c_str());
            DebugPrint("SetupFileXfer.Format = %s.\n", GetFileFormatName(m_hResourceModule, setup->Format).c_str());
        }
        return;
    }
    default:
        ThrowBadProtocol();
    }
}

void CTWAINDataSource::OnStatus(TW_UINT16 msg, TW_STATUS* status)
{
    if (msg != MSG_GET)
        ThrowBadProtocol();
    status->ConditionCode = GetConditionCode();
    status->Data = status->ConditionCode == TWCC_SUCCESS ? 0 : m_ConditionData;
    m_ConditionCode = TWCC_SUCCESS;
    m_ConditionData = 0;
}

void CTWAINDataSource::OnStatusUTF8(TW_UINT16 msg, TW_STATUSUTF8* status)
{
    if (msg != MSG_GET)
        ThrowBadProtocol();
    const std::string text = GetStatusText(status->Status);
    // The handle is the application's, freed with the manager's memory
    // functions; its size counts the closing zero.
    const TW_UINT32 size = static_cast<TW_UINT32>(text.size() + 1);
    TW_HANDLE handle = TWAINAllocHandle(size);
    if (!handle)
        ThrowFailure(TWCC_LOWMEMORY);
    {
        CTWAINHandleLock lock(handle);
        if (lock.Data())
            std::memcpy(lock.Data(), text.c_str(), size);
    }
    status->Size = size;
    status->UTF8string = handle;
}

std::string CTWAINDataSource::GetStatusText(const TW_STATUS& status)
{
    return GetConditionCodeText(m_hResourceModule, status.ConditionCode);
}

void CTWAINDataSource::OnXferGroup(TW_UINT16 msg, TW_UINT32* group)
{
    if (msg != MSG_GET)
        ThrowBadProtocol();
    RequireState(4, 6);
    *group = GetXferGroup();
}

void CTWAINDataSource::OnCustomDSData(TW_UINT16 msg, TW_CUSTOMDSDATA* data)
{
    switch (msg) {
    case MSG_GET: {
        RequireState(4, 4);
        data->hData = HandOverDSDataBlock(GetDSDataBlock(), data->InfoLength);
        return;
    }
    case MSG_SET: {
        RequireState(4, 4);
        HGLOBAL block = TakeOverDSDataBlock(data->hData, data->InfoLength);
        try {
            SetDSDataBlock(block);
        } catch (...) {
            GlobalFree(block);
            throw;
        }
        GlobalFree(block);
        return;
    }
    default:
        ThrowBadProtocol();
    }
}

// The settings block is built in global memory (a profile file is the same
// block); the application gets it as a handle of its own memory, which has
// no size of its own, so its length travels in InfoLength.
TW_HANDLE CTWAINDataSource::HandOverDSDataBlock(HGLOBAL block, TW_UINT32& length)
{
    if (!block)
        ThrowFailure(TWCC_LOWMEMORY);
    const SIZE_T size = GlobalSize(block);
    TW_HANDLE handle = TWAINHandleFromGlobal(block);
    GlobalFree(block);
    if (!handle)
        ThrowFailure(TWCC_LOWMEMORY);
    length = static_cast<TW_UINT32>(size);
    return handle;
}

// The application's block, InfoLength bytes of it, copied into a global
// block of exactly that size, so that nothing reads past what it said it
// holds. A block too short for its identity header is refused here, and so
// is an InfoLength past the end of a block that tells its size (global
// memory; the manager's blocks and plain pointers tell none).
HGLOBAL CTWAINDataSource::TakeOverDSDataBlock(TW_HANDLE handle, TW_UINT32 length)
{
    if (length < sizeof(TW_IDENTITY))
        ThrowFailure(TWCC_BADVALUE);
    if (const std::optional<size_t> size = TWAINHandleSize(handle); size && length > *size)
        ThrowFailure(TWCC_BADVALUE);
    CTWAINHandleLock from(handle);
    if (!from.Data())
        ThrowFailure(TWCC_BADVALUE);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, length);
    void* to = block ? GlobalLock(block) : nullptr;
    if (!to) {
        if (block)
            GlobalFree(block);
        ThrowFailure(TWCC_LOWMEMORY);
    }
    std::memcpy(to, from.Data(), length);
    GlobalUnlock(block);
    return block;
}

void CTWAINDataSource::ImageTriplet(TW_UINT16 msg, TW_UINT16 dat, TW_MEMREF data)
{
    switch (dat) {
    case DAT_IMAGEINFO:
        if (msg != MSG_GET)
            ThrowBadProtocol();
        RequireState(6, 7);
        *static_cast<TW_IMAGEINFO*>(data) = GetImageInfo();
        if (DebugLogOn())
            LogImageInfo(*static_cast<TW_IMAGEINFO*>(data));
        return;
    case DAT_IMAGELAYOUT:
        OnImageLayout(msg, static_cast<TW_IMAGELAYOUT*>(data));
        return;
    case DAT_IMAGEMEMXFER: {
        if (msg != MSG_GET)
            ThrowBadProtocol();
        RequireState(6, 7);
        TW_IMAGEMEMXFER* xfer = static_cast<TW_IMAGEMEMXFER*>(data);
        TW_SETUPMEMXFER setup = GetSetupMemXfer();
        if (xfer->Memory.Length < setup.MinBufSize)
            ThrowFailure(TWCC_BADVALUE);
        if (xfer->Memory.Length > setup.MaxBufSize) {
            if (DebugLogOn()) {
                DebugPrint("DispatchImageMemXferMessage: had to adjust memory buffer size, exceeds maximum specified "
                           "by SetupMemXfer.\n");
                DebugPrint("DispatchImageMemXferMessage: Max Size = %d, Application Requested Size: %d.\n",
                           static_cast<int>(setup.MaxBufSize), static_cast<int>(xfer->Memory.Length));
            }
            xfer->Memory.Length = setup.MaxBufSize;
        }
        SetState(7);
        TW_IMAGEMEMXFER block = *xfer;
        bool last = TransferMemory(&block, m_XferBlockCounter);
        ++m_XferBlockCounter;
        *xfer = block;
        if (last)
            ThrowXferDone();
        return;
    }
    case DAT_IMAGENATIVEXFER: {
        if (msg != MSG_GET)
            ThrowBadProtocol();
        RequireState(6, 6);
        TW_HANDLE* handle = static_cast<TW_HANDLE*>(data);
        *handle = nullptr;
        SetState(7);
        try {
            *handle = TransferNative();
        } catch (...) {
            SetState(6);
            throw;
        }
        ThrowXferDone();
    }
    case DAT_IMAGEFILEXFER:
        if (msg != MSG_GET)
            ThrowBadProtocol();
        RequireState(6, 6);
        SetState(7);
        try {
            TransferFile();
        } catch (...) {
            SetState(6);
            throw;
        }
        ThrowXferDone();
    case DAT_CIECOLOR:
        if (msg != MSG_GET)
            ThrowBadProtocol();
        RequireState(4, 6);
        *static_cast<TW_CIECOLOR*>(data) = GetCIEColor();
        return;
    case DAT_GRAYRESPONSE:
    case DAT_RGBRESPONSE:
        if (msg != MSG_SET && msg != MSG_RESET)
            ThrowBadProtocol();
        RequireState(4, 4);
        if (dat == DAT_GRAYRESPONSE) {
            if (msg == MSG_SET)
                SetGrayResponse(static_cast<const TW_GRAYRESPONSE*>(data));
            else
                ResetGrayResponse(static_cast<TW_GRAYRESPONSE*>(data));
        } else {
            if (msg == MSG_SET)
                SetRGBResponse(static_cast<const TW_RGBRESPONSE*>(data));
            else
                ResetRGBResponse(static_cast<TW_RGBRESPONSE*>(data));
        }
        return;
    case DAT_JPEGCOMPRESSION: {
        TW_JPEGCOMPRESSION* jpeg = static_cast<TW_JPEGCOMPRESSION*>(data);
        switch (msg) {
        case MSG_GET:
        case MSG_GETCURRENT:
            RequireState(4, 6);
            *jpeg = GetJPEGCompression();
            return;
        case MSG_GETDEFAULT:
            RequireState(4, 6);
            *jpeg = GetDefaultJPEGCompression();
            return;
        case MSG_RESET:
            RequireState(4, 4);
            *jpeg = ResetJPEGCompression();
            return;
        case MSG_SET:
            RequireState(4, 4);
            SetJPEGCompression(*jpeg);
            return;
        default:
            ThrowBadProtocol();
        }
    }
    case DAT_PALETTE8:
        OnPalette8(msg, static_cast<TW_PALETTE8*>(data));
        return;
    case DAT_EXTIMAGEINFO:
        OnExtImageInfo(msg, static_cast<TW_EXTIMAGEINFO*>(data));
        return;
    default:
        if (!ProcessImageTriplet(msg, data))
            ThrowBadProtocol();
        return;
    }
}

void CTWAINDataSource::LogImageInfo(const TW_IMAGEINFO& info)
{
    DebugPrint("ImageInfo.XResolution = %f.\nImageInfo.YResolution = %f\nImageInfo.ImageWidth = %d\n"
               "ImageInfo.ImageLength = %d\n",
               static_cast<double>(Fix32ToFloat(info.XResolution)), static_cast<double>(Fix32ToFloat(info.YResolution)),
               static_cast<int>(info.ImageWidth), static_cast<int>(info.ImageLength));
    DebugPrint("ImageInfo.SamplesPerPixel = %d\nImageInfo.BitsPerSample[0] = %d\nImageInfo.BitsPerPixel = %d\n"
               "ImageInfo.Planar = %d\n",
               info.SamplesPerPixel, info.BitsPerSample[0], info.BitsPerPixel, info.Planar);
    DebugPrint("ImageInfo.PixelType = %s\nImageInfo.Compression = %s\n",
               GetPixelTypeName(m_hResourceModule, static_cast<TW_UINT16>(info.PixelType)).c_str(),
               GetCompressionName(m_hResourceModule, info.Compression).c_str());
}

void CTWAINDataSource::OnImageLayout(TW_UINT16 msg, TW_IMAGELAYOUT* layout)
{
    switch (msg) {
    case MSG_GET:
    case MSG_GETCURRENT:
        RequireState(4, 6);
        *layout = GetImageLayout();
        return;
    case MSG_GETDEFAULT:
        RequireState(4, 6);
        *layout = GetDefaultImageLayout();
        return;
    case MSG_SET: {
        RequireState(4, 4);
        CTWAINFrame physical(0, 0, GetPhysicalWidth(), GetPhysicalHeight());
        if (!physical.Contains(layout->Frame))
            ThrowFailure(TWCC_BADVALUE);
        SetImageLayout(*layout);
        return;
    }
    case MSG_RESET:
        RequireState(4, 4);
        *layout = ResetImageLayout();
        return;
    default:
        ThrowBadProtocol();
    }
}

void CTWAINDataSource::OnPalette8(TW_UINT16 msg, TW_PALETTE8* palette)
{
    // The pixel types exist only while the source is open.
    RequireState(4, 7);
    if (GetPixelTypeCurrent() != TWPT_PALETTE) {
        const bool offered = GetPixelTypeValues().Contains(CTWAINOneValue(TWPT_PALETTE));
        ThrowFailure(offered ? TWCC_SEQERROR : TWCC_BADPROTOCOL);
    }
    switch (msg) {
    case MSG_GET:
    case MSG_GETCURRENT:
        RequireState(4, 6);
        *palette = GetPalette8();
        return;
    case MSG_GETDEFAULT:
        RequireState(4, 6);
        *palette = GetDefaultPalette8();
        return;
    case MSG_SET: {
        RequireState(4, 4);
        TW_UINT16 pixelType = GetPixelTypeCurrent();
        if (pixelType == TWPT_BW)
            m_PaletteBW = *palette;
        else if (pixelType == TWPT_GRAY)
            m_PaletteGray = *palette;
        return;
    }
    case MSG_RESET:
        RequireState(4, 4);
        *palette = ResetPalette8();
        return;
    default:
        ThrowBadProtocol();
    }
}

// ---- window operations ----

CTWAINWindow* CTWAINDataSource::AttachParentWindow(HWND hWnd)
{
    // Only a real window is wrapped; the platform has no window ids to ask.
    if (!hWnd)
        return nullptr;
    DetachParentWindow();
    m_pParentWindow = new CTWAINForeignWindow(hWnd);
    return m_pParentWindow;
}

void CTWAINDataSource::DetachParentWindow()
{
    delete m_pParentWindow;
    m_pParentWindow = nullptr;
}

void CTWAINDataSource::DestroyUIWindow()
{
    if (m_pUIWindow) {
        CTWAINWindow* window = m_pUIWindow;
        m_pUIWindow = nullptr;
        window->Destroy();
        window->Dispose();
    }
}

void CTWAINDataSource::EnableUserInterface(CTWAINWindow* parent, bool showUI, bool uiOnly)
{
    DestroyUIWindow();
    m_pUIWindow = CreateUIWindow(parent, uiOnly);
    if (showUI || uiOnly || !GetUIControllable()) {
        if (m_pUIWindow)
            m_pUIWindow->Show(true);
        return;
    }
    // A device without a settings window still owes the application its
    // transfer when no user interface was asked for.
    if (m_pUIWindow)
        m_pUIWindow->Show(false);
    SignalXferReady();
}

void CTWAINDataSource::DisableUserInterface() { DestroyUIWindow(); }

// ---- small defaults ----

void CTWAINDataSource::OnOpenDS(const TW_IDENTITY&) {}

bool CTWAINDataSource::SpareHook() { return false; }

bool CTWAINDataSource::ProcessImageTriplet(TW_UINT16, TW_MEMREF) { return false; }

bool CTWAINDataSource::ProcessControlTriplet(TW_UINT16, TW_UINT16, TW_MEMREF) { return false; }

void CTWAINDataSource::Open()
{
    if (!InitializeCapabilities() && DebugLogOn())
        DebugPrint("Error initializing current configuration to defaults\n");
    if (!LoadConfigurationFromRegistry() && DebugLogOn())
        DebugPrint("Error loading current configuration from registry.\n");
}

void CTWAINDataSource::Close() {}

TW_IDENTITY CTWAINDataSource::GetIdentity() { return m_Identity; }

TW_UINT16 CTWAINDataSource::GetConditionCode() { return static_cast<TW_UINT16>(m_ConditionCode); }

TW_UINT32 CTWAINDataSource::GetXferGroup() { return DG_CONTROL | DG_IMAGE; }

TW_SETUPMEMXFER CTWAINDataSource::GetSetupMemXfer() { return m_SetupMemXfer; }

TW_SETUPMEMXFER CTWAINDataSource::GetDefaultSetupMemXfer() { return TW_SETUPMEMXFER{0x8000, 0xFFFF, 0xFFFF}; }

TW_SETUPMEMXFER CTWAINDataSource::ResetSetupMemXfer()
{
    m_SetupMemXfer = GetDefaultSetupMemXfer();
    return m_SetupMemXfer;
}

TW_SETUPFILEXFER CTWAINDataSource::GetSetupFileXfer() { return m_SetupFileXfer; }

TW_SETUPFILEXFER CTWAINDataSource::GetDefaultSetupFileXfer() { return DefaultSetupFileXfer(); }

void CTWAINDataSource::SetSetupFileXfer(const TW_SETUPFILEXFER& setup) { m_SetupFileXfer = setup; }

TW_SETUPFILEXFER CTWAINDataSource::ResetSetupFileXfer()
{
    m_SetupFileXfer = GetDefaultSetupFileXfer();
    return m_SetupFileXfer;
}

TW_IMAGEINFO CTWAINDataSource::GetImageInfo() { return m_ImageInfo; }

TW_IMAGELAYOUT CTWAINDataSource::GetImageLayout()
{
    return CTWAINImageLayout(GetFramesCurrent(), m_DocumentNumber, m_PageNumber, m_FrameNumber);
}

TW_IMAGELAYOUT CTWAINDataSource::GetDefaultImageLayout() { return CTWAINImageLayout(GetFramesDefault(), 1, 1, 1); }

TW_IMAGELAYOUT CTWAINDataSource::ResetImageLayout()
{
    SetImageLayout(GetDefaultImageLayout());
    return GetImageLayout();
}

void CTWAINDataSource::SetImageLayout(const TW_IMAGELAYOUT& layout)
{
    SetFramesCurrent(layout.Frame);
    if (layout.DocumentNumber != 0xFFFFFFFFu)
        m_DocumentNumber = layout.DocumentNumber;
    if (layout.PageNumber != 0xFFFFFFFFu)
        m_PageNumber = layout.PageNumber;
    if (layout.FrameNumber != 0xFFFFFFFFu)
        m_FrameNumber = layout.FrameNumber;
}

} // namespace Trellis
