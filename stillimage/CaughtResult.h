// Runs one step of a COM method and turns what it raises into an HRESULT, so
// that nothing raised crosses the method: a COM error gives its own code, out
// of memory E_OUTOFMEMORY, anything else E_FAIL.
#pragma once

#include "platform/windows.h"

#include <new>

template <typename Step>
HRESULT CaughtResult(Step step) noexcept
{
    try {
        return step();
    } catch (const _com_error& error) {
        return error.Error();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}
