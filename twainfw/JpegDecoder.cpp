#include "twainfw/JpegDecoder.h"

#include "twainfw/CWin32Exception.h"
#include "twainfw/GlobalMemorySource.h"
#include "twainfw/JpegDecoderRecord.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace Trellis {

namespace {

const char kInvalidParameter[] = "Invalid function call parameter";
const char kNoMemory[] = "Not enough free memory for operation";

// A failure on the C++ side of the library; its text goes to the caller.
struct JpegFailure {
    std::string text;
};

[[noreturn]] void Fail(const std::string& text) { throw JpegFailure{text}; }

// Deletes a file as the system's file deletion does: a folder of that name
// is left alone.
void DeleteOutputFile(const char* path)
{
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        std::filesystem::remove(path, error);
    }
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

constexpr DWORD kFileHeaderSize = 14;
constexpr DWORD kInfoHeaderSize = 40;
// Bitmap sizes are 32-bit: header, the largest palette and the pixels must
// fit in them.
constexpr size_t kLargestImage = 0xFFFFFFFFu - kFileHeaderSize - kInfoHeaderSize - 256 * 4;

void Put16(std::vector<BYTE>& out, DWORD value)
{
    out.push_back(static_cast<BYTE>(value));
    out.push_back(static_cast<BYTE>(value >> 8));
}

void Put32(std::vector<BYTE>& out, DWORD value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

DWORD PixelsPerMetre(int unit, unsigned density)
{
    switch (unit) {
    case 1: // dots per inch
        return density * 39;
    case 2: // dots per centimetre
        return density * 100;
    default:
        return 0;
    }
}

// Everything one call owns. Until the call succeeds the destructor undoes it:
// no partial BMP file, output block or palette block survives a failure.
class JpegDecoding {
public:
    JpegDecoding(const void* input, const void* input2, int inputKind, void* output, int outputKind,
                 const JpegOptions* options, JpegInfo* info, JpegProgressCallback progress, JpegPassCallback pass,
                 plat::FaultTrap& trap)
        : m_Trap(trap), m_Input(input), m_Input2(input2), m_InputKind(inputKind), m_Output(output),
          m_OutputKind(outputKind), m_Options(options), m_Info(info), m_Progress(progress), m_Pass(pass)
    {
    }

    ~JpegDecoding()
    {
        if (m_Created) {
            // After a fault the library's state may be damaged: a fault
            // while destroying it leaves its memory behind rather than
            // ending the process.
            CallLibrary(m_Record, [&] { jpeg_destroy_decompress(&m_Record.cinfo); });
        }
        m_InputFile.reset();
        m_DataFile.reset();
        if (m_Succeeded) {
            return;
        }
        if (m_OutputPrepared) {
            DiscardOutput();
        }
        if (m_Info) {
            // Only blocks of this call: what the record held before is the
            // caller's.
            if (m_InfoPalette) {
                GlobalFree(m_InfoPalette);
            }
            if (m_InfoMarkers) {
                GlobalFree(m_InfoMarkers);
            }
            const BOOL saveMarkers = m_Info->saveMarkers;
            *m_Info = JpegInfo();
            m_Info->saveMarkers = saveMarkers;
        }
    }

    JpegDecoding(const JpegDecoding&) = delete;
    JpegDecoding& operator=(const JpegDecoding&) = delete;

    void Run()
    {
        CheckParameters();
        PrepareOutput();
        if (!CreateJpegDecoder(m_Record, m_Progress, &m_Trap)) {
            FailLibraryCall();
        }
        m_Created = true;
        OpenInput();
        KeepMarkers();
        ReadHeaders();
        if (m_Pass) {
            boolean multiScan = FALSE;
            Library([&] { multiScan = jpeg_has_multiple_scans(&m_Record.cinfo); });
            m_Record.cinfo.buffered_image = multiScan;
        }
        ApplyOptions();
        AllocateImage();
        StartDecompress();
        Decode();
        FillInfo();
        Library([&] { jpeg_finish_decompress(&m_Record.cinfo); });
        m_Succeeded = true;
    }

private:
    jpeg_decompress_struct& Cinfo() { return m_Record.cinfo; }
    j_common_ptr Common() { return reinterpret_cast<j_common_ptr>(&m_Record.cinfo); }

    // A library call under the guard; its failure text is thrown on (or
    // `failure` in place of it), a processor fault as its exception.
    template <typename Call>
    void Library(Call&& call, const char* failure = nullptr)
    {
        if (!CallLibrary(m_Record, call)) {
            FailLibraryCall(failure);
        }
    }

    [[noreturn]] void FailLibraryCall(const char* failure = nullptr)
    {
        if (m_Record.error.faulted) {
            const EXCEPTION_RECORD fault = m_Trap.Fault();
            CWin32Exception::TranslatorFunction(fault.ExceptionCode, &fault);
        }
        Fail(failure ? failure : m_Record.error.text);
    }

    bool TablesKind() const { return m_InputKind == JPEG_INPUT_TABLES_FILE || m_InputKind == JPEG_INPUT_TABLES_MEMORY; }
    bool MemoryKind(int kind) const { return kind == JPEG_INPUT_MEMORY || kind == JPEG_INPUT_TABLES_MEMORY; }

    void CheckParameters()
    {
        if (!m_Input || !m_Output) {
            Fail(kInvalidParameter);
        }
        if (m_InputKind < 0 || m_InputKind > 3 || m_OutputKind < 0 || m_OutputKind > 2) {
            Fail("Unsupported input/output requested");
        }
        if (TablesKind() && !m_Input2) {
            Fail(kInvalidParameter);
        }
        if (MemoryKind(m_InputKind)) {
            if (!*static_cast<const HGLOBAL*>(m_Input) || (TablesKind() && !*static_cast<const HGLOBAL*>(m_Input2))) {
                Fail(kInvalidParameter);
            }
        }
    }

    // No BMP file at the output path, no block in the output handle.
    void DiscardOutput()
    {
        if (m_OutputKind == JPEG_OUTPUT_BMP_FILE) {
            DeleteOutputFile(static_cast<const char*>(m_Output));
        } else {
            HGLOBAL* handle = static_cast<HGLOBAL*>(m_Output);
            if (*handle) {
                GlobalFree(*handle);
                *handle = nullptr;
            }
        }
    }

    void PrepareOutput()
    {
        DiscardOutput();
        m_OutputPrepared = true;
    }

    void OpenInput()
    {
        if (MemoryKind(m_InputKind)) {
            HGLOBAL* handle = const_cast<HGLOBAL*>(static_cast<const HGLOBAL*>(m_Input));
            Library([&] { AttachGlobalMemorySource(&m_Record.cinfo, handle); });
        } else {
            m_InputFile.reset(std::fopen(static_cast<const char*>(m_Input), "rb"));
            if (!m_InputFile) {
                Fail(m_InputKind == JPEG_INPUT_TABLES_FILE ? "Cannot open input header file"
                                                           : "Cannot open input file");
            }
            FILE* file = m_InputFile.get();
            Library([&] { jpeg_stdio_src(&m_Record.cinfo, file); });
        }
        if (m_OutputKind == JPEG_OUTPUT_BMP_FILE) {
            // Find out now, before any decoding, whether the output can be made.
            FilePtr out(std::fopen(static_cast<const char*>(m_Output), "wb"));
            if (!out) {
                Fail("Cannot open output file");
            }
        }
    }

    void KeepMarkers()
    {
        if (!m_Info || !m_Info->saveMarkers) {
            return;
        }
        Library([&] {
            jpeg_save_markers(&m_Record.cinfo, JPEG_COM, 0xFFFF);
            for (int n = 0; n < 16; ++n) {
                jpeg_save_markers(&m_Record.cinfo, JPEG_APP0 + n, 0xFFFF);
            }
        });
    }

    void ReadHeaders()
    {
        int result = 0;
        const boolean requireImage = TablesKind() ? FALSE : TRUE;
        Library([&] { result = jpeg_read_header(&m_Record.cinfo, requireImage); });
        if (result != (TablesKind() ? JPEG_HEADER_TABLES_ONLY : JPEG_HEADER_OK)) {
            Fail("Bad input data, cannot read JPEG header");
        }
        if (!TablesKind()) {
            return;
        }
        if (m_InputKind == JPEG_INPUT_TABLES_MEMORY) {
            HGLOBAL* handle = const_cast<HGLOBAL*>(static_cast<const HGLOBAL*>(m_Input2));
            Library([&] { AttachGlobalMemorySource(&m_Record.cinfo, handle); });
        } else {
            m_DataFile.reset(std::fopen(static_cast<const char*>(m_Input2), "rb"));
            if (!m_DataFile) {
                Fail("Cannot open input data file");
            }
            FILE* file = m_DataFile.get();
            Library([&] { jpeg_stdio_src(&m_Record.cinfo, file); });
        }
        Library([&] { result = jpeg_read_header(&m_Record.cinfo, TRUE); });
        if (result != JPEG_HEADER_OK) {
            Fail("Bad input data file, cannot read JPEG header");
        }
    }

    void ApplyOptions()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        if (m_Options) {
            const JpegOptions& o = *m_Options;
            if (o.flags & JPEG_OPTION_COLORSPACE) {
                if (o.outColorSpace > JCS_YCCK) {
                    Fail(kInvalidParameter);
                }
                cinfo.out_color_space = static_cast<J_COLOR_SPACE>(o.outColorSpace);
            }
            if (o.flags & JPEG_OPTION_SCALE) {
                cinfo.scale_num = o.scaleNumerator;
                cinfo.scale_denom = o.scaleDenominator;
            }
            if ((o.flags & JPEG_OPTION_QUANTIZE) && o.quantize) {
                ApplyQuantization(o);
            }
            if (o.flags & JPEG_OPTION_QUANT_TABLES) {
                cinfo.output_gamma = o.outputGamma;
                ApplyQuantTables(o);
            }
            if (o.flags & JPEG_OPTION_DCT_METHOD) {
                if (o.dctMethod > JDCT_FLOAT) {
                    Fail(kInvalidParameter);
                }
                cinfo.dct_method = static_cast<J_DCT_METHOD>(o.dctMethod);
            }
            if (o.flags & JPEG_OPTION_FANCY_UPSAMPLING) {
                cinfo.do_fancy_upsampling = o.fancyUpsampling ? TRUE : FALSE;
            }
            if (o.flags & JPEG_OPTION_BLOCK_SMOOTHING) {
                cinfo.do_block_smoothing = o.blockSmoothing ? TRUE : FALSE;
            }
            if (o.flags & JPEG_OPTION_HUFF_TABLES) {
                ApplyHuffTables(o);
            }
            if (o.flags & JPEG_OPTION_ROW_ORDER) {
                m_Flip = o.flipRows != 0;
                m_Swap = o.swapRedBlue != 0;
            }
        }
        // Gray output is always an 8-bit palette image.
        if (cinfo.out_color_space == JCS_GRAYSCALE) {
            cinfo.quantize_colors = TRUE;
        }
    }

    void ApplyQuantization(const JpegOptions& o)
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        if (o.ditherMode > JDITHER_FS) {
            Fail(kInvalidParameter);
        }
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = static_cast<int>(std::min<DWORD>(o.desiredColors, 256));
        cinfo.two_pass_quantize = o.twoPassQuantize ? TRUE : FALSE;
        cinfo.dither_mode = static_cast<J_DITHER_MODE>(o.ditherMode);
        if (!o.colorMap) {
            return;
        }
        if (o.colorMapCount < 1 || o.colorMapCount > 256) {
            Fail(kInvalidParameter);
        }
        const int rows = cinfo.out_color_space == JCS_GRAYSCALE ? 1 : 3;
        JSAMPARRAY map = nullptr;
        Library([&] { map = (*cinfo.mem->alloc_sarray)(Common(), JPOOL_IMAGE, o.colorMapCount, rows); }, kNoMemory);
        for (int r = 0; r < rows; ++r) {
            std::memcpy(map[r], o.colorMap + 256 * r, o.colorMapCount);
        }
        cinfo.colormap = map;
        cinfo.actual_number_of_colors = static_cast<int>(o.colorMapCount);
    }

