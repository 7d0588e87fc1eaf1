// The hardware service's object lent to the calling thread for one
// operation: taken from the Global Interface Table when made, released (and
// COM left again when the loan had to enter it) when it goes.
#pragma once

#include "halservice/interfaces/RNXHALInterfaces.h"
#include "stillimage/CRNX_STIWIA_Driver.h"

class LentHal {
public:
    explicit LentHal(CRNX_STIWIA_Driver& driver) : m_hal(driver.GetHalFromGit(&m_comInitialized)) {}
    ~LentHal()
    {
        if (m_hal)
            m_hal->Release();
        if (m_comInitialized)
            CoUninitialize();
    }
    LentHal(const LentHal&) = delete;
    LentHal& operator=(const LentHal&) = delete;

    explicit operator bool() const { return m_hal != nullptr; }
    IRNXHALS* operator->() const { return m_hal; }
    IRNXHALS* Get() const { return m_hal; }

private:
    bool m_comInitialized = false; // declared first: the constructor fills it through m_hal's initialiser
    IRNXHALS* m_hal;
};
