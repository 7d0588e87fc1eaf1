#include "tools/wiascan/BmpPageFiles.h"

#include "tools/cli/Interrupt.h"
#include "tools/cli/PageFolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace wiascan {

namespace {

std::string PercentLine(int page, LONG percent)
{
    return "page " + std::to_string(page) + ": " + std::to_string(percent) + "%";
}

} // namespace

std::string BmpPageFiles::PathOf(int page) const
{
    return m_folder + "/" + cli::PageFileName(m_firstNumber + page - 1, "bmp");
}

void BmpPageFiles::SayPercent(int page, LONG percent) const
{
    if (m_percent)
        m_percent(m_firstNumber + page - 1, static_cast<int>(percent));
    else
        m_show(PercentLine(page, percent));
}

int BmpPageFiles::Begin()
{
    Abandon();
    const std::string part = PathOf(PageNumber()) + ".part";
    m_fd = open(part.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_show("cannot write " + part + ": " + std::strerror(errno));
    return m_fd;
}

bool BmpPageFiles::WriteAt(const BYTE* data, size_t size, long long offset)
{
    while (size > 0) {
        const ssize_t written = pwrite(m_fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

bool BmpPageFiles::Finish()
{
    const std::string path = PathOf(PageNumber());
    const bool closed = close(m_fd) == 0;
    m_fd = -1;
    if (!closed || std::rename((path + ".part").c_str(), path.c_str()) != 0) {
        std::remove((path + ".part").c_str());
        m_show("cannot write " + path);
        return false;
    }
    ++m_pages;
    m_show("page " + std::to_string(m_pages) + ": " + path);
    return true;
}

// The whole lines of pixel data in a bitmap file being written: its
// information header (written with the first data) tells the line length.
long BitmapLines(int fd)
{
    BITMAPINFOHEADER header{};
    const off_t end = lseek(fd, 0, SEEK_END);
    if (pread(fd, &header, sizeof header, sizeof(BITMAPFILEHEADER)) != static_cast<ssize_t>(sizeof header) ||
        header.biSize < sizeof header || header.biWidth <= 0 || header.biBitCount == 0)
        return 0;
    const long long stride = (static_cast<long long>(header.biWidth) * header.biBitCount + 31) / 32 * 4;
    const long long palette = header.biClrUsed != 0    ? header.biClrUsed
                              : header.biBitCount <= 8 ? 1 << header.biBitCount
                                                       : 0;
    const long long data = end - static_cast<long long>(sizeof(BITMAPFILEHEADER)) - header.biSize - 4 * palette;
    return data > 0 ? static_cast<long>(data / stride) : 0;
}

void BmpPageFiles::Abandon()
{
    if (m_fd < 0)
        return;
    m_cutLines = BitmapLines(m_fd);
    close(m_fd);
    m_fd = -1;
    std::remove((PathOf(PageNumber()) + ".part").c_str());
}

HRESULT CallbackPages::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IWiaMiniDrvCallBack)
        return E_NOINTERFACE;
    *ppv = static_cast<IWiaMiniDrvCallBack*>(this);
    return S_OK;
}

HRESULT CallbackPages::MiniDrvCallback(LONG lReason, LONG, LONG lPercentComplete, LONG lOffset, LONG lLength,
                                       PMINIDRV_TRANSFER_CONTEXT pTranCtx, LONG)
{
    switch (lReason) {
    case IT_MSG_DATA:
        return pTranCtx ? Data(lPercentComplete, lOffset, lLength, *pTranCtx) : E_POINTER;
    case IT_MSG_NEW_PAGE:
        return EndOfPage();
    case IT_MSG_STATUS:
        ShowPercent(lPercentComplete);
        return cli::Interrupted() ? S_FALSE : S_OK;
    default:
        return S_OK;
    }
}

HRESULT CallbackPages::Data(LONG percent, LONG offset, LONG length, const MINIDRV_TRANSFER_CONTEXT& context)
{
    // Ctrl-C: the page coming in is dropped with its file.
    if (cli::Interrupted()) {
        m_files.Abandon();
        return S_FALSE;
    }
    if (!m_files.Open()) {
        if (m_cancelPage == m_files.PageNumber()) {
            m_files.Say("page " + std::to_string(m_cancelPage) + ": cancelled");
            return S_FALSE;
        }
        if (m_files.Begin() < 0) {
            m_failed = true;
            return E_FAIL;
        }
        // The first data of a page is its bitmap header.
        m_headerSize = length;
        m_bytes = 0;
        m_shownPercent = -1;
    }
    if (length < 0 || offset < 0 || length > context.lBufferSize || !context.pTransferBuffer) {
        m_failed = true;
        return E_INVALIDARG;
    }
    const long long at = static_cast<long long>(sizeof(BITMAPFILEHEADER)) + offset;
    if (!m_files.WriteAt(context.pTransferBuffer, static_cast<size_t>(length), at)) {
        m_failed = true;
        return E_FAIL;
    }
    m_bytes = std::max(m_bytes, at + length);
    ShowPercent(percent);
    return S_OK;
}

void CallbackPages::ShowPercent(LONG percent)
{
    if (percent == m_shownPercent)
        return;
    m_shownPercent = percent;
    m_files.SayPercent(m_files.PageNumber(), percent);
}

HRESULT CallbackPages::EndOfPage()
{
    if (!m_files.Open())
        return S_OK;
    BITMAPFILEHEADER file{};
    file.bfType = kBitmapFileType;
    file.bfSize = static_cast<DWORD>(m_bytes);
    file.bfOffBits = static_cast<DWORD>(sizeof file) + static_cast<DWORD>(m_headerSize);
    if (!m_files.WriteAt(reinterpret_cast<const BYTE*>(&file), sizeof file, 0) || !m_files.Finish()) {
        m_failed = true;
        return E_FAIL;
    }
    m_shownPercent = -1;
    return S_OK;
}

std::string DescribeResult(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    struct Meaning {
        HRESULT hr;
        const char* words;
    };
    static const Meaning kMeanings[] = {
        {S_FALSE, "cancelled"},
        {WIA_STATUS_END_OF_MEDIA, "end of media"},
        {WIA_ERROR_PAPER_EMPTY, "paper empty"},
        {WIA_ERROR_PAPER_JAM, "paper jam"},
        {WIA_ERROR_MULTI_FEED, "double feed"},
        {WIA_ERROR_COVER_OPEN, "cover open"},
        {WIA_ERROR_OFFLINE, "scanner off-line"},
        {WIA_ERROR_PAPER_PROBLEM, "paper problem"},
        {WIA_ERROR_GENERAL_ERROR, "scanner error"},
        {WIA_ERROR_BUSY, "the scanner is busy"},
        {E_OUTOFMEMORY, "out of memory"},
        // What a call into the hardware service answers once the service
        // has ended under it.
        {E_UNEXPECTED, "the scanner's service stopped"},
        {RPC_E_SERVER_DIED, "the scanner's service stopped during the call"},
        {RPC_E_DISCONNECTED, "the scanner's service stopped"},
    };
    for (const Meaning& meaning : kMeanings) {
        if (meaning.hr == hr)
            return std::string(text) + " (" + meaning.words + ")";
    }
    return text;
}

} // namespace wiascan
