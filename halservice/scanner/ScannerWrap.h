// The scanner session of one hardware-service process: the scanner thread,
// the only thread that sends commands to the scanner, and the hand-off of
// requests to it; the client objects and the scanner lock that one client
// process may hold; the key poll, the button-event queue and the button
// recipients.
//
// COM calls arrive on the service's main thread. A call that needs the
// device packs a HALRequestType and a FuncArgs block and calls Request,
// which waits (dispatching window messages) until the scanner thread has
// run it. Because that wait dispatches messages, another call can arrive on
// the same thread inside it; Request queues such a call behind the one in
// flight instead of overwriting it.
//
// The main loop waits on GetStopEvent, GetButtonEvent, GetArrivalEvent and
// GetRemovalEvent (in that order), calls DispatchButtonEvents on the button
// event and OnDeviceChange on arrival and removal, and SendStatusEvent(-1)
// when it ends.
#pragma once

#include "diag/TraceClient.h"
#include "halservice/QBK24Interface.h"
#include "halservice/scanner/ButtonEvents.h"
#include "halservice/scanner/HALRequest.h"
#include "halservice/scanner/QBK24ButtonPoll.h"
#include "halservice/scanner/ScanJob.h"
#include "halservice/scanner/ScannerClient.h"
#include "platform/windows.h"

#include <atomic>
#include <deque>
#include <map>
#include <string>
#include <vector>

class CScannerEnum;
class CUSBDevice;
struct ScanWindow;
struct IRNXButton;

class CScannerWrap : public CTraceClient {
public:
    // How long Initialize waits for the thread to find the scanner, and
    // UnInitialize for it to end.
    static constexpr DWORD kThreadStartTimeoutMs = 10000;
    static constexpr DWORD kThreadStopTimeoutMs = 10000;
    static constexpr DWORD kTerminatedExitCode = static_cast<DWORD>(-123);
    static constexpr DWORD kPollIntervalMs = 100;
    // The firmware image, the blocks it is sent in, and the pause after each.
    static constexpr DWORD kFirmwareImageSize = 0xC0000;
    static constexpr DWORD kFirmwareBlockSize = 8192;
    static constexpr DWORD kFirmwareBlockPauseMs = 15;

    // Becomes the process's scanner object (see ProcessScanner).
    CScannerWrap();
    ~CScannerWrap() override;
    CScannerWrap(const CScannerWrap&) = delete;
    CScannerWrap& operator=(const CScannerWrap&) = delete;

    // The scanner object of this process: the most recently constructed one
    // that still exists. The COM objects register with it.
    static CScannerWrap* ProcessScanner();

    // The device path of this service's scanner (the device key's
    // SymbolicName); the scanner thread binds only that device.
    void SetSymbolicName(const std::u16string& path);
    std::u16string GetSymbolicName();

    // Session membership: 0 when the scanner is on-line, -1 when not.
    LONG Initialize(CScannerClient* client);
    void UnInitialize(CScannerClient* client);

    // TRUE when the scanner thread ran the request.
    BOOL Request(HALRequestType type, const FuncArgs* args);
    // Request on behalf of a client object: refused (FALSE, nothing is
    // handed over) while a live process holds the scanner lock through
    // another client object, so that nobody else's command lands in the
    // middle of the holder's work.
    BOOL ClientRequest(CScannerClient* client, HALRequestType type, const FuncArgs* args);

    void AddClient(CScannerClient* client);
    void RemoveClient(CScannerClient* client);
    void RemoveAllClients();

    BOOL LockScanner(CScannerClient* client);
    void UnLockScanner(CScannerClient* client);
    BOOL FindLockedScannerClientProcess();
    // The process whose client object holds the scanner lock; 0 when none.
    DWORD LockHolderProcess();

    // Buttons and status events.
    LONG AddButtonRecipient(IRNXButton* sink, DWORD processId);
    void RemoveButtonRecipient(LONG recipientId);
    void RemoveButtonRecipient(IRNXButton* sink);
    void SendButtonEvent(const WCHAR* name, LONG pressType, LONG funcNumber);
    void SendStatusEvent(LONG status);
    // Main thread, on the button event: sends the most recent queued record.
    void DispatchButtonEvents();
    // Main thread, on the arrival (1) or removal (0) event.
    void OnDeviceChange(int arrived);
    // The console session id, or -1 when nobody is logged on at the console.
    DWORD GetConsoleUserToken();

