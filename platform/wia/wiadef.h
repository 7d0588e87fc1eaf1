// The image-acquisition service's numbers: property ids, access and
// valid-value flags, item types, and the values of the standard properties.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/tymed.h"
#include "platform/wia/propidl.h"

// Device properties.
constexpr PROPID WIA_DIP_DEV_ID = 2;
constexpr PROPID WIA_DPA_FIRMWARE_VERSION = 1026;
constexpr PROPID WIA_DPA_CONNECT_STATUS = 1027;
constexpr PROPID WIA_DPS_HORIZONTAL_BED_SIZE = 3074;
constexpr PROPID WIA_DPS_VERTICAL_BED_SIZE = 3075;
constexpr PROPID WIA_DPS_HORIZONTAL_SHEET_FEED_SIZE = 3076;
constexpr PROPID WIA_DPS_VERTICAL_SHEET_FEED_SIZE = 3077;
constexpr PROPID WIA_DPS_SHEET_FEEDER_REGISTRATION = 3078;
constexpr PROPID WIA_DPS_DOCUMENT_HANDLING_CAPABILITIES = 3086;
constexpr PROPID WIA_DPS_DOCUMENT_HANDLING_STATUS = 3087;
constexpr PROPID WIA_DPS_DOCUMENT_HANDLING_SELECT = 3088;
constexpr PROPID WIA_DPS_OPTICAL_XRES = 3090;
constexpr PROPID WIA_DPS_OPTICAL_YRES = 3091;
constexpr PROPID WIA_DPS_MAX_SCAN_TIME = 3095;
constexpr PROPID WIA_DPS_PAGES = 3096;
constexpr PROPID WIA_DPS_PREVIEW = 3100;
constexpr PROPID WIA_DPS_SHOW_PREVIEW_CONTROL = 3103;

// Item properties.
constexpr PROPID WIA_IPA_ACCESS_RIGHTS = 4102;
constexpr PROPID WIA_IPA_DATATYPE = 4103;
constexpr PROPID WIA_IPA_DEPTH = 4104;
constexpr PROPID WIA_IPA_PREFERRED_FORMAT = 4105;
constexpr PROPID WIA_IPA_FORMAT = 4106;
constexpr PROPID WIA_IPA_COMPRESSION = 4107;
constexpr PROPID WIA_IPA_TYMED = 4108;
constexpr PROPID WIA_IPA_CHANNELS_PER_PIXEL = 4109;
constexpr PROPID WIA_IPA_BITS_PER_CHANNEL = 4110;
constexpr PROPID WIA_IPA_PLANAR = 4111;
constexpr PROPID WIA_IPA_PIXELS_PER_LINE = 4112;
constexpr PROPID WIA_IPA_BYTES_PER_LINE = 4113;
constexpr PROPID WIA_IPA_NUMBER_OF_LINES = 4114;
constexpr PROPID WIA_IPA_ITEM_SIZE = 4116;
constexpr PROPID WIA_IPA_MIN_BUFFER_SIZE = 4118;
constexpr PROPID WIA_IPS_CUR_INTENT = 6146;
constexpr PROPID WIA_IPS_XRES = 6147;
constexpr PROPID WIA_IPS_YRES = 6148;
constexpr PROPID WIA_IPS_XPOS = 6149;
constexpr PROPID WIA_IPS_YPOS = 6150;
constexpr PROPID WIA_IPS_XEXTENT = 6151;
constexpr PROPID WIA_IPS_YEXTENT = 6152;
constexpr PROPID WIA_IPS_PHOTOMETRIC_INTERP = 6153;
constexpr PROPID WIA_IPS_BRIGHTNESS = 6154;
constexpr PROPID WIA_IPS_CONTRAST = 6155;
constexpr PROPID WIA_IPS_THRESHOLD = 6159;
constexpr PROPID WIA_IPS_WARM_UP_TIME = 6161;

// Access and valid-value kind of a property.
constexpr ULONG WIA_PROP_READ = 0x01;
constexpr ULONG WIA_PROP_WRITE = 0x02;
constexpr ULONG WIA_PROP_RW = WIA_PROP_READ | WIA_PROP_WRITE;
constexpr ULONG WIA_PROP_SYNC_REQUIRED = 0x04;
constexpr ULONG WIA_PROP_NONE = 0x08;
constexpr ULONG WIA_PROP_RANGE = 0x10;
constexpr ULONG WIA_PROP_LIST = 0x20;
constexpr ULONG WIA_PROP_FLAG = 0x40;
constexpr ULONG WIA_PROP_CACHEABLE = 0x10000;

