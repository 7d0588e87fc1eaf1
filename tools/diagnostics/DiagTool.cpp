#include "tools/diagnostics/DiagTool.h"

#include "diag/DiagnosticsCalls.h"
#include "platform/base/strings.h"
#include "platform/com/objbase.h"
#include "platform/oleauto/comerror.h"
#include "tools/cli/CommandLine.h"
#include "tools/diagnostics/DiagnosticsRegistration.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr const char* kUsage = "usage: diagtool register [library] | unregister | list [application] |\n"
                               "       enable <application> <log name>... | disable <application> <log name>... |\n"
                               "       levels <mask> [settings]\n"
                               "       diagtool --help | --version\n";

const cli::Program kProgram{"diagtool", kUsage};

std::string HexResult(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

void ListApplication(DiagnosticsConfigCalls& calls, const std::u16string& application, std::ostream& out)
{
    out << Utf16ToUtf8(application) << "\n";
    plat::ComPtr<IDiagnosticsNameList> list = calls.GetComponents(application);
    DiagnosticsNameListCalls names(list.Get());
    for (LONG index = 1; index <= names.Count(); ++index) {
        std::u16string name = names.Item(index);
        out << "  " << (calls.IsComponentEnabled(application, name) ? "on " : "off") << "  " << Utf16ToUtf8(name)
            << "\n";
    }
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const std::string& command = args[0];
    if (command == "register") {
        if (args.size() > 2)
            return 2;
        HRESULT hr =
            diagnostics::RegisterDiagnosticsServer(args.size() == 2 ? args[1] : diagnostics::DefaultServerPath());
        if (FAILED(hr)) {
            err << "diagtool: registration failed: " << HexResult(hr) << "\n";
            return 1;
        }
        return 0;
    }
    if (command == "unregister") {
        if (args.size() != 1)
            return 2;
        HRESULT hr = diagnostics::UnregisterDiagnosticsServer();
        if (FAILED(hr)) {
            err << "diagtool: unregistration failed: " << HexResult(hr) << "\n";
            return 1;
        }
        return 0;
    }

    bool list = command == "list" && args.size() <= 2;
    bool change = (command == "enable" || command == "disable") && args.size() >= 3;
    bool levels = command == "levels" && (args.size() == 2 || args.size() == 3);
    if (!list && !change && !levels)
        return 2;
    DWORD mask = 0;
    if (levels) {
        const std::string& text = args[1];
        int base = text.rfind("0x", 0) == 0 ? 16 : 10;
        const char* begin = text.data() + (base == 16 ? 2 : 0);
        auto [end, ec] = std::from_chars(begin, text.data() + text.size(), mask, base);
        if (ec != std::errc() || end != text.data() + text.size() || begin == end)
            return 2;
    }

    plat::ComPtr<IDiagnosticsConfig> object;
    HRESULT hr = CoCreateInstance(CLSID_DiagnosticsConfig, nullptr, CLSCTX_ALL, IID_IDiagnosticsConfig,
                                  object.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) {
        err << "diagtool: the diagnostics component is not available: " << HexResult(hr) << "\n";
        return 1;
    }
    DiagnosticsConfigCalls calls(object.Get());
    if (list) {
        if (args.size() == 2) {
            ListApplication(calls, Utf8ToUtf16(args[1]), out);
        } else {
            plat::ComPtr<IDiagnosticsNameList> applications = calls.GetApplications();
            DiagnosticsNameListCalls names(applications.Get());
            for (LONG index = 1; index <= names.Count(); ++index)
                ListApplication(calls, names.Item(index), out);
        }
        return 0;
    }
    if (change) {
        std::u16string application = Utf8ToUtf16(args[1]);
        for (size_t i = 2; i < args.size(); ++i)
            calls.SetComponentEnabled(application, Utf8ToUtf16(args[i]), command == "enable");
        return 0;
    }
    calls.OpenSettings(args.size() == 3 ? Utf8ToUtf16(args[2]) : u"RNX Diagnostics");
    calls.SetLogLevelMask(mask);
    return 0;
}

} // namespace

int RunDiagTool(const std::vector<std::string>& words, std::ostream& out, std::ostream& err)
{
    const cli::Parsed parsed = cli::Parse(kProgram, words, out, err, cli::Operands::AfterOptions);
    if (parsed.exitCode)
        return *parsed.exitCode;
    const std::vector<std::string>& args = parsed.operands;
    int code = 2;
    if (!args.empty()) {
        try {
            code = Run(args, out, err);
        } catch (const _com_error& e) {
            err << "diagtool: the diagnostics component failed: " << HexResult(e.Error()) << "\n";
            return 1;
        }
    }
    if (code == 2)
        err << kUsage;
    return code;
}