    // The main loop's events, auto-reset, in the order it waits on them.
    HANDLE GetStopEvent() const { return m_stopEvent; }
    HANDLE GetButtonEvent() const { return m_buttonEvent; }
    HANDLE GetArrivalEvent() const { return m_arrivalEvent; }
    HANDLE GetRemovalEvent() const { return m_removalEvent; }
    // The main loop's thread id (0 until the loop starts), for the stop
    // control's WM_QUIT.
    void SetMainThreadId(DWORD threadId) { m_mainThreadId.store(threadId); }
    DWORD GetMainThreadId() const { return m_mainThreadId.load(); }

    bool IsOnline() const { return m_online.load(); }
    bool IsLocked() const { return m_busy.load() != 0; }
    // Client objects joined to the session.
    DWORD ClientCount() const { return m_clientCount; }
    // The scanner thread's id while it runs, else 0.
    DWORD ScannerThreadId() const { return m_threadId.load(); }
    // Key polls completed since construction.
    unsigned PollCount() const { return m_pollCount.load(); }
    // Times the scanner thread has entered its idle wait, and whether it is
    // in it now.
    unsigned IdleWaitCount() const { return m_idleWaits.load(); }
    bool InIdleWait() const { return m_inIdleWait.load(); }
    // The records waiting in the button-event queue, oldest first (inspection).
    std::vector<ButtonEventRecord> PeekButtonEvents();

    // Used by the scanner thread's handlers.
    BOOL WaitScannerReady(DWORD timeoutMs);
    BOOL WaitForDataBuffer(DWORD timeoutMs, DWORD* count);

protected:
    // The request handlers that configuration, production and control add.
    virtual BOOL S_ConfigScan();
    virtual BOOL S_Produce();
    virtual BOOL S_Control();
    // Sends a whole firmware image, exactly kFirmwareImageSize bytes, in
    // blocks of kFirmwareBlockSize, then the end marker.
    BOOL DownloadFirmware(const BYTE* image, DWORD size);

    // The current request, valid while the scanner thread runs a handler.
    FuncArgs m_funcArgs{};
    HALRequestType m_requestType = REQ_CONFIG_SCAN;
    CQBK24Interface m_interface;
    CUSBDevice* m_device = nullptr;
    // The scan job that the last configuration set up (geometry and
    // production state; its duplex flag is m_duplex).
    ScanJobState m_scanJob;

    // The duplex flag of the last scan configuration; the gamma control
    // codes send their table to the back side too when it is set.
    BYTE m_duplex = 0;

private:
    // Scan configuration.
    void StartScanJob(const ScanWindow& scan);
    void SetJobGeometry(DWORD pixelsPerLine, DWORD lines, DWORD bytesPerLine);
    BOOL SendScanWindows(WindowParams* window);

    // Image production: each reader delivers at most one band.
    BOOL ReadBand();
    BOOL ReadCompressedBand();
    BOOL ReadSimplexBand();
    BOOL ReadDuplexBand();
    BOOL ReadCompressedSimplexBand();
    BOOL ReadCompressedDuplexBand();
    // Duplex bands run through phases (see DuplexSides.cpp), each ending
    // the band with its result or naming the phase that goes on with it.
    enum class DuplexPhase { Front, BackWhileFront, BackOfLastSide, Back, DeliverHeld, Done };
    struct DuplexStep {
        BOOL result;
        DuplexPhase next;
    };
    struct DuplexBand {
        bool compressed;
        DWORD request; // bytes a read may bring into the caller's buffer
    };
    struct SideRead {
        DWORD got = 0;
        bool endOfPage = false;
        bool shortRead = false;
    };
    static DuplexStep Done(BOOL result) { return {result, DuplexPhase::Done}; }
    static DuplexStep Then(DuplexPhase next) { return {TRUE, next}; }
    BOOL ReadDuplexSides(bool compressed);
    DuplexStep RunDuplexPhase(DuplexPhase phase, const DuplexBand& band);
    DuplexStep ReadFrontPhase(const DuplexBand& band);
    DuplexStep ReadBackWhileFrontPhase(const DuplexBand& band);
    DuplexStep FrontBandOrWaitForFront(const DuplexBand& band);
    DuplexStep ReadBackOfLastSidePhase(const DuplexBand& band);
    DuplexStep ReadBackPhase(const DuplexBand& band);
    bool ReadBandAfterWait(bool backSide, bool wait, const DuplexBand& band, SideRead* read);
    DWORD PageBufferRoom(const DuplexBand& band, size_t at) const;
    void EndJobDroppingTheBack();
    BOOL DeliverHeldBack(bool compressed);
    BOOL ReadSide(bool backSide, DWORD count, BYTE* destination, DWORD* got, bool* endOfPage, bool* shortRead);
    BOOL ReadBandOfSide(bool backSide, DWORD room, BYTE* destination, DWORD* delivered, bool* endOfPage,
                        bool* shortRead);
    bool KeepPartLine(bool backSide, const BYTE* bytes, size_t count);
    void LeaveOutCutLine(size_t bytes);
    BOOL WaitForBufferedData();
    BOOL NextSheetCheck();
    BOOL EndPage();
    void EndJob();
    void FinishSheet();
    BOOL FailBand();
    // Reads key events until none is queued; the key state they leave.
    BYTE DrainKeyEvents();
    BYTE PageQualifier() const;
    void SetPayloadStatusFromSense();
    // The scanner went away: no device, or its last transfer found none.
    bool ScannerDisconnected();

