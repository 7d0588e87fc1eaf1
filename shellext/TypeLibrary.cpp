#include "shellext/TypeLibrary.h"

#include "shellext/RNXShellExtIds.h"

namespace {

// IRNXWIADialogExtHandler has no members of its own.
const plat::InterfaceDesc kIRNXWIADialogExtHandlerDesc{u"IRNXWIADialogExtHandler", IID_IRNXWIADialogExtHandler, {}};

const plat::InterfaceDesc* const kInterfaces[] = {&kIRNXWIADialogExtHandlerDesc};

const IID* const kHandlerInterfaces[] = {&IID_IRNXWIADialogExtHandler};
const IID* const kPageInterfaces[] = {&IID_IPropertyPage};

const plat::CoClassDesc kCoClasses[] = {
    {u"RNXWIADialogExtHandler", CLSID_RNXWIADialogExtHandler, kHandlerInterfaces},
    {u"RNXHWPropertyPage", CLSID_RNXHWPropertyPage, kPageInterfaces},
};

const plat::TypeLibraryDesc kLibrary{
    u"RNXShellExtLib", u"RNXShellExt 1.0 Type Library", LIBID_RNXShellExtLib, 1, 0, kInterfaces, kCoClasses};

} // namespace

const plat::TypeLibraryDesc& RNXShellExtTypeLibrary() { return kLibrary; }
