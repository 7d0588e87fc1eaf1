// The installed scanner's TWAIN data source as an application holds it:
// the library loaded from the device's TWAIN_DS_PATH, opened, and its
// notifications received.
#pragma once

#include "platform/twain/twain.h"
#include "platform/windows.h"

#include <functional>
#include <string>

namespace dialogpictures {

class DataSourceSession {
public:
    DataSourceSession() = default;
    ~DataSourceSession();
    DataSourceSession(const DataSourceSession&) = delete;
    DataSourceSession& operator=(const DataSourceSession&) = delete;

    // Loads and opens the source, with memory transfers and, when
    // `indicators`, the progress dialog; false (with a line on stderr) when
    // it cannot.
    bool Open(bool indicators = true);
    // MSG_ENABLEDS with the dialog; the dialog's window, or null.
    HWND ShowSettings();
    // Presses Scan and transfers one image into memory; `between` sees the
    // progress dialog between two buffers. False when no image came.
    bool ScanOneImage(HWND dialog, const std::function<void(HWND progress)>& between);

    // Presses Scan: true when the source says an image is ready.
    bool PressScan(HWND dialog);
    // MSG_ENABLEDS without the dialog: true when the source says an image
    // is ready.
    bool EnableWithoutDialog();
    // Transfers the next image into memory in buffers of `bufferSize` and
    // ends it; `between` (if given) sees the progress dialog, if there is
    // one, between two buffers. The buffers it took go to `buffers`, the transfers still
    // pending to `pending`. False when no image came.
    bool TransferImage(TW_UINT32 bufferSize, const std::function<void(HWND progress)>& between, int* buffers,
                       TW_UINT16* pending);

    // Sets a capability of the open source to one value.
    bool SetOneValue(TW_UINT16 capability, TW_UINT16 itemType, TW_UINT32 value);

private:
    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data);

    HMODULE m_library = nullptr;
    DSENTRYPROC m_entry = nullptr;
    TW_IDENTITY m_app{};
    TW_IDENTITY m_source{};
    bool m_com = false;
    bool m_opened = false;
    bool m_enabled = false;
};

} // namespace dialogpictures
