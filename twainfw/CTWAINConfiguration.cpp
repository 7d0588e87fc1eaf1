// The user's settings saved into and restored from a settings store, each
// through the capability's own accessors so that a device's rules hold.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/CTWAINStorage.h"
#include "twainfw/FixedPoint.h"

namespace Trellis {

namespace {

const char* const kFrameKeys[] = {"icapFrames.left", "icapFrames.top", "icapFrames.right", "icapFrames.bottom"};

// One stored value: a reset first, so that a missing or refused value
// leaves the default; only the framework's own failures are passed over.
template <class Apply>
void RestoreKey(Apply apply)
{
    try {
        apply();
    } catch (const CTWAINException&) {
    }
}

} // namespace

void CTWAINDataSource::SaveConfiguration(CTWAINStorage& storage)
{
    if (IsCapSupported(CAP_ENDORSER))
        storage.WriteInt("capEndorser", static_cast<TW_INT32>(GetEndorserCurrent()), CAP_ENDORSER);
    if (IsCapSupported(CAP_FEEDERENABLED))
        storage.WriteBool("capFeederEnabled", GetFeederEnabledCurrent(), CAP_FEEDERENABLED);
    if (IsCapSupported(ICAP_AUTOBRIGHT))
        storage.WriteBool("icapAutoBright", GetAutoBrightCurrent(), ICAP_AUTOBRIGHT);
    if (IsCapSupported(ICAP_BITDEPTH))
        storage.WriteInt("icapBitDepth", GetBitDepthCurrent(), ICAP_BITDEPTH);
    if (IsCapSupported(ICAP_ORIENTATION))
        storage.WriteInt("icapOrientation", GetOrientationCurrent(), ICAP_ORIENTATION);
    if (IsCapSupported(ICAP_PIXELTYPE))
        storage.WriteInt("icapPixelType", GetPixelTypeCurrent(), ICAP_PIXELTYPE);
    if (IsCapSupported(ICAP_SUPPORTEDSIZES))
        storage.WriteInt("icapSupportedSizes", GetSupportedSizesCurrent(), ICAP_SUPPORTEDSIZES);

    // Frames and resolutions are kept in inches and dots per inch, whatever
    // the unit of the moment, so that they mean the same when read back.
    const CTWAINFrame inches =
        GetFramesCurrent().ConvertUnits(GetUnitsCurrent(), TWUN_INCHES, GetXResolutionValue(), GetYResolutionValue());
    const TW_FIX32 edges[] = {inches.Left, inches.Top, inches.Right, inches.Bottom};
    for (size_t i = 0; i < std::size(kFrameKeys); ++i) {
        if (IsCapSupported(ICAP_FRAMES))
            storage.WriteFloat(kFrameKeys[i], Fix32ToFloat(edges[i]), ICAP_FRAMES);
    }

    if (IsCapSupported(ICAP_XRESOLUTION))
        storage.WriteFloat("icapXResolution", GetXResolutionValue(), ICAP_XRESOLUTION);
    if (IsCapSupported(ICAP_YRESOLUTION))
        storage.WriteFloat("icapYResolution", GetYResolutionValue(), ICAP_YRESOLUTION);
}

void CTWAINDataSource::RestoreConfiguration(CTWAINStorage& storage)
{
    // Dependent settings after the ones they depend on: the bit depth
    // belongs to the pixel type, the frame to the page size.
    if (IsCapSupported(ICAP_PIXELTYPE)) {
        ResetPixelType();
        RestoreKey(
            [&] { SetPixelTypeCurrent(static_cast<TW_UINT16>(storage.ReadInt("icapPixelType", ICAP_PIXELTYPE))); });
    }
    if (IsCapSupported(ICAP_BITDEPTH)) {
        ResetBitDepth();
        RestoreKey([&] { SetBitDepthCurrent(static_cast<TW_UINT16>(storage.ReadInt("icapBitDepth", ICAP_BITDEPTH))); });
    }
    if (IsCapSupported(ICAP_XRESOLUTION)) {
        ResetXResolution();
        RestoreKey(
            [&] { SetXResolutionCurrent(ResolutionToUnits(storage.ReadFloat("icapXResolution", ICAP_XRESOLUTION))); });
    }
    if (IsCapSupported(ICAP_YRESOLUTION)) {
        ResetYResolution();
        RestoreKey(
            [&] { SetYResolutionCurrent(ResolutionToUnits(storage.ReadFloat("icapYResolution", ICAP_YRESOLUTION))); });
    }
    if (IsCapSupported(CAP_FEEDERENABLED)) {
        ResetFeederEnabled();
        RestoreKey([&] { SetFeederEnabledCurrent(storage.ReadBool("capFeederEnabled", CAP_FEEDERENABLED)); });
    }
    if (IsCapSupported(CAP_ENDORSER)) {
        ResetEndorser();
        RestoreKey([&] { SetEndorserCurrent(static_cast<TW_UINT32>(storage.ReadInt("capEndorser", CAP_ENDORSER))); });
    }
    if (IsCapSupported(ICAP_ORIENTATION)) {
        ResetOrientation();
        RestoreKey([&] {
            SetOrientationCurrent(static_cast<TW_UINT16>(storage.ReadInt("icapOrientation", ICAP_ORIENTATION)));
        });
    }
    if (IsCapSupported(ICAP_SUPPORTEDSIZES)) {
        ResetSupportedSizes();
        RestoreKey([&] {
            SetSupportedSizesCurrent(
                static_cast<TW_UINT16>(storage.ReadInt("icapSupportedSizes", ICAP_SUPPORTEDSIZES)));
        });
    }

    // A page size has already set the frame.
    if (GetSupportedSizesCurrent() != TWSS_NONE)
        return;
    RestoreKey([&] {
        CTWAINFrame frame = GetFramesCurrent();
        frame.Left = FloatToFix32(storage.ReadFloat(kFrameKeys[0], ICAP_FRAMES));
        frame.Top = FloatToFix32(storage.ReadFloat(kFrameKeys[1], ICAP_FRAMES));
        frame.Right = FloatToFix32(storage.ReadFloat(kFrameKeys[2], ICAP_FRAMES));
        frame.Bottom = FloatToFix32(storage.ReadFloat(kFrameKeys[3], ICAP_FRAMES));
        SetFramesCurrent(
            frame.ConvertUnits(TWUN_INCHES, GetUnitsCurrent(), GetXResolutionValue(), GetYResolutionValue()));
    });
}

} // namespace Trellis
