// Progress of the page coming in, on the error output: on a terminal one
// line rewritten in place ("scanning page 2: 40%"); else a line at each quarter of
// a page, so that a log stays short. The standard output is left to the
// list of pages written.
#pragma once

#include <cstdio>

namespace cli {

class Progress {
public:
    // Null `to`: nothing is shown.
    explicit Progress(std::FILE* to = stderr);
    ~Progress() { Clear(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `percent` of page `page` has come.
    void Show(int page, int percent);
    // Takes the updating line away, before other lines or at the end.
    void Clear();

private:
    std::FILE* m_to;
    bool m_terminal;
    int m_page = 0;
    int m_shown = -1; // the percentage (terminal) or quarter last shown
    bool m_lineOpen = false;
};

} // namespace cli
