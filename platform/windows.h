// The platform layer in one include: what driver code includes where the
// Windows build includes the system headers. Each area adds its header here.
#pragma once

#include "platform/base/wintypes.h"
#include "platform/base/winerror.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/guid.h"
#include "platform/oleauto/taskmem.h"
#include "platform/base/unknwn.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/variant.h"
#include "platform/oleauto/dispatch.h"
#include "platform/oleauto/safearray.h"
#include "platform/oleauto/comerror.h"
#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedVariant.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/globalmem/globalmem.h"
#include "platform/profile/profile.h"
#include "platform/resources/module.h"
#include "platform/resources/resources.h"
#include "platform/resources/version.h"
