#include "workbench/ReportPane.h"

namespace talvor::workbench {

void ReportPane::clear()
{
    m_lines.assign(1, std::string());
    ++m_revision;
}

void ReportPane::print(std::string_view text)
{
    m_lines.back() += text;
    ++m_revision;
}

void ReportPane::printLine(std::string_view text)
{
    m_lines.back() += text;
    m_lines.emplace_back();
    ++m_revision;
}

void ReportPane::advanceZones(int n)
{
    std::string& line = m_lines.back();
    for (int i = 0; i < n; ++i) {
        const std::size_t next = (line.size() / kZoneWidth + 1) * kZoneWidth;
        line.resize(next, ' ');
    }
    ++m_revision;
}

std::string ReportPane::text() const
{
    std::string out;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (i + 1 == m_lines.size() && m_lines[i].empty())
            break;
        if (i > 0)
            out += '\n';
        out += m_lines[i];
    }
    return out;
}

}  // namespace talvor::workbench
