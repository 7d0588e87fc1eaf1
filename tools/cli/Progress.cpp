#include "tools/cli/Progress.h"

#include <unistd.h>

namespace cli {

Progress::Progress(std::FILE* to) : m_to(to), m_terminal(to && isatty(fileno(to)) == 1) {}

void Progress::Show(int page, int percent)
{
    if (!m_to)
        return;
    if (page != m_page) {
        m_page = page;
        m_shown = -1;
    }
    const int step = m_terminal ? percent : percent / 25;
    if (step <= m_shown || (!m_terminal && step == 0))
        return;
    m_shown = step;
    if (m_terminal) {
        std::fprintf(m_to, "\rscanning page %d: %d%%\033[K", page, percent);
        m_lineOpen = true;
    } else {
        std::fprintf(m_to, "scanning page %d: %d%%\n", page, step * 25);
    }
    std::fflush(m_to);
}

void Progress::Clear()
{
    if (!m_lineOpen)
        return;
    std::fputs("\r\033[K", m_to);
    std::fflush(m_to);
    m_lineOpen = false;
}

} // namespace cli
