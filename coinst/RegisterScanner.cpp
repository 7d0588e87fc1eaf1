#include "coinst/RegisterScanner.h"

#include "coinst/CoInstallerLog.h"
#include "coinst/DeviceKey.h"
#include "coinst/ProcessHelpers.h"
#include "diag/FormatWide.h"
#include "platform/windows.h"

#include <optional>

namespace coinst {

namespace {

WCHAR UpperAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - u'a' + u'A') : c; }

WCHAR LowerAscii(WCHAR c) { return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

std::u16string Upper(std::u16string text)
{
    for (WCHAR& c : text)
        c = UpperAscii(c);
    return text;
}

void ReplaceAll(std::u16string& text, const std::u16string& from, const std::u16string& to)
{
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// A folder from one of the folder calls, with a trailing separator.
std::optional<std::u16string> FolderWithSeparator(UINT (*folderCall)(WCHAR*, UINT))
{
    WCHAR buffer[kMaxPathChars] = {};
    const UINT length = folderCall(buffer, kMaxPathChars);
    if (length == 0 || length >= kMaxPathChars)
        return std::nullopt;
    std::u16string folder(buffer, length);
    if (folder.back() != u'\\' && folder.back() != u'/')
        folder += kPathSeparator;
    return folder;
}

std::optional<std::u16string> SystemFolderWithoutSeparator()
{
    WCHAR buffer[kMaxPathChars] = {};
    const UINT length = GetSystemDirectoryW(buffer, kMaxPathChars);
    if (length == 0 || length >= kMaxPathChars)
        return std::nullopt;
    return std::u16string(buffer, length);
}

bool PathExists(const std::u16string& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The slots 0-9 that copies in the service folder use, whichever instance
// they belong to.
void MarkUsedSlots(const std::u16string& serviceFolder, const std::u16string& halFileName, bool used[10])
{
    const std::u16string prefix = Upper(halFileName) + u"_";
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((serviceFolder + u"*.EXE").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::u16string upper = Upper(found.cFileName);
        if (upper.compare(0, prefix.size(), prefix) != 0 || upper.size() != prefix.size() + 10)
            continue;
        for (int digit = 0; digit <= 9; ++digit) {
            if (upper.find(FormatWide(u"_%01d.EXE", digit)) != std::u16string::npos) {
                used[digit] = true;
                break;
            }
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

// Runs one regsvr32 command with the system folder as current directory.
bool RunRegsvr32(const std::u16string& command, const std::u16string& systemFolder)
{
    return StartAndWait(command, systemFolder);
}

std::u16string Regsvr32Command(const std::u16string& systemFolder, const std::u16string& libraryPath, bool bRegister)
{
    return systemFolder + kPathSeparator + (bRegister ? u"regsvr32 /s \"" : u"regsvr32 /s /u\"") + libraryPath + u"\"";
}

} // namespace

std::u16string SymbolicNameFor(const std::u16string& deviceInstanceId)
{
    std::u16string name = u"\\\\?\\" + deviceInstanceId + u"#{6bdd1fc6-810f-11d0-bec7-08002be2092f}";
    for (size_t i = 4; i < name.size(); ++i)
        if (name[i] == u'\\')
            name[i] = u'#';
    for (WCHAR& c : name)
        c = LowerAscii(c);
    return name;
}

std::u16string ThirtyTwoBitPath(const std::u16string& path)
{
    std::u16string upper = Upper(path);
    ReplaceAll(upper, u"SYSTEM32\\", u"SysWOW64\\");
    ReplaceAll(upper, u"SYSTEM32/", u"SysWOW64/");
    return upper;
}

bool RegisterScanner(const std::u16string& driverKey, const std::u16string& deviceInstanceId)
{
    ScopedKey key(OpenDeviceClassKey(driverKey, KEY_READ | KEY_WRITE));
    if (!key)
        return false;

    const std::u16string symbolicName = SymbolicNameFor(deviceInstanceId);
    const std::optional<std::u16string> storedName = ReadDeviceString(key.get(), u"SymbolicName");
    if (storedName && *storedName == symbolicName) {
        const std::optional<std::u16string> halPath = ReadDeviceString(key.get(), u"HAL_PATH");
        if (halPath && PathExists(*halPath)) {
            CoInstallerLog(u"%s is already configured for %s. RegisterScanner exiting.\n", halPath->c_str(),
                           symbolicName.c_str());
            return true;
        }
    } else {
        WriteDeviceString(key.get(), u"SymbolicName", symbolicName);
    }

    const std::optional<std::u16string> dsFileName = ReadDeviceString(key.get(), u"TWAIN_DS_FileName_BIN");
    if (!dsFileName || dsFileName->empty())
        return false;
    const std::optional<std::u16string> halFileName = ReadDeviceString(key.get(), u"HAL_FileName_BIN");
    if (!halFileName || halFileName->empty())
        return false;
    const std::optional<std::u16string> psName = ReadDeviceString(key.get(), u"PS_NAME");
    if (!psName || psName->empty())
        return false;

    const size_t separator = driverKey.rfind(u'\\');
    if (separator == std::u16string::npos)
        return false;
    const std::u16string instanceKey = driverKey.substr(separator + 1);

    const std::optional<std::u16string> windowsFolder = FolderWithSeparator(&GetWindowsDirectoryW);
    if (!windowsFolder)
        return false;
    const std::u16string dsFolder = *windowsFolder + u"twain_32" + kPathSeparator + u"RNX" + kPathSeparator;
    // ".ds" in lower case: the Linux data source manager lists only files
    // whose name holds that text.
    const std::u16string dsCopy = dsFolder + *dsFileName + u"_" + instanceKey + u".ds";
    CopyFileW((dsFolder + *dsFileName + u".BIN").c_str(), dsCopy.c_str(), TRUE);
    WriteDeviceString(key.get(), u"TWAIN_DS_PATH", dsCopy);

    const std::optional<std::u16string> systemFolder = FolderWithSeparator(&GetSystemDirectoryW);
    if (!systemFolder)
        return false;
    const std::u16string serviceFolder = *systemFolder + u"RNX" + kPathSeparator;

    bool used[10] = {};
    MarkUsedSlots(serviceFolder, *halFileName, used);
    int slot = 0;
    while (slot <= 9 && used[slot])
        ++slot;
    if (slot > 9)
        return false;

    const std::u16string halCopy =
        serviceFolder + *halFileName + u"_" + instanceKey + FormatWide(u"_%01d", slot) + u".EXE";
    CopyFileW((serviceFolder + *halFileName + u"x.BIN").c_str(), halCopy.c_str(), TRUE);
    WriteDeviceString(key.get(), u"HAL_PATH", halCopy);

    RegisterHAL(halCopy, true);

    RegisterPS(serviceFolder + *psName, true);
    RegisterPS(serviceFolder + u"RNXCOMCore", true);
    RegisterPS(serviceFolder + u"RNXShellExt", true);
    RegisterMSXML6();
    return true;
}

bool RegisterPS(const std::u16string& basePath, bool bRegister)
{
    const std::u16string path32 = ThirtyTwoBitPath(basePath + u".dll");
    const std::optional<std::u16string> systemFolder = SystemFolderWithoutSeparator();
    if (!systemFolder)
        return false;

    CoInstallerLog(u"%s", path32.c_str());
    CoInstallerLog(u"\n");
    const std::u16string command32 = Regsvr32Command(*systemFolder, path32, bRegister);
    CoInstallerLog(u"\nRegsvr32 strPath32\n");
    CoInstallerLog(u"%s", command32.c_str());
    if (!RunRegsvr32(command32, *systemFolder))
        CoInstallerLog(u"\nRegsvr32 strPath32 FAILED\n");

    const std::u16string command64 = Regsvr32Command(*systemFolder, basePath + u"x.dll", bRegister);
    CoInstallerLog(u"\nRegsvr32 strPath64\n");
    CoInstallerLog(u"%s", command64.c_str());
    if (!RunRegsvr32(command64, *systemFolder)) {
        CoInstallerLog(u"\nRegsvr32 strPath64 FAILED\n");
        return false;
    }
    CoInstallerLog(u"RegisterPS END\n");
    return true;
}

bool RegisterMSXML6()
{
    const std::optional<std::u16string> systemFolder = SystemFolderWithoutSeparator();
    if (!systemFolder)
        return false;
    const std::u16string libraryPath = *systemFolder + kPathSeparator + u"msxml6.dll";
    if (!RunRegsvr32(Regsvr32Command(*systemFolder, libraryPath, true), *systemFolder))
        CoInstallerLog(u"\nRegsvr32 strPath32 FAILED\n");

    // The program is named by the system folder as it is: folder names are
    // case-sensitive here, and either spelling names the same regsvr32.
    const std::u16string command32 = Regsvr32Command(*systemFolder, ThirtyTwoBitPath(libraryPath), true);
    CoInstallerLog(u"\nRegsvr32 strPath32\n");
    CoInstallerLog(u"%s", command32.c_str());
    if (!RunRegsvr32(command32, *systemFolder)) {
        CoInstallerLog(u"\nRegsvr32 strPath32 FAILED\n");
        return false;
    }
    CoInstallerLog(u"RegisterMSXML6 END\n");
    return true;
}

} // namespace coinst
