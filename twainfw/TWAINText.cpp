#include "twainfw/TWAINText.h"

namespace Trellis {

const TWAINTextEntry TWAINTextTable[] = {
    // 1000 + TWAIN return code (TWRC_)
    {1000, "TWAIN success."},
    {1001, "TWAIN operation failed."},
    {1002, "Partially successful TWAIN operation."},
    {1003, "TWAIN action cancelled by user."},
    {1004, "TWAIN Data Source event."},
    {1005, "Not a TWAIN Data Source event."},
    {1006, "TWAIN transfer done."},
    {1007, "End of TWAIN Data Source list."},
    {1008, "Image info not supported."},
    {1009, "Image info data not available."},
    {1499, "Unknown TWAIN return code."},
    // 1500 + TWAIN state
    {1501, "Pre Session"},
    {1502, "SM Loaded"},
    {1503, "SM Open"},
    {1504, "DS Open"},
    {1505, "DS Enabled"},
    {1506, "DS Xfer Ready"},
    {1507, "DS Transferring"},
    // 2000 + TWAIN condition code (TWCC_)
    {2000, "It worked!"},
    {2001, "Failure due to unknown causes."},
    {2002, "Not enough memory to perform operation."},
    {2003, "No Data Source."},
    {2004, "Data Source is connected to the maximum possible applications."},
    {2005, "DS or DSM reported error already."},
    {2006, "Unknown capability."},
    {2009, "Unrecognized operation triplet."},
    {2010, "Data parameter out of range."},
    {2011, "Command out of expected sequence."},
    {2012, "Unknown destination in DSM_Entry."},
    {2013, "Capability not supported by source."},
    {2014, "Operation not supported by capability."},
    {2015, "Capability has dependency on other capability."},
    {2016, "File System operation is denied (file is protected)."},
    {2017, "Operation failed because file already exists."},
    {2018, "File not found."},
    {2019, "Operation failed because directory is not empty."},
    {2020, "The feeder is jammed."},
    {2021, "The feeder detected multiple pages."},
    {2022, "Error writing the file (meant for things like disk full conditions)."},
    {2023, "The device went offline prior to or during this operation."},
    {2999, "Unknown TWAIN condition."},
    // 3000 + data group (DG_)
    {3001, "Control"},
    {3002, "Image"},
    {3004, "Audio"},
    {3999, "Unknown DG"},
    // 4000 + data argument type (DAT_)
    {4000, "Null"},
    {4001, "Capability"},
    {4002, "Event"},
    {4003, "Identity"},
    {4004, "Parent"},
    {4005, "PendingXfers"},
    {4006, "SetupMemXfer"},
    {4007, "SetupFileXfer"},
    {4008, "Status"},
    {4009, "UserInterface"},
    {4010, "XferGroup"},
    {4011, "TwunkIdentity"},
    {4012, "CustomDSData"},
    {4013, "DeviceEvent"},
    {4014, "FileSystem"},
    {4015, "PassThru"},
    {4257, "ImageInfo"},
    {4258, "ImageLayout"},
    {4259, "ImageMemXfer"},
    {4260, "ImageNativeXfer"},
    {4261, "ImageFileXfer"},
    {4262, "CIEColor"},
    {4263, "GrayResponse"},
    {4264, "RGBResponse"},
    {4265, "JPEGCompression"},
    {4266, "Palette8"},
    {4267, "ExtImageInfo"},
    {4513, "AudioFileXfer"},
    {4514, "AudioInfo"},
    {4515, "AudioNativeXfer"},
    {4999, "Unknown DAT"},
    // 5000 + message (MSG_)
    {5000, "Null"},
    {5001, "Get"},
    {5002, "GetCurrent"},
    {5003, "GetDefault"},
    {5004, "GetFirst"},
    {5005, "GetNext"},
    {5006, "Set"},
    {5007, "Reset"},
    {5008, "QuerySupport"},
    {5257, "XferReady"},
    {5258, "CloseDSReq"},
    {5259, "CloseDSOK"},
    {5260, "DeviceEvent"},
    {5513, "CheckStatus"},
    {5769, "OpenDSM"},
    {5770, "CloseDSM"},
    {5999, "Unknown MSG"},
    // 6000-6002, framework errors
    {6000, "Error Initializing TWAIN."},
    {6001, "Error Processing TWAIN Messages."},
    {6002, "TWAIN Error During Idle."},
    // 5000 + message (MSG_), continued
    {6025, "OpenDS"},
    {6026, "CloseDS"},
    {6027, "UserSelect"},
    {6281, "DisableDS"},
    {6282, "EnableDS"},
    {6283, "EnableDSUIOnly"},
    {6537, "ProcessEvent"},
    {6793, "EndXfer"},
    // 5000 + message (MSG_), file-system messages
    {7049, "ChangeDirectory"},
    {7050, "CreateDirectory"},
    {7051, "Delete"},
    {7052, "FormatMedia"},
    {7053, "GetClose"},
    {7054, "GetFirstFile"},
    {7055, "GetInfo"},
    {7056, "GetNextFile"},
    {7057, "Rename"},
    // 7000 + capability id below 0x1000
    {7001, "XferCount"},
    // 7000 + capability id, ids 0x0100 and above below 0x1000, and the fallback
    {7305, "PassThru"},
    {7256, "Compression"},
    {7257, "PixelType"},
    {7258, "Units"},
    {7259, "XferMech"},
    {7999, "Unknown Capability."},
    // 7000 + capability id (0x1000 and above)
    {11096, "Author"},
    {11097, "Caption"},
    {11098, "FeederEnabled"},
    {11099, "FeederLoaded"},
    {11100, "TimeDate"},
    {11101, "SupportedCaps"},
    {11102, "ExtendedCaps"},
    {11103, "AutoFeed"},
    {11104, "ClearPage"},
    {11105, "FeedPage"},
    {11106, "RewindPage"},
    {11107, "Indicators"},
    {11108, "SupportedCapsExt"},
    {11109, "PaperDetectable"},
    {11110, "UIControllable"},
    {11111, "DeviceOnline"},
    {11112, "AutoScan"},
    {11117, "CustomDSData"},
    {11118, "Endorser"},
    {11119, "JobControl"},
    {11352, "AutoBright"},
    {11353, "Brightness"},
    {11355, "Contrast"},
    {11356, "CustHalfTone"},
    {11357, "ExposureTime"},
    {11358, "Filter"},
    {11359, "FlashUsed"},
    {11360, "Gamma"},
    {11361, "HalfTones"},
    {11362, "Highlight"},
    {11364, "ImageFileFormat"},
    {11365, "LampState"},
    {11366, "LightSource"},
    {11368, "Orientation"},
    {11369, "PhysicalWidth"},
    {11370, "PhysicalHeight"},
    {11371, "Shadow"},
    {11372, "Frames"},
    {11374, "XNativeResolution"},
    {11375, "YNativeResolution"},
    {11376, "XResolution"},
    {11377, "YResolution"},
    {11378, "MaxFrames"},
    {11379, "Tiles"},
    {11380, "BitOrder"},
    {11381, "CCITTKFactor"},
    {11382, "LightPath"},
    {11383, "PixelFlavor"},
    {11384, "PlanarChunky"},
    {11385, "Rotation"},
    {11386, "SupportedSizes"},
    {11387, "Threshold"},
    {11388, "XScaling"},
    {11389, "YScaling"},
    {11390, "BitOrderCodes"},
    {11391, "PixelFlavorCodes"},
    {11392, "JPEGPixelType"},
    {11394, "TimeFill"},
    {11395, "BitDepth"},
    {11396, "BitDepthReduction"},
    {11397, "UndefinedImageSize"},
    {11398, "ImageDataSet"},
    {11399, "ExtImageInfo"},
    {11400, "MinimumHeight"},
    {11401, "MinimumWidth"},
    {11609, "AudioFileFormat"},
    {11610, "XferMech"},
    {11120, "Alarms"},
    {11121, "AlarmVolume"},
    {11122, "AutomaticCapture"},
    {11146, "BatteryMinutes"},
    {11147, "BatteryPercentage"},
    {11129, "CameraPreviewUI"},
    {11125, "ClearBuffers"},
    {11130, "DeviceEvent"},
    {11127, "DeviceTimeDate"},
    {11114, "Duplex"},
    {11115, "DuplexEnabled"},
    {11116, "EnableDSUIOnly"},
    {11141, "FeederAlignment"},
    {11142, "FeederOrder"},
    {11140, "Language"},
    {11126, "MaxBatchBuffers"},
    {11128, "PowerSupply"},
    {11134, "Printer"},
    {11135, "PrinterEnabled"},
    {11136, "PrinterIndex"},
    {11137, "PrinterMode"},
    {11138, "PrinterString"},
    {11139, "PrinterSuffix"},
    {11144, "ReacquireAllowed"},
    {11132, "SerialNumber"},
    {11113, "ThumbnailsEnabled"},
    {11123, "BeforeFirstCapture"},
    {11124, "BetweenCaptures"},
    {11432, "AutomaticBorderDetection"},
    {11433, "AutomaticDeskew"},
    {11434, "AutomaticRotate"},
    {11407, "BarCodeDetectionEnabled"},
    {11412, "BarCodeMaxRetries"},
    {11409, "BarMaxCodeSearchPriorities"},
    {11411, "BarCodeSearchMode"},
    {11410, "BarCodeSearchPriorities"},
    {11413, "BarCodeTimeout"},
    {11422, "FlashUsed2"},
    {11406, "FlipRotation"},
    {11423, "ImageFilter"},
    {11424, "NoiseFilter"},
    {11425, "OverScan"},
    {11415, "PatchCodeDetectionEnabled"},
    {11420, "PatchCodeMaxRetries"},
    {11417, "PatchMaxCodeSearchPriorities"},
    {11419, "PatchCodeSearchMode"},
    {11418, "PatchCodeSearchPriorities"},
    {11421, "PatchCodeTimeout"},
    {11408, "SupportedBarCodeTypes"},
    {11416, "SupportedBarCodeTypes"},
    {11414, "ZoomFactor"},
    // 8000 + pixel type (TWPT_)
    {8000, "Black/White"},
    {8001, "Grayscale"},
    {8002, "RGB"},
    {8003, "Palette"},
    {8004, "CMY"},
    {8005, "CMYK"},
    {8006, "YUV"},
    {8007, "YUVK"},
    {8008, "CIEXYZ"},
    {8099, "Unknown Pixel Type."},
    // 8100 + supported size (TWSS_)
    {8100, "Custom"},
    {8101, "A4 Letter"},
    {8102, "B5 Letter"},
    {8103, "US Letter"},
    {8104, "US Legal"},
    {8105, "A5"},
    {8106, "B4"},
    {8107, "B6"},
    {8109, "US Ledger"},
    {8110, "US Executive"},
    {8111, "A3"},
    {8112, "B3"},
    {8113, "A6"},
    {8114, "C4"},
    {8115, "C5"},
    {8116, "C6"},
    {8117, "4A0"},
    {8118, "2A0"},
    {8119, "A0"},
    {8120, "A1"},
    {8121, "A2"},
    {8122, "A7"},
    {8123, "A8"},
    {8124, "A9"},
    {8125, "A10"},
    {8126, "ISOB0"},
    {8127, "ISOB1"},
    {8128, "ISOB2"},
    {8129, "ISOB5"},
    {8130, "ISOB7"},
    {8131, "ISOB8"},
    {8132, "ISOB9"},
    {8133, "ISOB10"},
    {8134, "JISB0"},
    {8135, "JISB1"},
    {8136, "JISB2"},
    {8137, "JISB3"},
    {8138, "JISB4"},
    {8139, "JISB6"},
    {8140, "JISB7"},
    {8141, "JISB8"},
    {8142, "JISB9"},
    {8143, "JISB10"},
    {8144, "C0"},
    {8145, "C1"},
    {8146, "C2"},
    {8147, "C3"},
    {8148, "C7"},
    {8149, "C8"},
    {8150, "C9"},
    {8151, "C10"},
    {8152, "US Statement"},
    {8153, "Business Card"},
    {8199, "Unknown Supported Size."},
    // 8200 + compression (TWCP_)
    {8200, "NONE"},
    {8201, "PACKBITS"},
    {8202, "GROUP31D"},
    {8203, "GROUP31DEOL"},
    {8204, "GROUP32D"},
    {8205, "GROUP4"},
    {8206, "JPEG"},
    {8207, "LZW"},
    {8208, "JBIG"},
    {8209, "PNG"},
    {8210, "RLE4"},
    {8211, "RLE8"},
    {8212, "BITFIELDS"},
    {8299, "Unknown Compression Type."},
    // 8300 + unit (TWUN_)
    {8300, "Inches"},
    {8301, "Centimeters"},
    {8302, "Picas"},
    {8303, "Points"},
    {8304, "Twips"},
    {8305, "Pixels"},
    // 8400 + file format (TWFF_)
    {8400, "Tagged Image File Format"},
    {8401, "Macintosh PICT"},
    {8402, "Windows Bitmap"},
    {8403, "X-Windows Bitmap"},
    {8404, "JPEG File Interchange Format"},
    {0, nullptr},
};

namespace {

constexpr int kModuleTextMax = 255;

std::string LoadModuleText(HMODULE hModule, UINT id)
{
    char buffer[kModuleTextMax + 1] = {};
    LoadStringA(hModule, id, buffer, kModuleTextMax);
    return buffer;
}

bool IsCapabilityTriplet(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 cap)
{
    return dg == DG_CONTROL && dat == DAT_CAPABILITY && cap != 0;
}

} // namespace

std::string LookupText(HMODULE hModule, TW_INT32 key)
{
    for (const TWAINTextEntry* entry = TWAINTextTable; entry->text; ++entry)
        if (entry->key == key)
            return entry->text;
    if (hModule)
        return LoadModuleText(hModule, static_cast<UINT>(key));
    return "String not found";
}

std::string GetReturnCodeText(HMODULE hModule, TW_UINT16 rc) { return LookupText(hModule, 1000 + rc); }
std::string GetConditionCodeText(HMODULE hModule, TW_UINT16 cc) { return LookupText(hModule, 2000 + cc); }
std::string GetDGName(HMODULE hModule, TW_UINT32 dg) { return LookupText(hModule, static_cast<TW_UINT16>(3000 + dg)); }
std::string GetDATName(HMODULE hModule, TW_UINT16 dat) { return LookupText(hModule, 4000 + dat); }
std::string GetMSGName(HMODULE hModule, TW_UINT16 msg) { return LookupText(hModule, 5000 + msg); }
std::string GetCapabilityName(HMODULE hModule, TW_UINT16 cap) { return LookupText(hModule, 7000 + cap); }
std::string GetPixelTypeName(HMODULE hModule, TW_UINT16 type) { return LookupText(hModule, 8000 + type); }
std::string GetSupportedSizeName(HMODULE hModule, TW_UINT16 size) { return LookupText(hModule, 8100 + size); }
std::string GetCompressionName(HMODULE hModule, TW_UINT16 cp) { return LookupText(hModule, 8200 + cp); }
std::string GetFileFormatName(HMODULE hModule, TW_UINT16 ff) { return LookupText(hModule, 8400 + ff); }

std::string GetTripletText(HMODULE hModule, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg)
{
    return GetDGName(hModule, dg) + "/" + GetDATName(hModule, dat) + "/" + GetMSGName(hModule, msg);
}

std::string GetTripletCapText(HMODULE hModule, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cap)
{
    std::string text = GetTripletText(hModule, dg, dat, msg);
    if (IsCapabilityTriplet(dg, dat, cap))
        text += " " + GetCapabilityName(hModule, cap);
    return text;
}

std::string GetTWAINResultText(HMODULE hModule, TW_UINT16 rc, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, TW_UINT16 cc,
                               TW_UINT16 cap)
{
    std::string text = GetReturnCodeText(hModule, rc);
    if (cc != 0)
        text += ":\n" + GetConditionCodeText(hModule, cc);
    text += "\n" + GetTripletText(hModule, dg, dat, msg);
    if (IsCapabilityTriplet(dg, dat, cap))
        text += "\n" + GetCapabilityName(hModule, cap);
    return text;
}

std::string TruncateString(const std::string& text, size_t limit)
{
    if (text.size() > limit)
        return text.substr(0, limit > 0 ? limit - 1 : 0);
    return text;
}

int GetSamplesPerPixel(int pixelType)
{
    switch (pixelType) {
    case TWPT_BW:
    case TWPT_GRAY:
        return 1;
    case TWPT_CMYK:
    case TWPT_YUVK:
        return 4;
    default:
        return 3;
    }
}

} // namespace Trellis