// Item type flags.
constexpr LONG WiaItemTypeFree = 0x0;
constexpr LONG WiaItemTypeImage = 0x1;
constexpr LONG WiaItemTypeFile = 0x2;
constexpr LONG WiaItemTypeFolder = 0x4;
constexpr LONG WiaItemTypeRoot = 0x8;
constexpr LONG WiaItemTypeAnalyze = 0x10;
constexpr LONG WiaItemTypeAudio = 0x20;
constexpr LONG WiaItemTypeDevice = 0x40;
constexpr LONG WiaItemTypeDeleted = 0x80;
constexpr LONG WiaItemTypeDisconnected = 0x100;
constexpr LONG WiaItemTypeHPanorama = 0x200;
constexpr LONG WiaItemTypeVPanorama = 0x400;
constexpr LONG WiaItemTypeBurst = 0x800;
constexpr LONG WiaItemTypeStorage = 0x1000;
constexpr LONG WiaItemTypeTransfer = 0x2000;
constexpr LONG WiaItemTypeGenerated = 0x4000;
constexpr LONG WiaItemTypeHasAttachments = 0x8000;
constexpr LONG WiaItemTypeVideo = 0x10000;

// Property values.
constexpr LONG WIA_DEVICE_NOT_CONNECTED = 0;
constexpr LONG WIA_DEVICE_CONNECTED = 1;

constexpr LONG WIA_DATA_THRESHOLD = 0;
constexpr LONG WIA_DATA_DITHER = 1;
constexpr LONG WIA_DATA_GRAYSCALE = 2;
constexpr LONG WIA_DATA_COLOR = 3;

constexpr LONG WIA_COMPRESSION_NONE = 0;
constexpr LONG WIA_PACKED_PIXEL = 0;
constexpr LONG WIA_PLANAR = 1;
constexpr LONG WIA_PHOTO_WHITE_1 = 0;
constexpr LONG WIA_PHOTO_WHITE_0 = 1;

constexpr LONG WIA_FINAL_SCAN = 0;
constexpr LONG WIA_PREVIEW_SCAN = 1;
constexpr LONG WIA_SHOW_PREVIEW_CONTROL = 0;
constexpr LONG WIA_DONT_SHOW_PREVIEW_CONTROL = 1;

constexpr LONG WIA_ITEM_READ = 1;
constexpr LONG WIA_ITEM_WRITE = 2;
constexpr LONG WIA_ITEM_RD = WIA_ITEM_READ;
constexpr LONG WIA_ITEM_RWD = WIA_ITEM_READ | WIA_ITEM_WRITE | 4;

constexpr LONG TYMED_CALLBACK = 128;
constexpr LONG TYMED_MULTIPAGE_FILE = 256;
constexpr LONG TYMED_MULTIPAGE_CALLBACK = 512;

// Document handling: capabilities, status and selection bits.
constexpr LONG FEED = 0x01;
constexpr LONG FLAT = 0x02;
constexpr LONG DUP = 0x04;
constexpr LONG DETECT_FLAT = 0x08;
constexpr LONG DETECT_SCAN = 0x10;
constexpr LONG DETECT_FEED = 0x20;
constexpr LONG DETECT_DUP = 0x40;
constexpr LONG FEED_READY = 0x01;
constexpr LONG FLAT_READY = 0x02;
constexpr LONG DUP_READY = 0x04;
constexpr LONG FEEDER = 0x01;
constexpr LONG FLATBED = 0x02;
constexpr LONG DUPLEX = 0x04;
constexpr LONG FRONT_FIRST = 0x08;
constexpr LONG LEFT_JUSTIFIED = 0;
constexpr LONG CENTERED = 1;
constexpr LONG RIGHT_JUSTIFIED = 2;

// Intents: an image-type part and a size part.
constexpr LONG WIA_INTENT_NONE = 0;
constexpr LONG WIA_INTENT_IMAGE_TYPE_COLOR = 0x1;
constexpr LONG WIA_INTENT_IMAGE_TYPE_GRAYSCALE = 0x2;
constexpr LONG WIA_INTENT_IMAGE_TYPE_TEXT = 0x4;
constexpr LONG WIA_INTENT_IMAGE_TYPE_MASK = 0xF;
constexpr LONG WIA_INTENT_MINIMIZE_SIZE = 0x10000;
constexpr LONG WIA_INTENT_MAXIMIZE_QUALITY = 0x20000;
constexpr LONG WIA_INTENT_SIZE_MASK = 0xF0000;

// Transfer formats.
inline constexpr GUID WiaImgFmt_MEMORYBMP = plat::MakeGuid("B96B3CAA-0728-11D3-9D7B-0000F81EF32E");
inline constexpr GUID WiaImgFmt_BMP = plat::MakeGuid("B96B3CAB-0728-11D3-9D7B-0000F81EF32E");

