#include "tools/twainscan/ScanJob.h"

#include "tools/cli/Interrupt.h"
#include "tools/cli/PageFolder.h"
#include "tools/cli/Progress.h"
#include "tools/twainscan/BitmapPage.h"
#include "tools/twainscan/ConditionText.h"
#include "tools/twainscan/TiffPageWriter.h"
#include "twainds/CutPageInfo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace twainscan {

namespace {

struct CapabilityStep {
    const char* name;
    TW_UINT16 cap;
    TW_UINT16 itemType;
    TW_UINT32 item;
};

TW_UINT16 BitDepthOf(TW_UINT16 pixelType) { return pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24; }

const char* MechanismName(TW_UINT16 mechanism)
{
    return mechanism == TWSX_FILE ? "file" : mechanism == TWSX_MEMORY ? "memory" : "native";
}

bool Negotiate(TwainSession& session, const ScanSettings& settings, std::FILE* report, std::FILE* errors)
{
    const TW_UINT32 resolution = Fix32Item(settings.resolution);
    std::vector<CapabilityStep> steps = {
        {"transfer mechanism", ICAP_XFERMECH, TWTY_UINT16, settings.mechanism},
        {"pixel type", ICAP_PIXELTYPE, TWTY_UINT16, settings.pixelType},
        {"bit depth", ICAP_BITDEPTH, TWTY_UINT16, BitDepthOf(settings.pixelType)},
        {"compression", ICAP_COMPRESSION, TWTY_UINT16, TWCP_NONE},
    };
    if (settings.pageSize)
        steps.push_back({"page size", ICAP_SUPPORTEDSIZES, TWTY_UINT16, *settings.pageSize});
    steps.insert(steps.end(), {
                                  {"duplex", CAP_DUPLEXENABLED, TWTY_BOOL, settings.duplex ? 1u : 0u},
                                  {"horizontal resolution", ICAP_XRESOLUTION, TWTY_FIX32, resolution},
                                  {"vertical resolution", ICAP_YRESOLUTION, TWTY_FIX32, resolution},
                                  {"page count", CAP_XFERCOUNT, TWTY_INT16,
                                   static_cast<TW_UINT32>(static_cast<TW_INT32>(settings.pages))},
                              });
    for (const CapabilityStep& step : steps) {
        TW_UINT32 inForce = step.item;
        const TW_UINT16 rc = session.SetOneValue(step.cap, step.itemType, step.item, &inForce);
        if (rc == TWRC_CHECKSTATUS) {
            std::fprintf(report, "note: the source set the %s to another value (0x%08X)\n", step.name,
                         static_cast<unsigned>(inForce));
        } else if (rc != TWRC_SUCCESS) {
            std::fprintf(errors, "twainscan: the source refused the %s: %s\n", step.name,
                         DescribeLastFailure(session).c_str());
            return false;
        }
    }
    return true;
}

// The page's format as the image information gives it.
PageFormat FormatOf(const TW_IMAGEINFO& info)
{
    const TW_INT32 width = info.ImageWidth;
    PageFormat format;
    format.width = static_cast<std::uint32_t>(std::max(width, 0));
    format.bitsPerPixel = info.BitsPerPixel;
    format.xResolution = Fix32Value(info.XResolution);
    format.yResolution = Fix32Value(info.YResolution);
    return format;
}

TW_UINT16 TransferNative(TwainSession& session, const TW_IMAGEINFO& info, TiffPageWriter& page)
{
    TW_HANDLE handle = nullptr;
    const TW_UINT16 rc = session.Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (rc != TWRC_XFERDONE || !handle)
        return rc == TWRC_XFERDONE ? TWRC_FAILURE : rc;
    // A plain-pointer handle carries no size: the bitmap's own header is
    // what every application goes by. Its rows go to the file from the
    // block itself.
    const auto* block = static_cast<const std::uint8_t*>(session.LockHandle(handle));
    const PageFormat format = FormatOf(info);
    const bool written =
        WriteBitmapPage(block, std::numeric_limits<size_t>::max(), format.xResolution, format.yResolution, page);
    session.UnlockHandle(handle);
    session.FreeHandle(handle);
    return written ? rc : TWRC_FAILURE;
}

// Each strip goes to the file as it arrives: one strip of the page is in
// memory, never the page. Strips come top to bottom, as sources send
// them for uncompressed images; one out of order fails the page. `buffer`
// serves every page of the scan: a strip buffer of megabytes made afresh
// for each page would leave the allocator's heap a buffer larger now and
// then. Ctrl-C stops it between strips (TWRC_CANCEL); the progress is
// shown after each.
TW_UINT16 TransferMemory(TwainSession& session, const TW_IMAGEINFO& info, std::vector<std::uint8_t>& buffer,
                         TiffPageWriter& page, int number, cli::Progress& progress)
{
    TW_SETUPMEMXFER setup{};
    TW_UINT16 rc = session.Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    if (rc != TWRC_SUCCESS)
        return rc;
    // Packed members are copied before std::max binds them to references.
    const TW_UINT32 preferred = setup.Preferred;
    const TW_UINT32 smallest = setup.MinBufSize;
    buffer.resize(std::max(preferred, smallest));
    PageFormat format = FormatOf(info);
    do {
        TW_IMAGEMEMXFER strip{};
        strip.Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        strip.Memory.Length = static_cast<TW_UINT32>(buffer.size());
        strip.Memory.TheMem = buffer.data();
        rc = session.Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        if (rc != TWRC_SUCCESS && rc != TWRC_XFERDONE)
            return rc;
        if (strip.Rows == 0)
            continue;
        if (strip.BytesPerRow == 0 || std::uint64_t{strip.BytesPerRow} * strip.Rows > buffer.size())
            return TWRC_FAILURE;
        if (!page.IsOpen()) {
            const TW_UINT32 columns = strip.Columns;
            format.width = std::max(format.width, columns);
            if (!page.Open(format))
                return TWRC_FAILURE;
        }
        if (strip.YOffset != page.Rows() || !page.WriteRows(buffer.data(), strip.BytesPerRow, strip.Rows))
            return TWRC_FAILURE;
        if (info.ImageLength > 0)
            progress.Show(number, static_cast<int>(page.Rows() * 100 / static_cast<size_t>(info.ImageLength)));
        if (rc != TWRC_XFERDONE && cli::Interrupted())
            return TWRC_CANCEL;
    } while (rc != TWRC_XFERDONE);
    return rc;
}

TW_UINT16 TransferFile(TwainSession& session, const std::string& path)
{
    TW_SETUPFILEXFER setup{};
    if (path.size() >= sizeof setup.FileName)
        return TWRC_FAILURE;
    std::memcpy(setup.FileName, path.c_str(), path.size());
    setup.Format = TWFF_TIFF;
    const TW_UINT16 rc = session.Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
    if (rc != TWRC_SUCCESS)
        return rc;
    return session.Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr);
}

