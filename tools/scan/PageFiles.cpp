#include "tools/scan/PageFiles.h"

#include "tools/cli/PageFolder.h"

#include <algorithm>

namespace scan {

PageFiles::PageFiles(std::string folder, std::FILE* announce, int firstNumber, long expectedLines)
    : m_folder(std::move(folder)), m_announce(announce), m_firstNumber(firstNumber), m_expectedLines(expectedLines),
      m_progress(announce ? stderr : nullptr)
{
}

std::string PageFiles::NameOf(int page, LONG bitsPerPixel) const
{
    return cli::PageFileName(m_firstNumber + page - 1, NetpbmExtension(bitsPerPixel));
}

bool PageFiles::BeginPage(const PageFormat& format)
{
    m_format = format;
    m_name = NameOf(m_number + 1, format.bitsPerPixel);
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
    if (m_writer.Write(lines, count)) {
        if (m_announce && m_expectedLines > 0)
            m_progress.Show(m_firstNumber + m_number,
                            static_cast<int>(std::min(100L, m_writer.Lines() * 100 / m_expectedLines)));
        return true;
    }
    m_failed = m_folder + "/" + m_name;
    return false;
}

bool PageFiles::EndPage(LONG)
{
    const long height = m_writer.Lines();
    m_progress.Clear();
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

void PageFiles::AbandonPage()
{
    m_progress.Clear();
    if (m_writer.Lines() > 0)
        m_cut = {m_number + 1, m_writer.Lines()};
    m_writer.Abandon();
}

} // namespace scan
