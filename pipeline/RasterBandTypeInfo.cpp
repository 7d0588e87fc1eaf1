// Descriptions of the payload interfaces IRNXPayload and IRNXRasterBand.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

const plat::ParamDesc kGetLong[] = {{u"pVal", VT_I4, ParamDir::Out}};
const plat::ParamDesc kPutLong[] = {{u"newVal", VT_I4, ParamDir::In}};
const plat::ParamDesc kGetBstr[] = {{u"pVal", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kPutBstr[] = {{u"newVal", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kGetBytes[] = {{u"pVal", VT_UI1 | VT_BYREF, ParamDir::Out}};
const plat::ParamDesc kPutBytes[] = {{u"newVal", VT_UI1 | VT_BYREF, ParamDir::In}};

IRNXPayload* Payload(void* self) { return static_cast<IRNXPayload*>(self); }
IRNXRasterBand* Band(void* self) { return static_cast<IRNXRasterBand*>(self); }

const plat::MemberDesc kPayloadMembers[] = {
    {u"SessionLevel", 1, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Payload(s)->get_SessionLevel(&a[0].lVal); }},
    {u"SessionLevel", 1, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Payload(s)->put_SessionLevel(a[0].lVal); }},
    {u"Status", 2, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Payload(s)->get_Status(&a[0].lVal); }},
    {u"Status", 2, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Payload(s)->put_Status(a[0].lVal); }},
    {u"MetaContext", 3, MemberKind::PropertyGet, kGetBstr,
     [](void* s, VARIANT* a) { return Payload(s)->get_MetaContext(&a[0].bstrVal); }},
    {u"MetaContext", 3, MemberKind::PropertyPut, kPutBstr,
     [](void* s, VARIANT* a) { return Payload(s)->put_MetaContext(a[0].bstrVal); }},
};

const plat::ParamDesc kDescribe[] = {
    {u"compression", VT_I4, ParamDir::In},  {u"width", VT_I4, ParamDir::In},
    {u"BitsPerPixel", VT_I4, ParamDir::In}, {u"BytesPerLine", VT_I4, ParamDir::In},
    {u"PixelType", VT_I4, ParamDir::In},    {u"ColorChannelOrder", VT_I4, ParamDir::In},
    {u"LineOrder", VT_I4, ParamDir::In},    {u"BitOrder", VT_I4, ParamDir::In},
    {u"PixelGender", VT_I4, ParamDir::In},  {u"pixelOrder", VT_I4, ParamDir::In},
    {u"resolution", VT_I4, ParamDir::In},
};
const plat::ParamDesc kSizeBuffer[] = {{u"lSize", VT_I4, ParamDir::In}};

const plat::MemberDesc kRasterBandMembers[] = {
    {u"BytesPerLine", 1, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BytesPerLine(&a[0].lVal); }},
    {u"BytesPerLine", 1, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BytesPerLine(a[0].lVal); }},
    {u"RasterCompression", 2, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_RasterCompression(&a[0].lVal); }},
    {u"RasterCompression", 2, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_RasterCompression(a[0].lVal); }},
    {u"ImageWidth", 3, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_ImageWidth(&a[0].lVal); }},
    {u"ImageWidth", 3, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_ImageWidth(a[0].lVal); }},
    {u"BitsPerPixel", 4, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BitsPerPixel(&a[0].lVal); }},
    {u"BitsPerPixel", 4, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BitsPerPixel(a[0].lVal); }},
    {u"ColorChannelOrder", 5, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_ColorChannelOrder(&a[0].lVal); }},
    {u"ColorChannelOrder", 5, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_ColorChannelOrder(a[0].lVal); }},
    {u"BitOrder", 6, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BitOrder(&a[0].lVal); }},
    {u"BitOrder", 6, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BitOrder(a[0].lVal); }},
    {u"LineOrder", 7, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_LineOrder(&a[0].lVal); }},
    {u"LineOrder", 7, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_LineOrder(a[0].lVal); }},
    {u"PixelGender", 8, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_PixelGender(&a[0].lVal); }},
    {u"PixelGender", 8, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_PixelGender(a[0].lVal); }},
    {u"PixelType", 9, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_PixelType(&a[0].lVal); }},
    {u"PixelType", 9, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_PixelType(a[0].lVal); }},
    {u"Dpi", 10, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_Dpi(&a[0].lVal); }},
    {u"Dpi", 10, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_Dpi(a[0].lVal); }},
    {u"Buffer", 13, MemberKind::PropertyGet, kGetBytes,
     [](void* s, VARIANT* a) { return Band(s)->get_Buffer(&a[0].pbVal); }},
    {u"Buffer", 13, MemberKind::PropertyPut, kPutBytes,
     [](void* s, VARIANT* a) { return Band(s)->put_Buffer(a[0].pbVal); }},
    {u"BytesToRead", 14, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BytesToRead(&a[0].lVal); }},
    {u"BytesToRead", 14, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BytesToRead(a[0].lVal); }},
    {u"BytesWritten", 15, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BytesWritten(&a[0].lVal); }},
    {u"BytesWritten", 15, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BytesWritten(a[0].lVal); }},
    {u"BufferSize", 16, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_BufferSize(&a[0].lVal); }},
    {u"BufferSize", 16, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_BufferSize(a[0].lVal); }},
    {u"DescribeBufferContent", 17, MemberKind::Method, kDescribe,
     [](void* s, VARIANT* a) {
         return Band(s)->DescribeBufferContent(a[0].lVal, a[1].lVal, a[2].lVal, a[3].lVal, a[4].lVal, a[5].lVal,
                                               a[6].lVal, a[7].lVal, a[8].lVal, a[9].lVal, a[10].lVal);
     }},
    {u"SizeBuffer", 18, MemberKind::Method, kSizeBuffer,
     [](void* s, VARIANT* a) { return Band(s)->SizeBuffer(a[0].lVal); }},
    {u"pixelOrder", 19, MemberKind::PropertyGet, kGetLong,
     [](void* s, VARIANT* a) { return Band(s)->get_pixelOrder(&a[0].lVal); }},
    {u"pixelOrder", 19, MemberKind::PropertyPut, kPutLong,
     [](void* s, VARIANT* a) { return Band(s)->put_pixelOrder(a[0].lVal); }},
};

} // namespace

const plat::InterfaceDesc kIRNXPayloadDesc{u"IRNXPayload", IID_IRNXPayload, kPayloadMembers};
const plat::InterfaceDesc kIRNXRasterBandDesc{u"IRNXRasterBand", IID_IRNXRasterBand, kRasterBandMembers};