long long FileSize(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// Ctrl-C in the middle of a page: the application ends the transfer (the
// page is dropped) and so leaves the rest pending, which RunScan resets.
bool StopAtInterrupt(TwainSession& session, TW_PENDINGXFERS& pending)
{
    session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
    return false;
}

// One page: transferred, written, ended. False after reporting a failure,
// or at Ctrl-C.
bool ScanPage(TwainSession& session, const ScanSettings& settings, int number, std::vector<std::uint8_t>& strips,
              TW_PENDINGXFERS& pending, std::FILE* report, std::FILE* errors)
{
    TW_IMAGEINFO info{};
    if (session.Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) != TWRC_SUCCESS) {
        std::fprintf(errors, "twainscan: page %d: no image information: %s\n", number,
                     DescribeLastFailure(session).c_str());
        return false;
    }
    const int fileNumber = settings.firstNumber + number - 1;
    const std::string path = settings.outFolder + "/" + cli::PageFileName(fileNumber, "tif");
    TiffPageWriter page(path);
    cli::Progress progress(errors);
    TW_UINT16 rc = TWRC_FAILURE;
    if (settings.mechanism == TWSX_NATIVE)
        rc = TransferNative(session, info, page);
    else if (settings.mechanism == TWSX_MEMORY)
        rc = TransferMemory(session, info, strips, page, fileNumber, progress);
    else
        rc = TransferFile(session, path);
    progress.Clear();
    if (rc == TWRC_CANCEL && cli::Interrupted())
        return StopAtInterrupt(session, pending);
    if (page.Failed()) {
        std::fprintf(errors, "twainscan: page %d: cannot write %s\n", number, path.c_str());
        return false;
    }
    if (rc != TWRC_XFERDONE) {
        std::fprintf(errors, "twainscan: page %d: %s\n", number,
                     rc == TWRC_CANCEL ? "cancelled by the source"
                                       : ("transfer failed: " + DescribeLastFailure(session)).c_str());
        // A failed transfer leaves the source transferring until the
        // application ends it; only then can it be disabled and closed.
        session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        return false;
    }
    if (const TW_UINT32 cutAt = session.ExtImageInfo(qbk24::TWEI_CUTATLINE).value_or(0); cutAt != 0) {
        // The page came padded to its length: it is not kept as a page.
        const TW_STATUS why = qbk24::CutStatus(session.ExtImageInfo(qbk24::TWEI_CUTSTATUS).value_or(0));
        if (settings.mechanism == TWSX_FILE)
            std::remove(path.c_str());
        std::fprintf(errors, "twainscan: page %d cut short at line %u: %s; not kept\n", number,
                     static_cast<unsigned>(cutAt), DescribeStatus(session, why).c_str());
        session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        return false;
    }
    if (session.Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) {
        std::fprintf(errors, "twainscan: page %d: the transfer cannot be ended: %s\n", number,
                     DescribeLastFailure(session).c_str());
        return false;
    }
    if (settings.mechanism != TWSX_FILE && !page.Finish()) {
        std::fprintf(errors, "twainscan: page %d: cannot write %s\n", number, path.c_str());
        return false;
    }
    std::fprintf(report, "page %d: %d x %d pixels, %d-bit, %.0f dpi, %s transfer -> %s (%lld bytes)\n", number,
                 info.ImageWidth, info.ImageLength, info.BitsPerPixel, Fix32Value(info.XResolution),
                 MechanismName(settings.mechanism), path.c_str(), FileSize(path));
    std::fflush(report);
    return true;
}

