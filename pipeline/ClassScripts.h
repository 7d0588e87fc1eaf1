// Resource numbers of the library's registry scripts.
#pragma once

#include "platform/base/wintypes.h"

#include <string_view>

constexpr WORD IDR_APPID = 100;
constexpr WORD IDR_RNXHALWRAP = 101;
constexpr WORD IDR_RNXRASTERBAND = 102;
constexpr WORD IDR_RNXRBCONVERT = 103;
constexpr WORD IDR_RNXINTERCONNECTION = 104;
constexpr WORD IDR_XMLOBJ = 105;
constexpr WORD IDR_RNXPIPELINEMANAGER = 106;
constexpr WORD IDR_RNXQUEUE = 107;
constexpr WORD IDR_RNXDESTINATION = 108;
constexpr WORD IDR_RNXDESTINATIONMODULE = 109;
constexpr WORD IDR_TESTFREE = 110;
constexpr WORD IDR_RNXMODULE = 111;
constexpr WORD IDR_RNXPAYLOADSOURCE = 112;
constexpr WORD IDR_RNXSOURCE = 113;
constexpr WORD IDR_RNXPAYLOAD = 114;
constexpr WORD IDR_RNXTRANSFORM = 115;
constexpr WORD IDR_ITEMS = 116;

// The script text of resource `id` of this library; empty when missing.
std::string_view LoadRegistryScript(WORD id);
