#include "twainds/CQBK24TWAINApp.h"

#include "platform/ui/CDialog.h"
#include "twainds/CQBK24DataSource.h"

BOOL CQBK24TWAINApp::InitInstance()
{
    AfxInitRichEdit2();
    CoInitialize(nullptr);
    // The link class serves the About page's hyperlink.
    const INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&init);
    return TRUE;
}

int CQBK24TWAINApp::ExitInstance()
{
    if (m_DataSource) {
        m_DataSource->Terminate();
        delete m_DataSource;
        m_DataSource = nullptr;
    }
    return 0;
}
