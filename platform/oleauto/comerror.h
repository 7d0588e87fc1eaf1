// _com_error: the exception that carries a failed HRESULT out of COM call
// wrappers, and _com_issue_error, which throws it.
#pragma once

#include "platform/base/wintypes.h"

class _com_error {
public:
    explicit _com_error(HRESULT hr) noexcept : hr_(hr) {}

    HRESULT Error() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

[[noreturn]] void _com_issue_error(HRESULT hr);
