// The image-acquisition service as a still-image driver sees it.
#pragma once

#include "platform/wia/propidl.h"
#include "platform/wia/wiadef.h"
#include "platform/wia/wiamindr.h"
#include "platform/wia/wiatransfer.h"
#include "platform/wia/wiaminidrv.h"
#include "platform/wia/sti.h"