    void ApplyQuantTables(const JpegOptions& o)
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        for (int i = 0; i < 4; ++i) {
            if (!o.quantTables[i]) {
                Fail("Invalid parameter: null Quant table pointer");
            }
        }
        for (int i = 0; i < 4; ++i) {
            if (!cinfo.quant_tbl_ptrs[i]) {
                Library([&] { cinfo.quant_tbl_ptrs[i] = jpeg_alloc_quant_table(Common()); }, kNoMemory);
            }
            JQUANT_TBL* table = cinfo.quant_tbl_ptrs[i];
            for (int k = 0; k < 64; ++k) {
                table->quantval[k] = o.quantTables[i]->values[k];
            }
            table->sent_table = o.quantTables[i]->sent ? TRUE : FALSE;
        }
        for (int c = 0; c < cinfo.num_components && c < 4; ++c) {
            if (o.quantTableOfComponent[c] > 3) {
                Fail(kInvalidParameter);
            }
            cinfo.comp_info[c].quant_tbl_no = static_cast<int>(o.quantTableOfComponent[c]);
        }
    }

    void ApplyHuffTables(const JpegOptions& o)
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        for (int i = 0; i < 4; ++i) {
            if (!o.dcTables[i] || !o.acTables[i]) {
                Fail("Invalid parameter: null Huffman table pointer");
            }
        }
        auto copy = [&](JHUFF_TBL*& slot, const JpegHuffTable& from) {
            if (!slot) {
                Library([&] { slot = jpeg_alloc_huff_table(Common()); }, kNoMemory);
            }
            std::memcpy(slot->bits, from.bits, sizeof slot->bits);
            std::memcpy(slot->huffval, from.values, sizeof slot->huffval);
            slot->sent_table = from.sent ? TRUE : FALSE;
        };
        for (int i = 0; i < 4; ++i) {
            copy(cinfo.dc_huff_tbl_ptrs[i], *o.dcTables[i]);
            copy(cinfo.ac_huff_tbl_ptrs[i], *o.acTables[i]);
        }
        for (int c = 0; c < cinfo.num_components && c < 4; ++c) {
            if (o.dcTableOfComponent[c] > 3 || o.acTableOfComponent[c] > 3) {
                Fail(kInvalidParameter);
            }
            cinfo.comp_info[c].dc_tbl_no = static_cast<int>(o.dcTableOfComponent[c]);
            cinfo.comp_info[c].ac_tbl_no = static_cast<int>(o.acTableOfComponent[c]);
        }
    }

    void AllocateImage()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        Library([&] { jpeg_calc_output_dimensions(&m_Record.cinfo); });
        m_PixelBytes = static_cast<size_t>(cinfo.output_width) * static_cast<size_t>(cinfo.output_components);
        m_RowSize = (m_PixelBytes + 3) & ~static_cast<size_t>(3);
        m_Height = cinfo.output_height;
        const size_t imageSize = m_RowSize * m_Height;
        if (m_RowSize == 0 || m_Height == 0 || imageSize / m_RowSize != m_Height || imageSize > kLargestImage) {
            Fail(kNoMemory);
        }
        m_ImageSize = imageSize;
        Library([&] { m_Image = static_cast<BYTE*>((*cinfo.mem->alloc_large)(Common(), JPOOL_IMAGE, imageSize)); },
                kNoMemory);
        std::memset(m_Image, 0, imageSize);
        Library(
            [&] {
                m_Row = (*cinfo.mem->alloc_sarray)(Common(), JPOOL_IMAGE, static_cast<JDIMENSION>(m_PixelBytes), 1);
            },
            kNoMemory);
    }

    void StartDecompress()
    {
        boolean started = FALSE;
        Library([&] { started = jpeg_start_decompress(&m_Record.cinfo); });
        if (!started) {
            Fail("Bad input file");
        }
        // The library may settle on other dimensions than it first said.
        if (Cinfo().output_height != m_Height ||
            static_cast<size_t>(Cinfo().output_width) * Cinfo().output_components != m_PixelBytes) {
            Fail("Bad input file");
        }
    }

    void Decode()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        const bool buffered = cinfo.buffered_image != FALSE;
        int passNumber = 0;
        for (;;) {
            if (buffered) {
                Library([&] { jpeg_start_output(&m_Record.cinfo, m_Record.cinfo.input_scan_number); });
            }
            m_Record.progressRecord.rowsDone = 0;
            m_Record.progressRecord.rowsTotal = m_OutputKind == JPEG_OUTPUT_PIXELS ? 0 : static_cast<long>(m_Height);
            ReadRows();
            bool last = true;
            if (buffered) {
                boolean complete = FALSE;
                Library([&] {
                    jpeg_finish_output(&m_Record.cinfo);
                    complete = jpeg_input_complete(&m_Record.cinfo);
                });
                last = complete != FALSE;
            }
            BuildPalette();
            if (m_OutputKind != JPEG_OUTPUT_PIXELS) {
                PostProcess();
            }
            WriteOutput();
            if (buffered && !m_Pass(++passNumber)) {
                Fail("Process canceled");
            }
            if (last) {
                break;
            }
        }
    }

    void ReadRows()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION row = cinfo.output_scanline;
            JDIMENSION read = 0;
            Library([&] { read = jpeg_read_scanlines(&m_Record.cinfo, m_Row, 1); });
            if (read != 1) {
                Fail("Bad input file");
            }
            std::memcpy(m_Image + row * m_RowSize, m_Row[0], m_PixelBytes);
        }
    }

    void BuildPalette()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        m_Palette.clear();
        if (!cinfo.quantize_colors) {
            return;
        }
        const int count = cinfo.colormap ? cinfo.actual_number_of_colors : 0;
        const int length = count >= 1 && count <= 256 ? count : 256;
        m_Palette.assign(static_cast<size_t>(length) * 4, 0);
        for (int i = 0; i < length; ++i) {
            BYTE* entry = &m_Palette[static_cast<size_t>(i) * 4];
            if (!cinfo.colormap) {
                entry[0] = entry[1] = entry[2] = static_cast<BYTE>(i);
            } else if (i < count) {
                // Entries past the map's own colours stay black.
                if (cinfo.out_color_components >= 3) {
                    entry[0] = cinfo.colormap[2][i];
                    entry[1] = cinfo.colormap[1][i];
                    entry[2] = cinfo.colormap[0][i];
                } else {
                    entry[0] = entry[1] = entry[2] = cinfo.colormap[0][i];
                }
            }
        }
    }

    void PostProcess()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        // Decoding is done: its half of the progress is full.
        m_Record.progressRecord.pub.pass_counter = static_cast<long>(m_Height);
        m_Record.progressRecord.pub.pass_limit = static_cast<long>(m_Height);
        const bool swap = m_Swap && !cinfo.quantize_colors && cinfo.output_components == 3;
        for (size_t i = 0; i < m_Height; ++i) {
            BYTE* row = m_Image + i * m_RowSize;
            if (m_Flip && i < m_Height / 2) {
                std::swap_ranges(row, row + m_RowSize, m_Image + (m_Height - 1 - i) * m_RowSize);
            }
            if (swap) {
                for (size_t x = 0; x + 2 < m_PixelBytes; x += 3) {
                    std::swap(row[x], row[x + 2]);
                }
            }
            m_Record.progressRecord.rowsDone = static_cast<long>(i + 1);
            if (!ReportJpegProgress(m_Record)) {
                Fail("Process canceled");
            }
        }
    }

    std::vector<BYTE> InfoHeader()
    {
        jpeg_decompress_struct& cinfo = Cinfo();
        std::vector<BYTE> h;
        Put32(h, kInfoHeaderSize);
        Put32(h, cinfo.output_width);
        Put32(h, static_cast<DWORD>(m_Height)); // positive: bottom-up
        Put16(h, 1);
        Put16(h, static_cast<DWORD>(cinfo.output_components) * 8);
        Put32(h, 0);
        Put32(h, static_cast<DWORD>(m_ImageSize));
        Put32(h, PixelsPerMetre(cinfo.density_unit, cinfo.X_density));
        Put32(h, PixelsPerMetre(cinfo.density_unit, cinfo.Y_density));
        Put32(h, static_cast<DWORD>(m_Palette.size() / 4));
        Put32(h, 0);
        return h;
    }

    void WriteOutput()
    {
        const std::vector<BYTE> info = InfoHeader();
        if (m_OutputKind == JPEG_OUTPUT_BMP_FILE) {
            const DWORD pixelOffset = kFileHeaderSize + kInfoHeaderSize + static_cast<DWORD>(m_Palette.size());
            std::vector<BYTE> file;
            file.push_back('B');
            file.push_back('M');
            Put32(file, pixelOffset + static_cast<DWORD>(m_ImageSize));
            Put16(file, 0);
            Put16(file, 0);
            Put32(file, pixelOffset);
            FilePtr out(std::fopen(static_cast<const char*>(m_Output), "wb"));
            if (!out) {
                Fail("Cannot open output file");
            }
            const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size() &&
                                 std::fwrite(info.data(), 1, info.size(), out.get()) == info.size() &&
                                 (m_Palette.empty() ||
                                  std::fwrite(m_Palette.data(), 1, m_Palette.size(), out.get()) == m_Palette.size()) &&
                                 std::fwrite(m_Image, 1, m_ImageSize, out.get()) == m_ImageSize;
            // Closing flushes: a full disk may show only here.
            const bool closed = std::fclose(out.release()) == 0;
            if (!written || !closed) {
                Fail("Cannot write data to out file. Disk full?");
            }
            return;
        }
        const bool dib = m_OutputKind == JPEG_OUTPUT_DIB;
        const size_t size = dib ? info.size() + m_Palette.size() + m_ImageSize : m_ImageSize;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
        if (!block) {
            Fail(kNoMemory);
        }
        BYTE* memory = static_cast<BYTE*>(GlobalLock(block));
        if (!memory) {
            GlobalFree(block);
            Fail(kNoMemory);
        }
        if (dib) {
            std::memcpy(memory, info.data(), info.size());
            if (!m_Palette.empty()) {
                std::memcpy(memory + info.size(), m_Palette.data(), m_Palette.size());
            }
            std::memcpy(memory + info.size() + m_Palette.size(), m_Image, m_ImageSize);
        } else {
            std::memcpy(memory, m_Image, m_ImageSize);
        }
        GlobalUnlock(block);
        // A progressive image replaces the previous pass's block.
        HGLOBAL* handle = static_cast<HGLOBAL*>(m_Output);
        if (*handle) {
            GlobalFree(*handle);
        }
        *handle = block;
    }

    void FillInfo()
    {
        if (!m_Info) {
            return;
        }
        jpeg_decompress_struct& cinfo = Cinfo();
        JpegInfo& info = *m_Info;
        info.height = cinfo.output_height;
        info.width = cinfo.output_width;
        info.colorSpace = static_cast<DWORD>(cinfo.out_color_space);
        info.components = static_cast<DWORD>(cinfo.output_components);
        info.hasPalette = m_Palette.empty() ? FALSE : TRUE;
        info.paletteLength = static_cast<DWORD>(m_Palette.size() / 4);
        if (!m_Palette.empty()) {
            m_InfoPalette = CopyToBlock(m_Palette);
            info.palette = m_InfoPalette;
        }
        info.densityUnit = cinfo.density_unit;
        info.xDensity = cinfo.X_density;
        info.yDensity = cinfo.Y_density;
        info.jfifMajorVersion = cinfo.JFIF_major_version;
        info.jfifMinorVersion = cinfo.JFIF_minor_version;
        info.sawAdobeMarker = cinfo.saw_Adobe_marker ? TRUE : FALSE;
        info.adobeTransform = cinfo.Adobe_transform;
        if (info.saveMarkers) {
            std::vector<BYTE> markers;
            for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
                markers.push_back(static_cast<BYTE>(m->marker));
                Put32(markers, m->data_length);
                markers.insert(markers.end(), m->data, m->data + m->data_length);
            }
            if (!markers.empty()) {
                m_InfoMarkers = CopyToBlock(markers);
                info.markers = m_InfoMarkers;
            }
        }
    }

    static HGLOBAL CopyToBlock(const std::vector<BYTE>& bytes)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        void* memory = block ? GlobalLock(block) : nullptr;
        if (!memory) {
            if (block) {
                GlobalFree(block);
            }
            Fail(kNoMemory);
        }
        std::memcpy(memory, bytes.data(), bytes.size());
        GlobalUnlock(block);
        return block;
    }

    plat::FaultTrap& m_Trap;
    const void* m_Input;
    const void* m_Input2;
    int m_InputKind;
    void* m_Output;
    int m_OutputKind;
    const JpegOptions* m_Options;
    JpegInfo* m_Info;
    JpegProgressCallback m_Progress;
    JpegPassCallback m_Pass;

    JpegDecoderRecord m_Record{};
    bool m_Created = false;
    bool m_OutputPrepared = false;
    bool m_Succeeded = false;
    FilePtr m_InputFile;
    FilePtr m_DataFile;

    bool m_Flip = false;
    bool m_Swap = false;
    size_t m_PixelBytes = 0;
    size_t m_RowSize = 0;
    size_t m_Height = 0;
    size_t m_ImageSize = 0;
    BYTE* m_Image = nullptr; // the library's memory, freed with the decompressor
    JSAMPARRAY m_Row = nullptr;
    std::vector<BYTE> m_Palette;
    HGLOBAL m_InfoPalette = nullptr;
    HGLOBAL m_InfoMarkers = nullptr;
};

