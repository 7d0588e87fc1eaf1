// The library-wide application object: start-up on load, and on unload the
// end of the process's data source.
#pragma once

#include "platform/windows.h"

class CQBK24DataSource;

class CQBK24TWAINApp {
public:
    BOOL InitInstance();
    int ExitInstance();

    void SetInstanceHandle(HINSTANCE instance) { m_hInstance = instance; }
    HINSTANCE InstanceHandle() const { return m_hInstance; }
    CQBK24DataSource* DataSource() const { return m_DataSource; }
    void SetDataSource(CQBK24DataSource* dataSource) { m_DataSource = dataSource; }

private:
    HINSTANCE m_hInstance = nullptr;
    CQBK24DataSource* m_DataSource = nullptr;
};
