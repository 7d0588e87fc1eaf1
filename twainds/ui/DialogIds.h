// Template, control and string ids of the data source's dialogs.
#pragma once

// Dialog templates.
constexpr unsigned IDD_MAIN_DIALOG = 1000;
constexpr unsigned IDD_PAGE_PROFILES = 1001;
constexpr unsigned IDD_PAGE_SCAN_SETTINGS = 1002;
constexpr unsigned IDD_PAGE_DOCUMENT_SETTINGS = 1003;
constexpr unsigned IDD_PAGE_IMAGE_ENHANCEMENT = 1004;
constexpr unsigned IDD_PAGE_ABOUT = 1005;
constexpr unsigned IDD_SAVE_PROFILE = 10016;
constexpr unsigned IDD_SCAN_PROGRESS = 10014;

// Icons.
constexpr unsigned IDI_MODE_BLACK_AND_WHITE = 1100;
constexpr unsigned IDI_MODE_COLOR = 1101;
constexpr unsigned IDI_MODE_GRAYSCALE = 1102;
constexpr unsigned IDI_SCANNER = 1104;

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

// Image enhancement page.
constexpr int IDC_INVERT = 2004;
constexpr int IDC_MIRROR = 2017;
constexpr int IDC_DESPECKLE = 2005;
constexpr int IDC_SPECKLE_DIAMETER_LABEL = 2016;
constexpr int IDC_SPECKLE_DIAMETER = 2031;
constexpr int IDC_SPECKLE_DIAMETER_TEXT = 2032;
constexpr int IDC_SPECKLE_DIAMETER_MIN = 2033;
constexpr int IDC_SPECKLE_DIAMETER_MAX = 2034;
constexpr int IDC_COLOR_DROPOUT = 2030;
constexpr int IDC_DROPOUT_RED = 2009;
constexpr int IDC_DROPOUT_GREEN = 2010;
constexpr int IDC_DROPOUT_BLUE = 2011;
constexpr int IDC_BRIGHTNESS_LABEL = 2038;
constexpr int IDC_BRIGHTNESS = 227;
constexpr int IDC_BRIGHTNESS_TEXT = 228;
constexpr int IDC_BRIGHTNESS_LOW = 2006;
constexpr int IDC_BRIGHTNESS_HIGH = 231;
constexpr int IDC_CONTRAST_LABEL = 2039;
constexpr int IDC_CONTRAST = 229;
constexpr int IDC_CONTRAST_TEXT = 230;
constexpr int IDC_CONTRAST_LOW = 2007;
constexpr int IDC_CONTRAST_HIGH = 233;
constexpr int IDC_TECHNIQUE_LABEL = 2040;
constexpr int IDC_TECHNIQUE_TEXT = 2025;
constexpr int IDC_TECHNIQUE_PHOTO = 2026;
constexpr int IDC_TECHNIQUE_MIXED = 2027;
constexpr int IDC_TECHNIQUE_DYNAMIC = 2028;
constexpr int IDC_HALFTONE_METHOD_LABEL = 2041;
constexpr int IDC_HALFTONE_METHOD = 2018;
constexpr int IDC_THRESHOLD_LABEL = 2043;
constexpr int IDC_THRESHOLD = 236;
constexpr int IDC_THRESHOLD_TEXT = 237;
constexpr int IDC_THRESHOLD_LIGHT = 2014;
constexpr int IDC_THRESHOLD_DARK = 238;
constexpr int IDC_DYNAMIC_THRESHOLD_LABEL = 2042;
constexpr int IDC_DYNAMIC_THRESHOLD = 232;
constexpr int IDC_DYNAMIC_THRESHOLD_TEXT = 234;
constexpr int IDC_DYNAMIC_THRESHOLD_LIGHT = 2012;
constexpr int IDC_DYNAMIC_THRESHOLD_DARK = 235;

// Document settings page.
constexpr int IDC_CROP_WIDTH = 2007;
constexpr int IDC_CROP_LENGTH = 2008;
constexpr int IDC_DOUBLE_FEED = 2003;
constexpr int IDC_DFD_SENSITIVITY = 2019;
constexpr int IDC_DFD_LOW = 2020;
constexpr int IDC_DFD_NORMAL = 2022;
constexpr int IDC_DFD_HIGH = 2021;
constexpr int IDC_SKEW = 2004;

// About page.
constexpr int IDC_ABOUT_DESCRIPTION = 2057;
constexpr int IDC_ABOUT_COPYRIGHT = 2058;
constexpr int IDC_ABOUT_DRIVER_VERSION = 2055;
constexpr int IDC_ABOUT_DEVICE_NAME = 2051;
constexpr int IDC_ABOUT_DEVICE_INFORMATION = 2050;
constexpr int IDC_ABOUT_SERIAL_NUMBER = 2052;
constexpr int IDC_ABOUT_PAGE_COUNTER = 2053;
constexpr int IDC_ABOUT_FRONT_BACKGROUND = 2049;
constexpr int IDC_ABOUT_BACK_BACKGROUND = 2048;
constexpr int IDC_ABOUT_MEMORY = 2046;
constexpr int IDC_ABOUT_LAMP_TIMER = 2047;
constexpr int IDC_ABOUT_FIRMWARE = 2054;
constexpr int IDC_ABOUT_REFRESH = 2045;
constexpr int IDC_ABOUT_SUPPORT_TEXT = 2060;
constexpr int IDC_ABOUT_SUPPORT_LINK = 2044;
// Scan progress dialog.
constexpr int IDC_PROGRESS_BAR = 2022;
constexpr int IDC_PROGRESS_METHOD = 2023;
constexpr int IDC_PROGRESS_IMAGE = 2037;

