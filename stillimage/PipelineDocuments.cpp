#include "stillimage/PipelineDocuments.h"

#include <cstdint>

const char16_t kScannerSourceDocument[] =
    u"  <scannerSource assemblyName=\"RNXQBK24.dll\" moduleName=\"Quorvant.Tessivo.RNXQBK24Hal\">"
    u"    <scanner>00000000-0000-0000-0000-000000000000</scanner>"
    u"    <config>"
    u"      <input>"
    u"      </input>"
    u"    </config>"
    u"  </scannerSource>";

const char16_t kRasterConvertDocument[] =
    u"  <rasterCvrt assemblyName=\"RNXStdModules.dll\" moduleName=\"Quorvant.Tessivo.RBConvert\">"
    u"    <precursor>scannerSource</precursor>"
    u"    <Restrictions Alignment=\"4\" BWGender=\"BlackIsZero\" GrayGender=\"BlackIsZero\" "
    u"ColorGender=\"BlackIsZero\" PixelOrder=\"LeftRight\" ColorChannelOrder=\"BGR\" LineOrder=\"BottomUp\" "
    u"BitOrder=\"MSBFirst\"/>"
    u"    <bufferSize>65536</bufferSize>"
    u"  </rasterCvrt>";

namespace {

// Thousandths of an inch of a length in pixels.
LONG Thousandths(LONG pixels, LONG resolution)
{
    return resolution != 0 ? static_cast<LONG>(std::int64_t{pixels} * 1000 / resolution) : 0;
}

LONG ScannerScale(LONG percent) { return 255 - percent * 255 / 100; }

} // namespace

std::vector<ConfigInputKey> ConfigInputKeys(const WiaScanSettings& s)
{
    const LONG brightness = ScannerScale(s.brightness);
    return {
        {u"Width", Thousandths(s.right - s.left, s.xResolution)},
        {u"Height", Thousandths(s.bottom - s.top, s.yResolution)},
        {u"BitsPerPixel", s.bitsPerPixel},
        {u"Duplex", s.duplex ? 1 : 0},
        {u"DPI", s.xResolution},
        {u"Pages", s.pages},
        {u"Brightness", brightness},
        {u"Threshold", brightness},
        {u"Contrast", ScannerScale(s.contrast)},
    };
}
