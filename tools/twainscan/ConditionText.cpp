#include "tools/twainscan/ConditionText.h"

namespace twainscan {

namespace {

struct ConditionName {
    TW_UINT16 code;
    const char* text;
};

constexpr ConditionName kConditionNames[] = {
    {TWCC_BUMMER, "failure in the source"},
    {TWCC_LOWMEMORY, "not enough memory, or no window for the dialog"},
    {TWCC_NODS, "no such source"},
    {TWCC_MAXCONNECTIONS, "the scanner is held by another program"},
    {TWCC_OPERATIONERROR, "the scanner or its service failed"},
    {TWCC_BADCAP, "capability not supported"},
    {TWCC_BADPROTOCOL, "triplet not supported"},
    {TWCC_BADVALUE, "value refused"},
    {TWCC_SEQERROR, "out of sequence"},
    {TWCC_PAPERJAM, "paper jam"},
    {TWCC_PAPERDOUBLEFEED, "double feed"},
    {TWCC_FILEWRITEERROR, "the file cannot be written"},
    {TWCC_CHECKDEVICEONLINE, "the scanner is not connected or not powered on"},
};

// What the source's open means by each code it fails with.
constexpr ConditionName kOpenFailures[] = {
    {TWCC_MAXCONNECTIONS, "the scanner is held by another program; close it and try again"},
    {TWCC_CHECKDEVICEONLINE, "the scanner is not connected or not powered on"},
    {TWCC_OPERATIONERROR, "the scanner's service cannot be reached: it is too busy, not installed "
                          "(install it with devinstall install), or the registry is damaged (scan --list says "
                          "what to do)"},
};

template <size_t N>
const char* Find(const ConditionName (&names)[N], TW_UINT16 code)
{
    for (const ConditionName& name : names) {
        if (name.code == code)
            return name.text;
    }
    return nullptr;
}

std::string Meaning(TW_UINT16 code)
{
    const char* text = Find(kConditionNames, code);
    return text ? text : "failure";
}

std::string WithCode(const std::string& words, TW_UINT16 code)
{
    return words + " (condition " + std::to_string(code) + ")";
}

} // namespace

std::string DescribeStatus(TwainSession& session, const TW_STATUS& status)
{
    // Only a status with the source's own detail has words of its own; the
    // rest are what the code means.
    std::string words = status.Data != 0 ? session.StatusText(status) : std::string();
    if (words.empty())
        words = Meaning(status.ConditionCode);
    return WithCode(words, status.ConditionCode);
}

std::string DescribeLastFailure(TwainSession& session) { return DescribeStatus(session, session.Status()); }

std::string DescribeOpenFailure(TW_UINT16 code)
{
    const char* words = Find(kOpenFailures, code);
    return WithCode(words ? words : Meaning(code), code);
}

} // namespace twainscan
