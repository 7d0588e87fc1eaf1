// A library with resources of every kind, and a DllMain, for the tests.
#include "platform/resources/ResourceTable.h"
#include "platform/resources/module.h"

namespace {

const plat::StringResource kStrings[] = {
    {10000, u"Quorvant"},
    {10001, u"Quillbox"},
    {2046, u"Gr\u00fc\u00dfe \u20ac"}, // multi-byte in UTF-8: "Grüße €"
    {2047, u""},                       // empty strings count as absent
};

const plat::VersionString kEnglish[] = {
    {u"CompanyName", u"Quorvant"}, {u"FileDescription", u"Test resources"},
    {u"FileVersion", u"5.0.12.3"}, {u"ProductName", u"Quillbox K24"},
    {u"ProductVersion", u"5.0"},   {u"LegalCopyright", u"Copyright (C) Quorvant"},
};

const plat::VersionString kGerman[] = {
    {u"ProductName", u"Quillbox K24 (de)"},
};

const plat::VersionStringTable kTables[] = {
    {0x0409, 1200, kEnglish},
    {0x0407, 1252, kGerman},
};

const plat::VersionResource kVersion{
    .fileVersion = {5, 0, 12, 3},
    .productVersion = {5, 0, 0, 1},
    .stringTables = kTables,
};

const plat::ModuleResources kResources{.strings = kStrings, .version = &kVersion};
const plat::ResourceRegistrar kRegistrar(kResources);

HINSTANCE g_attachedModule = nullptr;

BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_attachedModule = instance;
    return TRUE;
}

const plat::DllMainCaller kDllMain(&DllMain);

} // namespace

// The module handle DllMain received, and the one the module finds itself.
extern "C" HINSTANCE QbkTestLibAttachedModule() { return g_attachedModule; }
extern "C" HMODULE QbkTestLibThisModule() { return plat::ThisModule(); }
