// The library's empty classes: registered and creatable, with interfaces
// that have no operations of their own (RNXQueue's payload source only
// answers E_NOTIMPL).
#pragma once

#include "platform/windows.h"

HRESULT CreatePipelineManager(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateQueue(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateDestination(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateDestinationModule(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateTestFree(IUnknown* outer, REFIID riid, void** ppv);
