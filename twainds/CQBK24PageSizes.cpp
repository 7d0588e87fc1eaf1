// The scanner's own page sizes (envelopes, photographs, folio and quarto,
// codes 0x8000-0x8016) and the display text of every size code, standard
// or the device's, from the library's string table.
#include "twainds/CQBK24DataSource.h"

#include "twainfw/TWAINText.h"

#include <iterator>

namespace {

struct CustomPageSize {
    TW_UINT16 Code;
    UINT TextId;
    float Width;
    float Height;
    int Unit;
};

constexpr int kCm = TWUN_CENTIMETERS;
constexpr int kIn = TWUN_INCHES;

constexpr CustomPageSize kCustomPageSizes[] = {
    {0x8000, 10149, 11.0f, 23.0f, kCm},   // Envelope 110
    {0x8001, 10150, 3.625f, 6.5f, kIn},   // Envelope 6 3/4
    {0x8002, 10151, 25.0f, 35.3f, kCm},   // Envelope B4
    {0x8003, 10152, 17.6f, 25.0f, kCm},   // Envelope B5
    {0x8004, 10153, 12.5f, 17.6f, kCm},   // Envelope B6
    {0x8005, 10154, 32.4f, 45.8f, kCm},   // Envelope C3
    {0x8006, 10155, 22.9f, 32.4f, kCm},   // Envelope C4
    {0x8007, 10156, 16.2f, 22.9f, kCm},   // Envelope C5
    {0x8008, 10157, 11.4f, 16.2f, kCm},   // Envelope C6
    {0x8009, 10158, 11.4f, 22.9f, kCm},   // Envelope C65
    {0x800A, 10159, 11.0f, 22.0f, kCm},   // Envelope DL
    {0x800B, 10160, 3.875f, 7.5f, kIn},   // Envelope Monarch
    {0x800C, 10161, 4.125f, 9.5f, kIn},   // Envelope #10
    {0x800D, 10162, 4.5f, 10.375f, kIn},  // Envelope #11
    {0x800E, 10163, 4.75f, 11.0f, kIn},   // Envelope #12
    {0x800F, 10164, 5.0f, 11.5f, kIn},    // Envelope #14
    {0x8010, 10165, 3.875f, 8.875f, kIn}, // Envelope #9
    {0x8011, 10167, 8.5f, 13.0f, kIn},    // Folio
    {0x8012, 10170, 3.5f, 5.0f, kIn},     // Photograph 3 1/2 x 5
    {0x8013, 10171, 4.0f, 6.0f, kIn},     // Photograph 4 x 6
    {0x8014, 10172, 5.0f, 7.0f, kIn},     // Photograph 5 x 7
    {0x8015, 10173, 8.0f, 10.0f, kIn},    // Photograph 8 x 10
    {0x8016, 10174, 21.5f, 27.5f, kCm},   // Quarto
};

// The text of each standard code, by code; 0 where the table has none.
constexpr UINT kStandardSizeTextIds[] = {
    10199, 10106, 10131, 10169, 10168, 10107, 10118, 10120, 0,     10178, // 0-9
    10166, 10105, 10117, 10109, 10141, 10142, 10143, 10100, 10101, 10102, // 10-19
    10103, 10104, 10110, 10111, 10112, 10113, 10114, 10115, 10116, 10119, // 20-29
    10121, 10122, 10123, 10124, 10125, 10126, 10127, 10128, 10130, 10132, // 30-39
    10133, 10134, 10135, 10136, 10137, 10138, 10139, 10140, 10144, 10145, // 40-49
    10146, 10147, 10175, 10148,                                           // 50-53
};

constexpr UINT kUndefinedPaperSizeText = 10201;

const CustomPageSize* FindCustomPageSize(TW_UINT16 code)
{
    for (const CustomPageSize& size : kCustomPageSizes) {
        if (size.Code == code)
            return &size;
    }
    return nullptr;
}

} // namespace

// A code the device does not have goes to the framework's paper table, which
// gives the empty frame for a code it does not know either.
Trellis::CTWAINFrame CQBK24DataSource::GetCustomSizeFrame(TW_UINT16 sizeCode, int unit, float xResolution,
                                                          float yResolution)
{
    if (const CustomPageSize* size = FindCustomPageSize(sizeCode))
        return Trellis::CTWAINFrame(0.0f, 0.0f, size->Width, size->Height)
            .ConvertUnits(size->Unit, unit, xResolution, yResolution);
    return Trellis::GetSupportedSizeFrame(sizeCode, unit, xResolution, yResolution);
}

// Each text is the size's name, a tab and its dimensions.
std::string CQBK24DataSource::GetSupportedSizeText(HMODULE hModule, TW_UINT16 sizeCode)
{
    UINT textId = 0;
    if (const CustomPageSize* size = FindCustomPageSize(sizeCode))
        textId = size->TextId;
    else if (sizeCode > 0x7FFF)
        textId = kUndefinedPaperSizeText;
    else if (sizeCode < std::size(kStandardSizeTextIds))
        textId = kStandardSizeTextIds[sizeCode];
    if (textId == 0)
        return Trellis::GetSupportedSizeName(hModule, sizeCode);
    return Trellis::LookupText(hModule, static_cast<TW_INT32>(textId));
}