void CopyErrorText(char* errorText, size_t errorTextSize, const std::string& text)
{
    if (!errorText || errorTextSize == 0) {
        return;
    }
    const size_t length = std::min(text.size(), errorTextSize - 1);
    std::memcpy(errorText, text.data(), length);
    errorText[length] = '\0';
}

} // namespace

int DecodeJpegToDib(const void* input, const void* input2, int inputKind, void* output, int outputKind,
                    const JpegOptions* options, JpegInfo* info, JpegProgressCallback progress, JpegPassCallback pass,
                    char* errorText, size_t errorTextSize)
{
    // Processor faults inside the library come back as CWin32Exception.
    plat::FaultTrap trap;
    std::string failure;
    try {
        JpegDecoding decoding(input, input2, inputKind, output, outputKind, options, info, progress, pass, trap);
        decoding.Run();
        return 1;
    } catch (const JpegFailure& f) {
        failure = f.text;
    } catch (const CWin32Exception& fault) {
        // Shown first; a person who wants to debug gets it thrown on.
        if (fault.AskToDebug()) {
            throw;
        }
        failure = fault.GetText();
    } catch (const std::bad_alloc&) {
        failure = kNoMemory;
    } catch (...) {
        failure = "Bad input file";
    }
    CopyErrorText(errorText, errorTextSize, failure);
    return 0;
}

int JpegFileToBmpFile(const char* jpegPath, const char* bmpPath, const JpegOptions* options,
                      JpegProgressCallback progress, JpegPassCallback pass, char* errorText, size_t errorTextSize)
{
    return DecodeJpegToDib(jpegPath, nullptr, JPEG_INPUT_FILE, const_cast<char*>(bmpPath), JPEG_OUTPUT_BMP_FILE,
                           options, nullptr, progress, pass, errorText, errorTextSize);
}

int JpegFileToDib(const char* jpegPath, HGLOBAL* dib, const JpegOptions* options, JpegProgressCallback progress,
                  JpegPassCallback pass, char* errorText, size_t errorTextSize)
{
    return DecodeJpegToDib(jpegPath, nullptr, JPEG_INPUT_FILE, dib, JPEG_OUTPUT_DIB, options, nullptr, progress, pass,
                           errorText, errorTextSize);
}

} // namespace Trellis
