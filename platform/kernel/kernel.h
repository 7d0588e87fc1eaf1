// Kernel objects, threads, waits, time, and message queues with windows.
#pragma once

#include "platform/kernel/KernelObject.h"
#include "platform/kernel/Event.h"
#include "platform/kernel/Mutex.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/Wait.h"
#include "platform/kernel/CriticalSection.h"
#include "platform/kernel/Interlocked.h"
#include "platform/kernel/Time.h"
#include "platform/kernel/Messages.h"
#include "platform/kernel/Window.h"
