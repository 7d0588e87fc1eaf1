// The library's strings, version block and the page's dialog.
#include "platform/resources/ResourceTable.h"
#include "platform/ui/DialogTemplate.h"
#include "shellext/ResourceIds.h"

namespace {

using plat::ui::kButtonClass;
using plat::ui::kStaticClass;

constexpr int IDC_STATIC = -1;

const plat::StringResource kStrings[] = {
    {IDS_PROJNAME, u"RNXShellExt"},
    {IDS_TITLERNXHWPropertyPage, u"Hardware Properties"},
    {IDS_HELPFILERNXHWPropertyPage, u"Help File Name"},
    {IDS_DOCSTRINGRNXHWPropertyPage, u"Your Help String"},
    {IDC_SYSLINK_SUPPORT, u"You can find additional support for your scanner at "
                          u"<a src=\"http://www.quorvant.example/support\">http://www.quorvant.example/support</a>."},
    {IDS_SUPPORT_URL, u"http://www.quorvant.example/support"},
};

const plat::VersionString kVersionStrings[] = {
    {u"CompanyName", u"Quorvant"},
    {u"FileDescription", u"Quillbox K24 Shell Extension"},
    {u"FileVersion", u"5.0.0.1"},
    {u"InternalName", u"RNXShellExt"},
    {u"LegalCopyright", u"Copyright (C) Quorvant"},
    {u"OriginalFilename", u"RNXShellExtx.dll"},
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

const plat::ui::DialogTemplateRegistrar kPage(
    IDD_RNXHWPROPERTYPAGE,
    plat::ui::DialogTemplate{
        WS_CHILD | DS_SETFONT | DS_CONTROL,
        0,
        u"",
        0,
        0,
        302,
        185,
        u"MS Shell Dlg",
        8,
        {
            {kButtonClass, IDC_STATIC, u"Driver Information", BS_GROUPBOX, 0, 6, 12, 281, 74},
            {kStaticClass, IDC_STATIC, u"Driver version:", SS_RIGHT, 0, 21, 26, 80, 8},
            {kStaticClass, IDC_FILE_VERSION, u"", SS_LEFT, 0, 119, 26, 168, 8},
            {kStaticClass, IDC_STATIC, u"Device name:", SS_RIGHT, 0, 21, 37, 80, 8},
            {kStaticClass, IDC_PRODUCT_NAME, u"", SS_LEFT, 0, 119, 37, 168, 8},
            {kStaticClass, IDC_STATIC, u"Device information:", SS_RIGHT, 0, 21, 48, 80, 8},
            {kStaticClass, IDC_DEVICE_INFO, u"Zolta Quillbox K24", SS_LEFT, 0, 119, 48, 168, 8},
            {kStaticClass, IDC_STATIC, u"Copyright:", SS_RIGHT, 0, 21, 59, 80, 8},
            {kStaticClass, IDC_COPYRIGHT, u"", SS_LEFT, 0, 119, 59, 168, 8},
            {kStaticClass, IDC_STATIC_SUPPORT,
             u"You can find additional support for your scanner at http://www.quorvant.example/support.", SS_LEFT, 0, 6,
             163, 281, 9},
        }});

} // namespace