// Every image pending, numbered after `before` pages; how many, or -1.
int TransferPending(TwainSession& session, const ScanSettings& settings, int before, std::FILE* report,
                    std::FILE* errors)
{
    int pages = 0;
    std::vector<std::uint8_t> strips;
    for (TW_PENDINGXFERS pending{1, {0}}; pending.Count != 0 && !cli::Interrupted();) {
        if (!ScanPage(session, settings, before + pages + 1, strips, pending, report, errors))
            return cli::Interrupted() ? pages : -1;
        ++pages;
    }
    return pages;
}

// The person scans with the dialog's Scan button, as often as they like,
// and ends with its Cancel (or Done, or OK when it only sets up).
int ScanWithDialog(TwainSession& session, const ScanSettings& settings, std::FILE* report, std::FILE* errors)
{
    std::fputs("the source's dialog is open: Scan scans, closing the dialog ends\n", report);
    std::fflush(report);
    int pages = 0;
    while (!cli::Interrupted() && session.WaitForNotification() == MSG_XFERREADY) {
        const int scanned = TransferPending(session, settings, pages, report, errors);
        if (scanned < 0)
            return -1;
        pages += scanned;
    }
    session.Disable();
    return pages;
}

} // namespace

int RunScan(TwainSession& session, const ScanSettings& settings, std::FILE* report, std::FILE* errors)
{
    if (!Negotiate(session, settings, report, errors))
        return -1;
    if (session.Enable(settings.showUI) != TWRC_SUCCESS) {
        std::fprintf(errors, "twainscan: the source cannot be enabled: %s\n", DescribeLastFailure(session).c_str());
        return -1;
    }
    if (settings.showUI)
        return ScanWithDialog(session, settings, report, errors);
    if (TwainSession::Notification() == MSG_CLOSEDSREQ) {
        std::fputs("twainscan: the source asked to be closed before any image was ready\n", errors);
        return -1;
    }
    if (TwainSession::Notification() != MSG_XFERREADY) {
        std::fputs("twainscan: the source signalled no image\n", errors);
        return -1;
    }
    const int pages = TransferPending(session, settings, 0, report, errors);
    // After Ctrl-C the disabling resets what is still pending.
    if (pages >= 0)
        session.Disable();
    return pages;
}

std::string Summary(const ScanSettings& settings, int pages)
{
    return cli::PagesSummary(pages, settings.outFolder, settings.firstNumber, "tif");
}

} // namespace twainscan
