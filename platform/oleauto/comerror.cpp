#include "platform/oleauto/comerror.h"

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }
