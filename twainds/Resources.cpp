// The library's string table and version information.
#include "platform/resources/ResourceTable.h"

namespace {

const plat::StringResource kStrings[] = {
    {10000, u"Quorvant"},
    {10001, u"Quillbox"},
    {10200, u"Quillbox K24: Scan Error"},
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