    static DWORD ScannerThread(LPVOID session);
    void RunScannerThread();
    // Binds the first found device whose path is the saved one; true when bound.
    bool BindDevice(CScannerEnum& scannerEnum, const SupportedDeviceId& criterion);
    void ProcessScannerRequest();
    BOOL S_OpenDevice();
    BOOL S_DoSCSICmd();
    void PollButtons(BYTE drain);
    void QueueButtonEvent(BYTE key, LONG pressType);
    void StopThread();
    // Waits for the done event while dispatching messages; false when the
    // scanner thread ended (or its handle went) first.
    bool WaitForDone(HANDLE thread);
    void WarnOffline();

    // Members in the order the session keeps them.
    std::map<LONG, IRNXButton*> m_buttonRecipients;
    std::deque<ButtonEventRecord> m_buttonQueue;
    std::vector<CScannerClient*> m_clients;
    DWORD m_heldKey = 0;
    BYTE m_longPressSent = 0;
    HANDLE m_thread = nullptr;
    std::atomic<DWORD> m_threadId{0};
    HANDLE m_readyEvent = nullptr;
    HANDLE m_exitEvent = nullptr;
    HANDLE m_requestEvent = nullptr;
    HANDLE m_doneEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    HANDLE m_buttonEvent = nullptr;
    HANDLE m_arrivalEvent = nullptr;
    HANDLE m_removalEvent = nullptr;
    std::atomic<BYTE> m_busy{0};
    CRITICAL_SECTION m_requestLock;
    CRITICAL_SECTION m_recipientsLock;
    CRITICAL_SECTION m_buttonQueueLock;
    CRITICAL_SECTION m_clientsLock;
    CQBK24ButtonPoll m_buttonPoll;
    std::atomic<BYTE> m_drain{1};
    std::atomic<bool> m_online{false};
    DWORD m_clientCount = 0;
    bool m_fromSecondCriterion = false;
    HMODULE m_kernel32 = nullptr;
    HMODULE m_wtsapi32 = nullptr;
    using GetActiveConsoleSessionIdFn = DWORD (*)();
    using QueryUserTokenFn = BOOL (*)(ULONG, PHANDLE);
    GetActiveConsoleSessionIdFn m_getActiveConsoleSessionId = nullptr;
    QueryUserTokenFn m_queryUserToken = nullptr;

    // Request tickets: a request is run when m_completed reaches its ticket.
    // A call that nests inside a waiting Request queues behind it.
    std::atomic<ULONGLONG> m_issued{0};
    std::atomic<ULONGLONG> m_completed{0};
    // Request calls of the main thread in progress (nested ones included).
    int m_requestDepth = 0;
    // The device of an ended thread, closed; the interfaces may still point
    // at it until the next thread binds a new one.
    CUSBDevice* m_retiredDevice = nullptr;

    LONG m_recipientCounter = 0;
    // Read by the service control handler on the dispatcher's thread.
    std::atomic<DWORD> m_mainThreadId{0};
    std::atomic<unsigned> m_pollCount{0};
    std::atomic<unsigned> m_idleWaits{0};
    std::atomic<bool> m_inIdleWait{false};
    CRITICAL_SECTION m_nameLock;
    std::u16string m_symbolicName;
};
