#include "tools/scan/PageFiles.h"

namespace scan {

PageFiles::PageFiles(std::string folder, std::FILE* announce) : m_folder(std::move(folder)), m_announce(announce) {}

bool PageFiles::BeginPage(const PageFormat& format)
{
    m_format = format;
    char name[32];
    std::snprintf(name, sizeof name, "page-%03d.%s", m_number + 1, NetpbmExtension(format.bitsPerPixel).c_str());
    m_name = name;
    m_check.Begin(format);
    if (m_writer.Open(m_folder + "/" + m_name, format))
        return true;
    m_failed = m_folder + "/" + m_name;
    return false;
}

bool PageFiles::AddLines(const BYTE* lines, size_t count)
{
    const size_t lineBytes = m_format.LineBytes();
    for (size_t i = 0; i < count; ++i)
        m_check.Line(lines + i * lineBytes);
    if (m_writer.Write(lines, count))
        return true;
    m_failed = m_folder + "/" + m_name;
    return false;
}

bool PageFiles::EndPage(LONG)
{
    const long height = m_writer.Lines();
    if (!m_writer.Finish()) {
        m_failed = m_folder + "/" + m_name;
        return false;
    }
    ++m_number;
    const PagePattern& pattern = m_check.Result();
    if (pattern.valid && !pattern.linesInOrder && m_corrupted.number == 0)
        m_corrupted = {m_number, pattern.firstBadLine};
    const unsigned long long bytes = static_cast<unsigned long long>(height) * m_format.LineBytes();
    m_bytes += bytes;
    if (m_announce) {
        std::fprintf(m_announce, "page %d: %ld x %ld, %ld bit, %llu bytes -> %s (%s)\n", m_number,
                     static_cast<long>(m_format.width), height, static_cast<long>(m_format.bitsPerPixel), bytes,
                     m_name.c_str(), DescribePattern(m_check.Result()).c_str());
        std::fflush(m_announce);
    }
    return true;
}

void PageFiles::AbandonPage() { m_writer.Abandon(); }

} // namespace scan