// The access and valid values of one property.
struct WIA_PROPERTY_INFO {
    ULONG lAccessFlags;
    VARTYPE vt;
    union {
        struct {
            LONG Min;
            LONG Nom;
            LONG Max;
            LONG Inc;
        } Range;
        struct {
            LONG cNumList;
            LONG Nom;
            BYTE* pList;
        } List;
        struct {
            LONG cNumList;
            GUID Nom;
            GUID* pList;
        } ListGuid;
        struct {
            LONG Nom;
            LONG ValidBits;
        } Flag;
        struct {
            LONG Dummy;
        } None;
    } ValidVal;
};
using PWIA_PROPERTY_INFO = WIA_PROPERTY_INFO*;

// The properties a validation looks at, and which of them the client changed.
struct WIA_PROPERTY_CONTEXT {
    ULONG cProps;
    PROPID* pProps;
    BOOL* pChanged;
};
using PWIA_PROPERTY_CONTEXT = WIA_PROPERTY_CONTEXT*;

struct WIAS_CHANGED_VALUE_INFO {
    BOOL bChanged;
    LONG vt;
    union {
        LONG lVal;
        FLOAT fltVal;
        BSTR bstrVal;
        GUID guidVal;
    } Old;
    union {
        LONG lVal;
        FLOAT fltVal;
        BSTR bstrVal;
        GUID guidVal;
    } Current;
};
using PWIAS_CHANGED_VALUE_INFO = WIAS_CHANGED_VALUE_INFO*;

// Commands and events a driver announces.
constexpr LONG WIA_DEVICE_COMMANDS = 0x1;
constexpr LONG WIA_DEVICE_EVENTS = 0x2;
constexpr ULONG WIA_NOTIFICATION_EVENT = 0x1;
constexpr ULONG WIA_ACTION_EVENT = 0x2;
inline constexpr GUID WIA_CMD_SYNCHRONIZE = plat::MakeGuid("9B26B7B2-ACAD-11D2-A093-00C04F72DC3C");
inline constexpr GUID WIA_EVENT_DEVICE_CONNECTED = plat::MakeGuid("A28BBADE-64B6-11D2-A231-00C04FA31809");
inline constexpr GUID WIA_EVENT_DEVICE_DISCONNECTED = plat::MakeGuid("143E4E83-6497-11D2-A231-00C04FA31809");
// Events the service passes on to a driver (drvNotifyPnpEvent).
inline constexpr GUID WIA_EVENT_POWER_SUSPEND = plat::MakeGuid("A0922FF9-C3B4-411C-9E29-03A66993D2BE");
inline constexpr GUID WIA_EVENT_POWER_RESUME = plat::MakeGuid("618F153E-F686-4350-9634-4115A304830C");
inline constexpr GUID WIA_EVENT_CANCEL_IO = plat::MakeGuid("C860F7B8-9CCD-41EA-BBBF-4DD09C0B1795");

// Results of the image-acquisition service: the errors a driver reports for
// a transfer, the device manager's answer for an unknown device, and the
// success code of a transfer that ended because the feeder has no more
// paper.
constexpr HRESULT WIA_ERROR_GENERAL_ERROR = static_cast<HRESULT>(0x80210001u);
constexpr HRESULT WIA_ERROR_PAPER_JAM = static_cast<HRESULT>(0x80210002u);
constexpr HRESULT WIA_ERROR_PAPER_EMPTY = static_cast<HRESULT>(0x80210003u);
constexpr HRESULT WIA_ERROR_PAPER_PROBLEM = static_cast<HRESULT>(0x80210004u);
constexpr HRESULT WIA_ERROR_OFFLINE = static_cast<HRESULT>(0x80210005u);
constexpr HRESULT WIA_ERROR_BUSY = static_cast<HRESULT>(0x80210006u);
constexpr HRESULT WIA_ERROR_DEVICE_COMMUNICATION = static_cast<HRESULT>(0x8021000Au);
constexpr HRESULT WIA_ERROR_COVER_OPEN = static_cast<HRESULT>(0x80210016u);
constexpr HRESULT WIA_ERROR_MULTI_FEED = static_cast<HRESULT>(0x80210020u);
constexpr HRESULT WIA_S_NO_DEVICE_AVAILABLE = static_cast<HRESULT>(0x80210015u);
constexpr HRESULT WIA_STATUS_END_OF_MEDIA = static_cast<HRESULT>(0x00210001u);

// Why a driver calls the transfer callback, and what the transfer is doing.
constexpr LONG IT_MSG_DATA_HEADER = 1;
constexpr LONG IT_MSG_DATA = 2;
constexpr LONG IT_MSG_STATUS = 3;
constexpr LONG IT_MSG_TERMINATION = 4;
constexpr LONG IT_MSG_NEW_PAGE = 5;
constexpr LONG IT_STATUS_TRANSFER_FROM_DEVICE = 1;
constexpr LONG IT_STATUS_PROCESSING_DATA = 2;
constexpr LONG IT_STATUS_TRANSFER_TO_CLIENT = 4;
