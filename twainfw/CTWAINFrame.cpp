#include "twainfw/CTWAINFrame.h"

#include "twainfw/FixedPoint.h"

namespace Trellis {

CTWAINFrame::CTWAINFrame() : TW_FRAME{} {}

CTWAINFrame::CTWAINFrame(const TW_FRAME& frame) : TW_FRAME(frame) {}

CTWAINFrame::CTWAINFrame(float left, float top, float right, float bottom) : TW_FRAME{}
{
    Set(left, top, right, bottom);
}

void CTWAINFrame::Set(float left, float top, float right, float bottom)
{
    Left = FloatToFix32(left);
    Top = FloatToFix32(top);
    Right = FloatToFix32(right);
    Bottom = FloatToFix32(bottom);
}

void CTWAINFrame::SetLeft(float left) { Left = FloatToFix32(left); }
void CTWAINFrame::SetTop(float top) { Top = FloatToFix32(top); }
void CTWAINFrame::SetRight(float right) { Right = FloatToFix32(right); }
void CTWAINFrame::SetBottom(float bottom) { Bottom = FloatToFix32(bottom); }

bool CTWAINFrame::operator==(const CTWAINFrame& other) const
{
    return Fix32ToFloat(Left) == Fix32ToFloat(other.Left) && Fix32ToFloat(Top) == Fix32ToFloat(other.Top) &&
           Fix32ToFloat(Right) == Fix32ToFloat(other.Right) && Fix32ToFloat(Bottom) == Fix32ToFloat(other.Bottom);
}

bool CTWAINFrame::Contains(const CTWAINFrame& other) const
{
    return Fix32ToFloat(Left) <= Fix32ToFloat(other.Left) && Fix32ToFloat(Top) <= Fix32ToFloat(other.Top) &&
           Fix32ToFloat(Right) >= Fix32ToFloat(other.Right) && Fix32ToFloat(Bottom) >= Fix32ToFloat(other.Bottom);
}

CTWAINFrame CTWAINFrame::ConvertUnits(int fromUnit, int toUnit, float xResolution, float yResolution) const
{
    if (fromUnit == toUnit)
        return *this;
    return CTWAINFrame(ConvertUnit(Fix32ToFloat(Left), fromUnit, toUnit, xResolution),
                       ConvertUnit(Fix32ToFloat(Top), fromUnit, toUnit, yResolution),
                       ConvertUnit(Fix32ToFloat(Right), fromUnit, toUnit, xResolution),
                       ConvertUnit(Fix32ToFloat(Bottom), fromUnit, toUnit, yResolution));
}

void CTWAINFrame::ConvertUnits(CTWAINFrame& out, int fromUnit, int toUnit, float xResolution, float yResolution) const
{
    out = ConvertUnits(fromUnit, toUnit, xResolution, yResolution);
}

namespace {

struct PaperSize {
    int code;
    float width;
    float height;
    int unit;
};

constexpr int CM = TWUN_CENTIMETERS;
constexpr int IN = TWUN_INCHES;

// TWSS_B4 is 35.4 cm high, and the business card lies on its long side.
// clang-format off
constexpr PaperSize kPaperSizes[] = {
    {TWSS_A4LETTER, 21.0f, 29.7f, CM},      {TWSS_B5LETTER, 18.2f, 25.7f, CM},
    {TWSS_USLETTER, 8.5f, 11.0f, IN},       {TWSS_USLEGAL, 8.5f, 14.0f, IN},
    {TWSS_A5, 14.8f, 21.0f, CM},            {TWSS_B4, 25.0f, 35.4f, CM},
    {TWSS_B6, 12.5f, 17.6f, CM},            {TWSS_USLEDGER, 11.0f, 17.0f, IN},
    {TWSS_USEXECUTIVE, 7.25f, 10.5f, IN},   {TWSS_A3, 29.7f, 42.0f, CM},
    {TWSS_B3, 35.3f, 50.0f, CM},            {TWSS_A6, 10.5f, 14.8f, CM},
    {TWSS_C4, 22.9f, 32.4f, CM},            {TWSS_C5, 16.2f, 22.9f, CM},
    {TWSS_C6, 11.4f, 16.2f, CM},            {TWSS_4A0, 168.2f, 237.8f, CM},
    {TWSS_2A0, 118.9f, 168.2f, CM},         {TWSS_A0, 84.1f, 118.9f, CM},
    {TWSS_A1, 59.4f, 84.1f, CM},            {TWSS_A2, 42.0f, 59.4f, CM},
    {TWSS_A7, 7.4f, 10.5f, CM},             {TWSS_A8, 5.2f, 7.4f, CM},
    {TWSS_A9, 3.7f, 5.2f, CM},              {TWSS_A10, 2.6f, 3.7f, CM},
    {TWSS_ISOB0, 100.0f, 141.4f, CM},       {TWSS_ISOB1, 70.7f, 100.0f, CM},
    {TWSS_ISOB2, 50.0f, 70.7f, CM},         {TWSS_ISOB5, 17.6f, 25.0f, CM},
    {TWSS_ISOB7, 8.8f, 12.5f, CM},          {TWSS_ISOB8, 6.2f, 8.8f, CM},
    {TWSS_ISOB9, 4.4f, 6.2f, CM},           {TWSS_ISOB10, 3.1f, 4.4f, CM},
    {TWSS_JISB0, 103.0f, 145.6f, CM},       {TWSS_JISB1, 72.8f, 103.0f, CM},
    {TWSS_JISB2, 51.5f, 72.8f, CM},         {TWSS_JISB3, 36.4f, 51.5f, CM},
    {TWSS_JISB4, 25.7f, 36.4f, CM},         {TWSS_JISB6, 12.8f, 18.2f, CM},
    {TWSS_JISB7, 9.1f, 12.8f, CM},          {TWSS_JISB8, 6.4f, 9.1f, CM},
    {TWSS_JISB9, 4.5f, 6.4f, CM},           {TWSS_JISB10, 3.2f, 4.5f, CM},
    {TWSS_C0, 91.7f, 129.7f, CM},           {TWSS_C1, 64.8f, 91.7f, CM},
    {TWSS_C2, 45.8f, 64.8f, CM},            {TWSS_C3, 32.4f, 45.8f, CM},
    {TWSS_C7, 8.1f, 11.4f, CM},             {TWSS_C8, 5.7f, 8.1f, CM},
    {TWSS_C9, 4.0f, 5.7f, CM},              {TWSS_C10, 2.8f, 4.0f, CM},
    {TWSS_USSTATEMENT, 5.5f, 8.5f, IN},     {TWSS_BUSINESSCARD, 3.5f, 2.0f, IN},
};
// clang-format on

} // namespace

CTWAINFrame GetSupportedSizeFrame(int sizeCode, int unit, float xResolution, float yResolution)
{
    for (const PaperSize& size : kPaperSizes)
        if (size.code == sizeCode)
            return CTWAINFrame(0.0f, 0.0f, size.width, size.height)
                .ConvertUnits(size.unit, unit, xResolution, yResolution);
    return CTWAINFrame();
}

void GetSupportedSizeFrame(CTWAINFrame& out, int sizeCode, int unit, float xResolution, float yResolution)
{
    out = GetSupportedSizeFrame(sizeCode, unit, xResolution, yResolution);
}

} // namespace Trellis
