#include "twainds/CQBK24TWAINApp.h"

#include "twainds/CQBK24DataSource.h"

BOOL CQBK24TWAINApp::InitInstance()
{
    // The rich-edit and common-control classes of the dialogs are
    // registered by the dialog layer when it comes.
    CoInitialize(nullptr);
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