// Profiles page and save-profile dialog.
constexpr int IDC_PROFILE_LIST = 2035;
constexpr int IDC_PROFILE_SUMMARY = 2059;
constexpr int IDC_PROFILE_SAVE = 1028;
constexpr int IDC_PROFILE_EXPORT = 1027;
constexpr int IDC_PROFILE_IMPORT = 1024;
constexpr int IDC_PROFILE_MERGE = 1026;
constexpr int IDC_PROFILE_DELETE = 1032;
constexpr int IDC_PROFILE_NAME = 2056;

// Strings.
constexpr unsigned IDS_SCAN_SETTINGS = 10003;
constexpr unsigned IDS_TAB_CONFIGURATIONS = 10005;
constexpr unsigned IDS_TAB_SCAN_SETTINGS = 10006;
constexpr unsigned IDS_TAB_DOCUMENT_SETTINGS = 10007;
constexpr unsigned IDS_CURRENT_SETTINGS = 10008;
constexpr unsigned IDS_TAB_IMAGE_ENHANCEMENTS = 10010;
constexpr unsigned IDS_PROFILE_EXISTS = 10011;
constexpr unsigned IDS_PROFILE_NAME_REFUSED = 10012;
constexpr unsigned IDS_TAB_ABOUT = 10015;
constexpr unsigned IDS_SCAN = 10016;
constexpr unsigned IDS_ADF = 10018;
constexpr unsigned IDS_FLATBED = 10019;
constexpr unsigned IDS_PROFILE_WRITE_FAILED = 10022;
constexpr unsigned IDS_PROFILE_LOAD_PROBLEM = 10023;
constexpr unsigned IDS_DPI = 10026;
constexpr unsigned IDS_MM = 10027;
constexpr unsigned IDS_INCHES = 10028;
constexpr unsigned IDS_EXPORT_TITLE = 10029;
constexpr unsigned IDS_IMPORT_TITLE = 10030;
constexpr unsigned IDS_PROFILE_DELETE_QUESTION = 10031;
constexpr unsigned IDS_SUPPORT_ADDRESS = 10032;
constexpr unsigned IDS_DONE = 10033;
constexpr unsigned IDS_SUPPORT_LINK = 10035;
constexpr unsigned IDS_SCAN_PROGRESS = 10034;
constexpr unsigned IDS_XFER_NATIVE = 10268;
constexpr unsigned IDS_XFER_FILE = 10269;
constexpr unsigned IDS_XFER_MEMORY = 10270;
constexpr unsigned IDS_XFER_IMAGE = 10271;
constexpr unsigned IDS_XFER_CANCELLED = 10303;
constexpr unsigned IDS_SCAN_ERROR_CAPTION = 10200;
constexpr unsigned IDS_SIZE_SET_TO_MAXIMUM = 10202;
constexpr unsigned IDS_SIZE_SET_TO_MINIMUM = 10203;
constexpr unsigned IDS_SIZE_TOO_LARGE = 10204;
constexpr unsigned IDS_SIZE_TOO_SMALL = 10205;
constexpr unsigned IDS_ERROR_DIFFUSION = 10257;
constexpr unsigned IDS_SKEW_OFF = 10258;
constexpr unsigned IDS_SKEW_DETECT_AND_STOP = 10259;
constexpr unsigned IDS_SKEW_DETECT_ONLY = 10260;
constexpr unsigned IDS_DFD_OFF = 10262;
constexpr unsigned IDS_DFD_DETECT_AND_STOP = 10263;
constexpr unsigned IDS_DFD_DETECT_ONLY = 10264;
constexpr unsigned IDS_SUMMARY = 10292;
constexpr unsigned IDS_SUMMARY_BLACK_AND_WHITE = 10293;
constexpr unsigned IDS_SUMMARY_GRAYSCALE = 10294;
constexpr unsigned IDS_SUMMARY_COLOR = 10295;
constexpr unsigned IDS_SUMMARY_SINGLE_SIDED = 10296;
constexpr unsigned IDS_SUMMARY_DOUBLE_SIDED = 10297;
constexpr unsigned IDS_SUMMARY_ADF = 10298;
constexpr unsigned IDS_CUSTOM_SIZE_SUMMARY = 10299;
constexpr unsigned IDS_BLACK = 10300;
constexpr unsigned IDS_WHITE = 10301;
constexpr unsigned IDS_MEMORY_MBYTES = 10302;
