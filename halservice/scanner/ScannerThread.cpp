// The scanner thread: finds and binds the scanner, then runs requests and
// polls the panel keys between them until it is told to exit.
#include "halservice/scanner/ScannerWrap.h"

#include "diag/EventLogObject.h"
#include "halservice/LogText.h"
#include "halservice/MessageWait.h"
#include "halservice/ScannerEnum.h"
#include "halservice/USBDevice.h"

namespace {

constexpr ScannerErrorCode kErrorNotReady = 2;
constexpr DWORD kReadyPauseMs = 100;
constexpr DWORD kBufferPauseMs = 500;

} // namespace

DWORD CScannerWrap::ScannerThread(LPVOID session)
{
    static_cast<CScannerWrap*>(session)->RunScannerThread();
    return 0;
}

bool CScannerWrap::BindDevice(CScannerEnum& scannerEnum, const SupportedDeviceId& criterion)
{
    scannerEnum.m_criterionVendorId = criterion.vendorId;
    scannerEnum.m_criterionProductId = criterion.productId;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"USB Criteria set to PID: 0x%04X, VID: 0x%04X", criterion.productId, criterion.vendorId);
    if (!scannerEnum.FindScanners())
        return false;

    const std::u16string path = GetSymbolicName();
    if (scannerEnum.IsDevicePresent(path)) {
        CUSBDevice* device = scannerEnum.CreateScannerDevice(path);
        if (device) {
            if (m_interface.SetDevice(device) && m_buttonPoll.SetDevice(device)) {
                m_device = device;
                m_online.store(true);
            } else {
                delete device;
            }
        }
    }
    return true;
}

void CScannerWrap::RunScannerThread()
{
    m_threadId.store(GetCurrentThreadId());
    CLogInterface* sink = GetEventLogObject();
    SetLogInterface(sink);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ScannerThread Entered");
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_interface.SetLogInterface(sink);
    m_buttonPoll.SetLogInterface(sink);

    CScannerEnum scannerEnum;
    scannerEnum.SetLogInterface(sink);
    m_online.store(false);
    m_fromSecondCriterion = false;

    const std::vector<SupportedDeviceId>& supported = m_interface.GetSupportedDevices();
    bool found = !supported.empty() && BindDevice(scannerEnum, supported[0]);
    if (!found && supported.size() > 1) {
        BindDevice(scannerEnum, supported[1]);
        m_fromSecondCriterion = m_online.load();
    }
    // The device of the previous thread is no longer anyone's.
    if (m_online.load()) {
        delete m_retiredDevice;
        m_retiredDevice = nullptr;
    }

    m_heldKey = 0;
    m_longPressSent = 0;
    const bool online = m_online.load();
    SetEvent(m_readyEvent);

    if (online) {
        // The scanner lock survives a thread restart, so a held lock keeps
        // the new device open for its holder.
        m_device->Open();
        m_interface.SetWindow(nullptr);
        if (!m_busy.load())
            m_device->Close();

        const HANDLE handles[2] = {m_requestEvent, m_exitEvent};
        const DWORD timeout = m_fromSecondCriterion ? INFINITE : kPollIntervalMs;
        for (;;) {
            m_idleWaits.fetch_add(1);
            m_inIdleWait.store(true);
            const DWORD wait = WaitMultipleWithMessages(2, handles, timeout);
            m_inIdleWait.store(false);
            if (wait == WAIT_OBJECT_0 + 1)
                break;
            if (wait == WAIT_TIMEOUT) {
                // Taking the drain flag before the poll keeps a lock that
                // comes meanwhile from losing its drain.
                if (!m_busy.load())
                    PollButtons(m_drain.exchange(0));
                continue;
            }
            const ULONGLONG ticket = m_issued.load();
            ProcessScannerRequest();
            m_completed.store(ticket);
            SetEvent(m_doneEvent);
        }

        m_online.store(false);
        // The handle a lock left open must not outlive the thread; the
        // object stays until a new device is bound, since the interfaces
        // still point at it.
        m_device->Close();
        m_retiredDevice = m_device;
        m_device = nullptr;
    }

    m_interface.SetLogInterface(nullptr);
    m_buttonPoll.SetLogInterface(nullptr);
    scannerEnum.SetLogInterface(nullptr);
    SetLogInterface(nullptr);
    if (sink)
        ReleaseEventLogObject();
    CoUninitialize();
    m_threadId.store(0);
}

