#include "platform/rpc/ProxyStubRegistration.h"

#include "platform/base/strings.h"
#include "platform/registry/Registrar.h"

#include <string>

namespace plat::rpc {
namespace {

// A quoted script string: quotes doubled, percent signs kept literal.
std::u16string Quoted(std::u16string_view text)
{
    std::u16string out = u"'";
    for (char16_t c : text) {
        if (c == u'\'' || c == u'%')
            out += c;
        out += c;
    }
    return out + u"'";
}

std::u16string Script(REFCLSID factory, std::u16string_view description, std::span<const ProxyStubInterface> interfaces)
{
    const std::u16string factoryId = GuidToWideString(factory);
    std::u16string script = u"HKCR\n{\n    NoRemove CLSID\n    {\n        ForceRemove ";
    script += factoryId + u" = s " + Quoted(description);
    script += u"\n        {\n            InprocServer32 = s '%MODULE%'\n            {\n"
              u"                val ThreadingModel = s 'Both'\n            }\n        }\n    }\n"
              u"    NoRemove Interface\n    {\n";
    for (const ProxyStubInterface& entry : interfaces) {
        script += u"        ForceRemove " + GuidToWideString(*entry.iid) + u" = s " + Quoted(entry.name);
        script += u"\n        {\n            ProxyStubClsid32 = s '" + factoryId + u"'\n";
        script += u"            NumMethods = s '" + Utf8ToUtf16(std::to_string(entry.methods)) + u"'\n        }\n";
    }
    return script + u"    }\n}\n";
}

} // namespace

HRESULT RegisterProxyStubs(REFCLSID factory, std::u16string_view description, std::u16string_view modulePath,
                           std::span<const ProxyStubInterface> interfaces, bool perUser)
{
    if (modulePath.empty())
        return E_INVALIDARG;
    Registrar registrar;
    registrar.SetPerUser(perUser);
    registrar.AddReplacement(u"MODULE", modulePath);
    return registrar.Register(std::u16string_view(Script(factory, description, interfaces)));
}

HRESULT UnregisterProxyStubs(REFCLSID factory, std::span<const ProxyStubInterface> interfaces, bool perUser)
{
    Registrar registrar;
    registrar.SetPerUser(perUser);
    registrar.AddReplacement(u"MODULE", u"");
    return registrar.Unregister(std::u16string_view(Script(factory, u"", interfaces)));
}

} // namespace plat::rpc
