#include "twainfw/JpegDecoderRecord.h"

#include "platform/windows.h"

#include <cstring>

namespace Trellis {

namespace {

void DefaultWarning(const char* text)
{
    MessageBeep(MB_ICONASTERISK);
    MessageBoxA(GetActiveWindow(), text, "JPEG Warning", MB_ICONINFORMATION);
}

JpegWarningHandler g_WarningHandler = DefaultWarning;

JpegDecoderRecord& RecordOf(j_common_ptr cinfo)
{
    // The decompression record is the first member of the decoder record.
    return *reinterpret_cast<JpegDecoderRecord*>(cinfo);
}

JpegErrorRecord& ErrorOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorRecord*>(cinfo->err); }

void ErrorExit(j_common_ptr cinfo)
{
    JpegErrorRecord& error = ErrorOf(cinfo);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::memcpy(error.text, text, sizeof text);
    error.text[JMSG_LENGTH_MAX] = '\0';
    siglongjmp(error.jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level != -1) {
        return;
    }
    cinfo->err->num_warnings++;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    OutsideFaultTarget(RecordOf(cinfo), [&] { g_WarningHandler(text); });
}

void OutputMessage(j_common_ptr) {}

void ProgressMonitor(j_common_ptr cinfo)
{
    if (!ReportJpegProgress(RecordOf(cinfo))) {
        FailJpegDecoding(cinfo, "Process canceled");
    }
}

} // namespace

JpegWarningHandler SetJpegWarningHandler(JpegWarningHandler handler)
{
    JpegWarningHandler old = g_WarningHandler;
    g_WarningHandler = handler ? handler : DefaultWarning;
    return old;
}

void FailJpegDecoding(j_common_ptr cinfo, const char* text)
{
    JpegErrorRecord& error = ErrorOf(cinfo);
    std::strncpy(error.text, text, JMSG_LENGTH_MAX);
    error.text[JMSG_LENGTH_MAX] = '\0';
    siglongjmp(error.jump, 1);
}

bool ReportJpegProgress(JpegDecoderRecord& record)
{
    if (!record.progress) {
        return true;
    }
    const JpegProgressRecord& p = record.progressRecord;
    const long long done = static_cast<long long>(p.pub.pass_counter) + p.rowsDone;
    const long long total = static_cast<long long>(p.pub.pass_limit) + p.rowsTotal;
    int percent = p.basePercent;
    if (total > 0) {
        percent += static_cast<int>(done * 100 / total);
    }
    if (percent > 100) {
        percent = 100;
    }
    int goOn = 0;
    OutsideFaultTarget(record, [&] { goOn = record.progress(percent); });
    return goOn != 0;
}

bool CreateJpegDecoder(JpegDecoderRecord& record, JpegProgressCallback progress, plat::FaultTrap* trap)
{
    std::memset(&record, 0, sizeof record);
    record.trap = trap;
    record.cinfo.err = jpeg_std_error(&record.error.pub);
    record.error.pub.error_exit = ErrorExit;
    record.error.pub.emit_message = EmitMessage;
    record.error.pub.output_message = OutputMessage;
    record.progress = progress;
    record.progressRecord.pub.progress_monitor = ProgressMonitor;
    if (!CallLibrary(record, [&] { jpeg_create_decompress(&record.cinfo); })) {
        return false;
    }
    record.cinfo.progress = &record.progressRecord.pub;
    return true;
}

} // namespace Trellis
