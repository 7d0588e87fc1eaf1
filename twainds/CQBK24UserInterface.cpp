// The settings dialog as the data source makes it when the application
// enables the user interface.
#include "twainds/CQBK24DataSource.h"

#include "twainds/ui/CMainDSDlg.h"
#include "twainds/ui/DialogIds.h"
#include "twainds/ui/ResourceText.h"

#include <memory>
#include <new>

Trellis::CTWAINWindow* CQBK24DataSource::CreateUIWindow(Trellis::CTWAINWindow* parent, bool uiOnly)
{
    std::unique_ptr<CMainDSDlg> dialog(new (std::nothrow) CMainDSDlg(this, uiOnly));
    if (!dialog)
        ThrowFailure(TWCC_LOWMEMORY);
    const auto* owner = dynamic_cast<const Trellis::CTWAINForeignWindow*>(parent);
    if (!dialog->CreateOwned(IDD_MAIN_DIALOG, owner ? owner->GetHandle() : nullptr))
        ThrowFailure(TWCC_LOWMEMORY);
    const std::u16string title = Utf8ToUtf16(FriendlyName) + u": " + qbk24::ResourceText(m_hModule, IDS_SCAN_SETTINGS);
    dialog->SetWindowText(title.c_str());
    MainDialog = dialog.get();
    return dialog.release();
}