void CScannerWrap::ProcessScannerRequest()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ProcessScannerRequest Entered");
    BOOL result = 0;
    switch (m_requestType) {
    case REQ_CONFIG_SCAN:
        result = S_ConfigScan();
        break;
    case REQ_DO_SCSI_CMD:
        result = S_DoSCSICmd();
        break;
    case REQ_PRODUCE:
        result = S_Produce();
        break;
    case REQ_CONTROL:
        result = S_Control();
        break;
    case REQ_OPEN_DEVICE:
        result = S_OpenDevice();
        break;
    default:
        result = 0;
        break;
    }
    m_funcArgs.Result = static_cast<std::uint64_t>(result);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"ProcessScannerRequest Exit. [0x%08X]", 0);
}

BOOL CScannerWrap::S_OpenDevice()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_OpenDevice Entered");
    BOOL result = FALSE;
    if (m_device && m_funcArgs.OpenDevice.Open == 0) {
        m_device->Close();
        result = TRUE;
    } else if (m_device) {
        result = m_device->Open() ? TRUE : FALSE;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_OpenDevice Exit. [%s]", TrueFalse(result));
    return result;
}

BOOL CScannerWrap::S_DoSCSICmd()
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_DoSCSICmd Entered");
    const DoSCSICmdArgs& args = m_funcArgs.DoSCSICmd;
    const bool ok = m_interface.DoSCSICommand(args.pBufCDB, args.lSizeCDB, args.pBufData, args.lSizeData, args.lDir);
    if (args.lpStatus)
        *args.lpStatus = ok ? 0 : -1;
    if (IsLogging(LOG_TRACE))
        LogTrace(u"S_DoSCSICmd Exit. [%s]", TrueFalse(ok));
    return ok ? TRUE : FALSE;
}

BOOL CScannerWrap::WaitScannerReady(DWORD timeoutMs)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitScannerReady Entered");
    if (IsDataLogging(LOG_TRACE))
        LogDataTrace(u"WaitScannerReady Params: dwTimeout= %d ms", timeoutMs);
    const DWORD start = GetTickCount();
    bool result = false;
    do {
        if (m_interface.TestUnitReady()) {
            result = m_interface.SetWindow(nullptr);
            Sleep(kReadyPauseMs);
        }
    } while (m_interface.TranslateCachedSense() == kErrorNotReady && GetTickCount() - start < timeoutMs);
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitScannerReady Exit. [%s]", TrueFalse(result));
    return result ? TRUE : FALSE;
}

BOOL CScannerWrap::WaitForDataBuffer(DWORD timeoutMs, DWORD* count)
{
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitForDataBuffer Entered");
    const DWORD start = GetTickCount();
    BOOL result = TRUE;
    for (;;) {
        DWORD filled = 0;
        BYTE windowId = 0;
        if (!m_interface.GetDataBufferStatus(&filled, &windowId)) {
            SenseData sense{};
            m_interface.GetSense(&sense);
            const bool noMedium = sense.SenseKey == 3 && sense.SenseCode == 0x3A && sense.SenseQualifier == 0;
            result = noMedium ? TRUE : FALSE;
            break;
        }
        if (count)
            *count = filled;
        Sleep(kBufferPauseMs);
        if (filled != 0 || GetTickCount() - start >= timeoutMs)
            break;
    }
    if (IsLogging(LOG_TRACE))
        LogTrace(u"WaitForDataBuffer Exit. [%s]", TrueFalse(result));
    return result;
}
