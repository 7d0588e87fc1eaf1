// A TWAIN application of one moment, for tests that need a second process:
// it loads a data source library, opens the source, prints the current
// value of each capability named on the command line (hexadecimal ids) as
// "<id> <value>[,<value>...]" and closes the source again.
#include "platform/twain/twain.h"
#include "platform/windows.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/TWAINMemory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string ItemText(const Trellis::CTWAINOneValue& item)
{
    char text[32];
    if (item.ItemType == TWTY_FIX32)
        std::snprintf(text, sizeof(text), "%g", static_cast<double>(item.GetFloat()));
    else
        std::snprintf(text, sizeof(text), "%u", static_cast<unsigned>(item.Value));
    return text;
}

std::string ValueText(const Trellis::CTWAINContainer& answer)
{
    if (answer.ContainerType == TWON_ONEVALUE)
        return ItemText(answer.GetOneValue());
    std::string text;
    for (const Trellis::CTWAINOneValue& item : answer.GetArray().m_List)
        text += (text.empty() ? "" : ",") + ItemText(item);
    return text;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "settings probe: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Fail("usage: twainds_settings_probe <data source> <capability id>...");
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return Fail("no COM");
    HMODULE library = LoadLibraryA(argv[1]);
    auto entry = library ? reinterpret_cast<DSENTRYPROC>(GetProcAddress(library, "DS_Entry")) : nullptr;
    if (!entry)
        return Fail("no DS_Entry");

    TW_IDENTITY app{};
    app.Id = 1;
    std::strcpy(app.ProductName, "Settings Probe");
    TW_IDENTITY source{};
    if (entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_GET, &source) != TWRC_SUCCESS)
        return Fail("no identity");
    source.Id = 2;
    if (entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source) != TWRC_SUCCESS)
        return Fail("the source does not open");

    int result = 0;
    for (int i = 2; i < argc; ++i) {
        const auto id = static_cast<TW_UINT16>(std::strtoul(argv[i], nullptr, 16));
        TW_CAPABILITY capability{id, TWON_DONTCARE16, nullptr};
        if (entry(&app, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &capability) != TWRC_SUCCESS) {
            result = Fail(argv[i]);
            continue;
        }
        Trellis::CTWAINContainer answer;
        answer.FromHandle(capability.hContainer, capability.ConType);
        Trellis::TWAINFreeHandle(capability.hContainer);
        std::printf("0x%04X %s\n", id, ValueText(answer).c_str());
    }

    entry(&app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &source);
    FreeLibrary(library);
    CoUninitialize();
    return result;
}
