// The library's string table and version information.
#include "platform/resources/ResourceTable.h"

namespace {

const plat::StringResource kStrings[] = {
    {10000, u"Quorvant"},
    {10001, u"Quillbox"},
    {10200, u"Quillbox K24: Scan Error"},
    {10250, u"0 degree halftone dot (64 steps)"},
    {10251, u"45 degree halftone dot (32 steps)"},
    {10252, u"Bayer dither (16 steps)"},
    {10253, u"Bayer dither (64 steps)"},
    {10272, u"No paper in ADF.  Put documents in the ADF, then click Retry to continue."},
    {10273, u"Paper Jam.  Open scanner and remove jammed page, close then restack paper in ADF. Click Retry to continue."},
    {10274, u"Multiple page feed detected.   Open scanner and remove pages, close then restack paper in ADF. Click Retry to continue."},
    {10275, u"ADF cover or Exit cover open.  Close cover then click Retry to continue."},
    {10276, u"User stopped ADF scan. Open scanner and remove page, close then restack paper in ADF. Click Retry to continue."},
    {10277, u"User stopped scanner. Open scanner and remove page, close then restack paper in ADF. Click Retry to continue."},
    {10278, u"Skewed page detected. Open scanner and remove page, close and adjust paper guides, then restack paper in ADF. Click Retry to continue."},
    {10279, u"Internal error.  Correct then click Retry to continue."},
    {10280, u"No document in ADF"},
    {10281, u"Paper Jam"},
    {10282, u"Multiple page feed detected"},
    {10283, u"ADF cover or Exit cover open"},
    {10284, u"User stopped ADF scan"},
    {10285, u"User stopped scanner"},
    {10286, u"Skewed page detected"},
    {10287, u"Internal rest"},
    {10288, u"Scanner error"},
    {10289, u"Scanner not connected or not powered on"},
    {10290, u"Ready to scan"},
    {10291, u"Scanning..."},
};

const plat::VersionString kVersionStrings[] = {
    {u"CompanyName", u"Quorvant"},
    {u"FileDescription", u"Quillbox K24 TWAIN Data Source"},
    {u"FileVersion", u"5.0.0.1"},
    {u"LegalCopyright", u"Copyright (C) Quorvant"},
    {u"ProductName", u"Quillbox K24"},
    {u"ProductVersion", u"5.0.0.1"},
};

const plat::VersionStringTable kVersionTables[] = {{0x0409, 1200, kVersionStrings}};

const plat::VersionResource kVersion{
    .fileVersion = {5, 0, 0, 1},
    .productVersion = {5, 0, 0, 1},
    .stringTables = kVersionTables,
};

const plat::ModuleResources kResources{.strings = kStrings, .version = &kVersion};
const plat::ResourceRegistrar kRegistrar(kResources);

} // namespace
