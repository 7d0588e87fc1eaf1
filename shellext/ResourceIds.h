// Resource numbers of the library: its dialog, strings, icon and
// registration scripts, and the controls of the page.
#pragma once

#include "platform/windows.h"

constexpr WORD IDS_PROJNAME = 100;
constexpr WORD IDD_RNXHWPROPERTYPAGE = 103;
constexpr WORD IDS_TITLERNXHWPropertyPage = 104;
constexpr WORD IDS_HELPFILERNXHWPropertyPage = 105;
constexpr WORD IDS_DOCSTRINGRNXHWPropertyPage = 106;
constexpr WORD IDI_DEVICE_ICON = 201;

// Registration scripts (REGISTRY resources).
constexpr WORD IDR_RNXSHELLEXT = 300;
constexpr WORD IDR_RNXWIADIALOGEXTHANDLER = 301;
constexpr WORD IDR_RNXHWPROPERTYPAGE = 302;

// Controls of dialog 103; 2044 and 2046 are also strings.
constexpr int IDC_SYSLINK_SUPPORT = 2044;
constexpr int IDC_STATIC_SUPPORT = 2045;
constexpr int IDS_SUPPORT_URL = 2046;
constexpr int IDC_DEVICE_INFO = 2050;
constexpr int IDC_PRODUCT_NAME = 2051;
constexpr int IDC_COPYRIGHT = 2052;
constexpr int IDC_FILE_VERSION = 2055;
