// Parse, navigate and serialise whatever the fuzzer makes up: no input may
// crash the store, hang it or make it touch freed memory.
#include "diag/MSXML6Store.h"

#include "platform/base/strings.h"
#include "platform/oleauto/bstr.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the operations applied after the parse.
    if (size == 0)
        return 0;
    uint8_t script = data[0];
    std::u16string text = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    MSXML6Store* store = CreateMSXML6Store();
    if (!store)
        return 0;
    if (store->ParseXML(text.c_str())) {
        SysFreeString(store->GenerateXML());
        store->SeekRootNode();
        WCHAR buffer[64];
        for (int step = 0; step < 64; ++step) {
            switch ((script >> (step % 8)) & 7) {
            case 0: store->SeekFirstChild(); break;
            case 1: store->SeekNextSibling(); break;
            case 2: store->SeekParent(); break;
            case 3: store->SetContext(u"//*"); break;
            case 4: store->SeekNextMatch(); break;
            case 5: store->GetString(buffer, 64); break;
            case 6: store->SetStringByName(u"x", u"y"); break;
            case 7: store->RemoveNode(); break;
            }
            SysFreeString(store->GenerateXMLFromContext());
        }
        BSTR xml = store->GenerateXML();
        if (xml) {
            // What the store writes it must read back.
            MSXML6Store* again = CreateMSXML6Store();
            if (again && !again->ParseXML(xml))
                __builtin_trap();
            if (again)
                again->Destroy();
        }
        SysFreeString(xml);
    }
    store->Destroy();
    return 0;
}
