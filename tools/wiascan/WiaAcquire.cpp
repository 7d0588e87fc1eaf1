#include "tools/wiascan/WiaAcquire.h"

#include "platform/wia/LongChanges.h"
#include "tools/cli/Interrupt.h"
#include "tools/cli/PageFolder.h"

#include <charconv>
#include <unistd.h>

namespace wiascan {

namespace {

constexpr LONG kCallbackBufferSize = 65536;

std::optional<LONG> Number(const std::string& text)
{
    LONG value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

std::optional<LONG> DataType(const std::string& text)
{
    if (text == "color")
        return WIA_DATA_COLOR;
    if (text == "gray")
        return WIA_DATA_GRAYSCALE;
    if (text == "bw")
        return WIA_DATA_THRESHOLD;
    return std::nullopt;
}

// One KEY=VALUE word into the options; false when it is not one of them.
bool TakeSetting(const std::string& key, const std::string& text, AcquireOptions& o)
{
    if (key == "type") {
        const std::optional<LONG> type = DataType(text);
        if (type)
            o.feederChanges.push_back({WIA_IPA_DATATYPE, *type});
        return type.has_value();
    }
    const std::optional<LONG> value = Number(text);
    if (!value)
        return false;
    if (key == "pages")
        o.rootChanges.push_back({WIA_DPS_PAGES, *value});
    else if (key == "duplex" && *value <= 1)
        o.rootChanges.push_back({WIA_DPS_DOCUMENT_HANDLING_SELECT, *value ? FEEDER | DUPLEX : FEEDER});
    else if (key == "dpi")
        o.feederChanges.insert(o.feederChanges.end(), {{WIA_IPS_XRES, *value}, {WIA_IPS_YRES, *value}});
    else if (key == "width")
        o.feederChanges.push_back({WIA_IPS_XEXTENT, *value});
    else if (key == "height")
        o.feederChanges.push_back({WIA_IPS_YEXTENT, *value});
    else if (key == "buffer")
        o.bufferSize = *value;
    else if (key == "cancel")
        o.cancelPage = static_cast<int>(*value);
    else if (key == "batch-start" && *value >= 1)
        o.firstNumber = static_cast<int>(*value);
    else
        return false;
    return true;
}

HRESULT WriteChanges(WiaDeviceHost& host, plat::wia::WiaItem& item, const std::vector<std::pair<PROPID, LONG>>& changes)
{
    if (changes.empty())
        return S_OK;
    const plat::wia::LongChanges change(changes);
    return host.WriteProperties(item, change.specs, change.values);
}

// The pages the application asks for: 0 for all of them.
LONG AskedPages(plat::wia::WiaItem& root)
{
    LONG pages = 0, select = FEEDER;
    wiasReadPropLong(root.Context(), WIA_DPS_PAGES, &pages, nullptr, FALSE);
    wiasReadPropLong(root.Context(), WIA_DPS_DOCUMENT_HANDLING_SELECT, &select, nullptr, FALSE);
    return (select & DUPLEX) && pages == 1 ? 2 : pages;
}

// The transfer context as the service starts it for the item.
HRESULT StartContext(plat::wia::WiaItem& item, CallbackPages& callback, MINIDRV_TRANSFER_CONTEXT* context)
{
    *context = MINIDRV_TRANSFER_CONTEXT{};
    const HRESULT hr = wiasGetImageInformation(item.Context(), WIAS_INIT_CONTEXT, context);
    context->pIWiaMiniDrvCallBack = &callback;
    context->hFile = -1;
    return hr;
}

void LendBuffer(MINIDRV_TRANSFER_CONTEXT& context, std::vector<BYTE>& buffer, LONG size)
{
    buffer.assign(static_cast<size_t>(size), 0);
    context.pTransferBuffer = buffer.data();
    context.lBufferSize = size;
    context.bClassDrvAllocBuf = TRUE;
}

HRESULT CallbackTransfer(WiaDeviceHost& host, plat::wia::WiaItem& feeder, BmpPageFiles& files, CallbackPages& callback,
                         const AcquireOptions& options)
{
    MINIDRV_TRANSFER_CONTEXT context;
    HRESULT hr = StartContext(feeder, callback, &context);
    if (FAILED(hr))
        return hr;
    context.bTransferDataCB = TRUE;
    std::vector<BYTE> buffer;
    if (!options.driverBuffer)
        LendBuffer(context, buffer, options.bufferSize >= 0 ? options.bufferSize : kCallbackBufferSize);
    hr = host.Transfer(feeder, &context);
    files.Abandon(); // a page that did not end is not delivered
    return hr;
}

HRESULT FileTransfer(WiaDeviceHost& host, plat::wia::WiaItem& feeder, BmpPageFiles& files, CallbackPages& callback,
                     const AcquireOptions& options)
{
    MINIDRV_TRANSFER_CONTEXT context;
    HRESULT hr = StartContext(feeder, callback, &context);
    if (FAILED(hr))
        return hr;
    context.hFile = files.Begin();
    if (context.hFile < 0)
        return E_FAIL;
    std::vector<BYTE> buffer;
    if (!options.driverBuffer)
        LendBuffer(context, buffer, options.bufferSize >= 0 ? options.bufferSize : context.lItemSize);
    hr = host.Transfer(feeder, &context);
    // The driver wrote the page into the file, or nothing.
    if (SUCCEEDED(hr) && hr != S_FALSE && lseek(files.Descriptor(), 0, SEEK_END) > 0)
        files.Finish();
    else
        files.Abandon();
    return hr;
}

} // namespace

std::optional<AcquireOptions> ParseAcquireOptions(const std::vector<std::string>& words, std::string* why)
{
    if (words.size() < 2) {
        *why = "usage: acquire FOLDER [callback|file] [pages=N] [duplex=0|1] [type=color|gray|bw] [dpi=N] "
               "[width=PIXELS] [height=LINES] [buffer=BYTES] [driver-buffer] [cancel=PAGE] [batch-start=N] [force]";
        return std::nullopt;
    }
    AcquireOptions options;
    options.folder = words[1];
    for (size_t i = 2; i < words.size(); ++i) {
        const std::string& word = words[i];
        const size_t equals = word.find('=');
        bool taken = true;
        if (word == "file" || word == "callback")
            options.file = word == "file";
        else if (word == "driver-buffer")
            options.driverBuffer = true;
        else if (word == "force")
            options.force = true;
        else
            taken =
                equals != std::string::npos && TakeSetting(word.substr(0, equals), word.substr(equals + 1), options);
        if (!taken) {
            *why = "not an acquire option: " + word;
            return std::nullopt;
        }
    }
    options.feederChanges.push_back({WIA_IPA_TYMED, options.file ? TYMED_FILE : TYMED_CALLBACK});
    return options;
}

HRESULT Acquire(WiaDeviceHost& host, const AcquireOptions& options, const BmpPageFiles::Show& show,
                const BmpPageFiles::ShowPercent& percent)
{
    plat::wia::WiaItem* root = host.FindItem(u"Root");
    plat::wia::WiaItem* feeder = host.FindItem(u"Feeder");
    if (!root || !feeder)
        return E_UNEXPECTED;
    std::string problem = cli::CheckPageFolder(options.folder, 0);
    if (problem.empty())
        problem = cli::CheckPageNumbers(options.folder, {"bmp"}, options.firstNumber, options.force);
    if (!problem.empty()) {
        show(problem);
        return E_INVALIDARG;
    }
    // The resolution goes first: a change of it rescales the scan window,
    // which the window's own values then replace.
    std::vector<std::pair<PROPID, LONG>> resolution, others;
    for (const auto& change : options.feederChanges)
        (change.first == WIA_IPS_XRES || change.first == WIA_IPS_YRES ? resolution : others).push_back(change);
    HRESULT hr = WriteChanges(host, *root, options.rootChanges);
    if (SUCCEEDED(hr))
        hr = WriteChanges(host, *feeder, resolution);
    if (SUCCEEDED(hr))
        hr = WriteChanges(host, *feeder, others);
    if (FAILED(hr)) {
        show("settings refused: " + DescribeResult(hr));
        return hr;
    }
    const LONG asked = AskedPages(*root);
    BmpPageFiles files(options.folder, show, percent, options.firstNumber);
    CallbackPages callback(files);
    callback.CancelAtPage(options.cancelPage);
    for (int transfer = 1;; ++transfer) {
        const int before = files.Pages();
        hr = options.file ? FileTransfer(host, *feeder, files, callback, options)
                          : CallbackTransfer(host, *feeder, files, callback, options);
        show("transfer " + std::to_string(transfer) + ": " + DescribeResult(hr));
        if (const long lines = files.TakeCutLines(); lines > 0 && FAILED(hr))
            show("page " + std::to_string(files.PageNumber()) + " cut short at line " + std::to_string(lines) + ": " +
                 DescribeResult(hr) + "; not kept");
        // As an application reads the answers: S_OK leaves more to come;
        // the end of the media, an empty feeder, a fault or a cancel ends it.
        const bool more = hr == S_OK && !cli::Interrupted();
        const bool done = asked != 0 && files.Pages() >= asked;
        if (!more || done || files.Pages() == before)
            break;
    }
    if (options.file && hr == WIA_ERROR_PAPER_EMPTY && files.Pages() > 0)
        hr = WIA_STATUS_END_OF_MEDIA; // how a run of file transfers ends
    show(cli::PagesSummary(files.Pages(), options.folder, options.firstNumber, "bmp"));
    return hr;
}

} // namespace wiascan
