// The pages of a WIA transfer as BMP files in one folder, "page-001.bmp"
// on: each is written under a ".part" name while it comes in and takes its
// own name once it is whole, so a page cut short leaves no file.
#pragma once

#include "platform/windows.h"

#include <functional>
#include <string>
#include <utility>

namespace wiascan {

class BmpPageFiles {
public:
    using Show = std::function<void(const std::string&)>;
    // The progress of a page coming in, when it is not shown as lines.
    using ShowPercent = std::function<void(int page, int percent)>;
    // The first page's file is numbered `firstNumber`.
    BmpPageFiles(std::string folder, Show show, ShowPercent percent = {}, int firstNumber = 1)
        : m_folder(std::move(folder)), m_show(std::move(show)), m_percent(std::move(percent)),
          m_firstNumber(firstNumber)
    {
    }
    ~BmpPageFiles() { Abandon(); }
    BmpPageFiles(const BmpPageFiles&) = delete;
    BmpPageFiles& operator=(const BmpPageFiles&) = delete;

    // Opens the next page's file; its descriptor, or -1 (with a line shown).
    int Begin();
    bool Open() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    // Writes at an offset of the open page's file.
    bool WriteAt(const BYTE* data, size_t size, long long offset);
    // The page is whole: the file takes its name. False when it could not.
    bool Finish();
    // The page is dropped with its file.
    void Abandon();
    // The lines of the page Abandon dropped after some of them came, taken
    // once (0: none was cut).
    long TakeCutLines() { return std::exchange(m_cutLines, 0); }

    int Pages() const { return m_pages; }
    int PageNumber() const { return m_pages + 1; } // of the page coming in
    std::string PathOf(int page) const;
    void Say(const std::string& line) const { m_show(line); }
    void SayPercent(int page, LONG percent) const;

private:
    std::string m_folder;
    Show m_show;
    ShowPercent m_percent;
    int m_firstNumber;
    int m_fd = -1;
    int m_pages = 0;
    long m_cutLines = 0;
};

// The service's callback: in a callback transfer each page's data (the
// bitmap's information header first, then its lines bottom-up) goes into
// its file behind a file header and the end of the page completes the file;
// in both kinds progress is shown as it comes. It can cancel a callback
// transfer when a page begins, and cancels any at Ctrl-C (cli::Interrupted).
class CallbackPages final : public IWiaMiniDrvCallBack {
public:
    explicit CallbackPages(BmpPageFiles& files) : m_files(files) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return 1; } // lives on the caller's stack
    ULONG Release() override { return 1; }
    HRESULT MiniDrvCallback(LONG lReason, LONG lStatus, LONG lPercentComplete, LONG lOffset, LONG lLength,
                            PMINIDRV_TRANSFER_CONTEXT pTranCtx, LONG lReserved) override;

    // Answers S_FALSE to the first data of this page (1-based; 0 never).
    void CancelAtPage(int page) { m_cancelPage = page; }
    bool Failed() const { return m_failed; }

private:
    HRESULT Data(LONG percent, LONG offset, LONG length, const MINIDRV_TRANSFER_CONTEXT& context);
    HRESULT EndOfPage();
    void ShowPercent(LONG percent);

    BmpPageFiles& m_files;
    LONG m_headerSize = 0;
    long long m_bytes = 0;
    LONG m_shownPercent = -1;
    int m_cancelPage = 0;
    bool m_failed = false;
};

// "0x80210002 (paper jam)": an HRESULT with what it means to a WIA
// application, where it has a meaning of its own.
std::string DescribeResult(HRESULT hr);

} // namespace wiascan
