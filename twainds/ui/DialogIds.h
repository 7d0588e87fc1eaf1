// Template, control and string ids of the data source's dialogs.
#pragma once

// Dialog templates.
constexpr unsigned IDD_MAIN_DIALOG = 1000;
constexpr unsigned IDD_PAGE_PROFILES = 1001;
constexpr unsigned IDD_PAGE_SCAN_SETTINGS = 1002;
constexpr unsigned IDD_PAGE_DOCUMENT_SETTINGS = 1003;
constexpr unsigned IDD_PAGE_IMAGE_ENHANCEMENT = 1004;
constexpr unsigned IDD_PAGE_ABOUT = 1005;

// Main dialog.
constexpr int IDC_MAIN_TABS = 2000;
constexpr int IDC_MAIN_STATUS = 1033;
constexpr int IDC_MAIN_ICON = 2017;

// Scan settings page.
constexpr int IDC_RESOLUTION = 221;
constexpr int IDC_RESOLUTION_TEXT = 222;
constexpr int IDC_RESOLUTION_MIN = 224;
constexpr int IDC_RESOLUTION_MAX = 227;
constexpr int IDC_MODE_BW = 223;
constexpr int IDC_MODE_GRAY = 225;
constexpr int IDC_MODE_COLOR = 226;
constexpr int IDC_PAGE_SOURCE = 2002;
constexpr int IDC_SINGLE_SIDED = 262;
constexpr int IDC_DOUBLE_SIDED = 263;
constexpr int IDC_STANDARD_SIZES = 249;
constexpr int IDC_PORTRAIT = 265;
constexpr int IDC_LANDSCAPE = 264;
constexpr int IDC_STANDARD_SIZE = 260;
constexpr int IDC_CUSTOM_SIZE = 261;
constexpr int IDC_CUSTOM_UNITS = 259;
constexpr int IDC_CUSTOM_WIDTH = 257;
constexpr int IDC_CUSTOM_HEIGHT = 248;
constexpr int IDC_LONG_DOCUMENT = 2060;

// Strings.
constexpr unsigned IDS_SCAN_SETTINGS = 10003;
constexpr unsigned IDS_TAB_CONFIGURATIONS = 10005;
constexpr unsigned IDS_TAB_SCAN_SETTINGS = 10006;
constexpr unsigned IDS_TAB_DOCUMENT_SETTINGS = 10007;
constexpr unsigned IDS_TAB_IMAGE_ENHANCEMENTS = 10010;
constexpr unsigned IDS_TAB_ABOUT = 10015;
constexpr unsigned IDS_SCAN = 10016;
constexpr unsigned IDS_ADF = 10018;
constexpr unsigned IDS_FLATBED = 10019;
constexpr unsigned IDS_DPI = 10026;
constexpr unsigned IDS_MM = 10027;
constexpr unsigned IDS_INCHES = 10028;
constexpr unsigned IDS_DONE = 10033;
constexpr unsigned IDS_SIZE_SET_TO_MAXIMUM = 10202;
constexpr unsigned IDS_SIZE_SET_TO_MINIMUM = 10203;
constexpr unsigned IDS_SIZE_TOO_LARGE = 10204;
constexpr unsigned IDS_SIZE_TOO_SMALL = 10205;
