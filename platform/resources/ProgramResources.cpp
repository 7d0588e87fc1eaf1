// Resources of the test program itself: found through a null module handle.
#include "platform/resources/ResourceTable.h"

namespace {
const plat::StringResource kStrings[] = {
    {1, u"Program string"},
};
const plat::ModuleResources kResources{.strings = kStrings};
const plat::ResourceRegistrar kRegistrar(kResources);
} // namespace
