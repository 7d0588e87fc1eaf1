#include "tools/wiascan/WiaScanCommands.h"

#include "platform/base/guid.h"
#include "platform/base/strings.h"
#include "tools/wiascan/PropertyText.h"
#include "tools/wiascan/WiaAcquire.h"

#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <utility>

namespace wiascan {

namespace {

using Words = std::vector<std::string>;
using Command = std::function<HRESULT(WiaDeviceHost&, const Words&, std::string*)>;

// Where a long command shows its progress as it goes; none: into its output.
BmpPageFiles::Show g_progress;
BmpPageFiles::ShowPercent g_percent;

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

HRESULT Refuse(const std::string& why, std::string* out)
{
    *out += why + "\n";
    return E_INVALIDARG;
}

void ShowItem(const plat::wia::ItemTree::Entry& entry, std::string* out)
{
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%08X", static_cast<unsigned>(entry.item->ItemType()));
    *out += std::string(static_cast<size_t>(entry.depth) * 2, ' ') + Utf16ToUtf8(entry.name) + " (" +
            Utf16ToUtf8(entry.fullName) + ") flags " + flags + "\n";
    for (PROPID id : entry.item->Ids())
        *out +=
            std::string(static_cast<size_t>(entry.depth) * 2 + 2, ' ') + DescribeProperty(*entry.item->Find(id)) + "\n";
}

const plat::wia::ItemTree::Entry* EntryOf(WiaDeviceHost& host, const std::string& name)
{
    const plat::wia::WiaItem* item = host.FindItem(Utf8ToUtf16(name));
    for (const auto& entry : host.Items().Entries()) {
        if (entry.item.get() == item)
            return &entry;
    }
    return nullptr;
}

HRESULT List(WiaDeviceHost& host, const Words& words, std::string* out)
{
    std::vector<const plat::wia::ItemTree::Entry*> shown;
    for (size_t i = 1; i < words.size(); ++i) {
        const auto* entry = EntryOf(host, words[i]);
        if (!entry)
            return Refuse("no item " + words[i], out);
        shown.push_back(entry);
    }
    if (shown.empty()) {
        for (const auto& entry : host.Items().Entries())
            shown.push_back(&entry);
    }
    HRESULT result = S_OK;
    for (const auto* entry : shown) {
        const HRESULT hr = host.ReadProperties(*entry->item);
        if (FAILED(hr) && SUCCEEDED(result))
            result = hr;
        ShowItem(*entry, out);
    }
    return result;
}

HRESULT Set(WiaDeviceHost& host, const Words& words, std::string* out)
{
    if (words.size() < 3)
        return Refuse("usage: set ITEM PROP=VALUE...", out);
    const auto* entry = EntryOf(host, words[1]);
    if (!entry)
        return Refuse("no item " + words[1], out);
    std::vector<PROPSPEC> specs;
    std::vector<PROPVARIANT> values;
    std::list<GUID> guids; // the values point into it
    for (size_t i = 2; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        plat::wia::ItemProperty* property =
            equals == std::string::npos ? nullptr : FindProperty(*entry->item, words[i].substr(0, equals));
        if (!property)
            return Refuse("no property " + words[i].substr(0, equals) + " on " + words[1], out);
        const std::optional<PROPVARIANT> value =
            ParseValue(*property, words[i].substr(equals + 1), &guids.emplace_back());
        if (!value)
            return Refuse("not a value for " + Utf16ToUtf8(property->name) + ": " + words[i].substr(equals + 1), out);
        PROPSPEC spec{};
        spec.ulKind = PRSPEC_PROPID;
        spec.propid = property->id;
        specs.push_back(spec);
        values.push_back(*value);
    }
    const HRESULT hr = host.WriteProperties(*entry->item, specs, values);
    ShowItem(*entry, out);
    return hr;
}

HRESULT DeviceCommand(WiaDeviceHost& host, const Words& words, std::string* out)
{
    if (words.size() != 2 || words[1] != "synchronize")
        return Refuse("usage: command synchronize", out);
    const HRESULT hr = host.DeviceCommand(WIA_CMD_SYNCHRONIZE);
    for (const auto& entry : host.Items().Entries())
        *out += Utf16ToUtf8(entry.fullName) + "\n";
    return hr;
}

HRESULT Event(WiaDeviceHost& host, const Words& words, std::string* out)
{
    static const std::map<std::string, GUID> kEvents = {
        {"connected", WIA_EVENT_DEVICE_CONNECTED}, {"disconnected", WIA_EVENT_DEVICE_DISCONNECTED},
        {"suspend", WIA_EVENT_POWER_SUSPEND},      {"resume", WIA_EVENT_POWER_RESUME},
        {"cancel", WIA_EVENT_CANCEL_IO},
    };
    const auto event = words.size() == 2 ? kEvents.find(words[1]) : kEvents.end();
    if (event == kEvents.end())
        return Refuse("usage: event connected|disconnected|suspend|resume|cancel", out);
    return host.NotifyEvent(event->second);
}

// What an event's flags say it is.
std::string EventFlags(ULONG flags)
{
    std::string words;
    if (flags & WIA_NOTIFICATION_EVENT)
        words += " notification";
    if (flags & WIA_ACTION_EVENT)
        words += " action";
    if (flags & ~(WIA_NOTIFICATION_EVENT | WIA_ACTION_EVENT))
        words += " flags " + Hex(static_cast<HRESULT>(flags));
    return words.empty() ? words : " (" + words.substr(1) + ")";
}

// The device's commands, then its events, each with its name, id,
// description and icon, as a WIA host lists them.
HRESULT Capabilities(WiaDeviceHost& host, const Words& words, std::string* out)
{
    if (words.size() != 1)
        return Refuse("usage: capabilities", out);
    for (const auto& [kind, word] : {std::pair{WIA_DEVICE_COMMANDS, "command"}, {WIA_DEVICE_EVENTS, "event"}}) {
        std::vector<DeviceCapability> found;
        const HRESULT hr = host.Capabilities(kind, &found);
        if (FAILED(hr))
            return hr;
        for (const DeviceCapability& capability : found)
            *out += std::string(word) + " " + Utf16ToUtf8(capability.name) + " " + plat::GuidToString(capability.guid) +
                    " \"" + Utf16ToUtf8(capability.description) + "\" icon " + Utf16ToUtf8(capability.icon) +
                    EventFlags(capability.flags) + "\n";
    }
    return S_OK;
}

HRESULT Clients(WiaDeviceHost& host, const Words& words, std::string* out)
{
    const HRESULT hr = words[0] == "connect" ? host.Connect() : host.Disconnect();
    *out += std::to_string(host.Clients()) + " client(s) of this service\n";
    return hr;
}

HRESULT AcquireCommand(WiaDeviceHost& host, const Words& words, std::string* out)
{
    std::string why;
    const std::optional<AcquireOptions> options = ParseAcquireOptions(words, &why);
    if (!options)
        return Refuse(why, out);
    BmpPageFiles::Show show = g_progress;
    if (!show)
        show = [out](const std::string& line) { *out += line + "\n"; };
    return Acquire(host, *options, show, g_percent);
}

const std::map<std::string, Command>& Commands()
{
    static const std::map<std::string, Command> commands = {
        {"list", List},
        {"acquire", AcquireCommand},
        {"set", Set},
        {"command", DeviceCommand},
        {"event", Event},
        {"capabilities", Capabilities},
        {"lock", [](WiaDeviceHost& host, const Words&, std::string*) { return host.LockDevice(); }},
        {"unlock", [](WiaDeviceHost& host, const Words&, std::string*) { return host.UnLockDevice(); }},
        {"connect", Clients},
        {"disconnect", Clients},
    };
    return commands;
}

} // namespace

void SetProgressOutput(std::function<void(const std::string&)> show, std::function<void(int page, int percent)> percent)
{
    g_progress = std::move(show);
    g_percent = std::move(percent);
}

HRESULT RunCommand(WiaDeviceHost& host, const std::vector<std::string>& words, std::string* out)
{
    if (words.empty())
        return S_OK;
    const auto command = Commands().find(words[0]);
    const HRESULT hr =
        command == Commands().end() ? Refuse("unknown command " + words[0], out) : command->second(host, words, out);
    *out += words[0] + ": " + DescribeResult(hr) + "\n";
    return hr;
}

std::vector<std::string> SplitCommandLine(const std::string& line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, inWord = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

} // namespace wiascan
