#pragma once
// The wizard's report pane: a small text console that the wizard prints its
// summary of the user's choices on.  Printing works like a print statement:
// text goes on at the current column, a line end starts the next line, and a
// zone advance moves to the start of the next print zone.

#include <string>
#include <string_view>
#include <vector>

namespace talvor::workbench {

class ReportPane {
public:
    static constexpr int kZoneWidth = 14;  // columns per print zone

    void clear();
    // Prints text at the current column, without a line end.
    void print(std::string_view text);
    // Prints text and ends the line.
    void printLine(std::string_view text = {});
    // Moves to the start of the next print zone, n times.  A move past the
    // current column always happens, even at the start of a zone.
    void advanceZones(int n);

    // The lines printed so far; the last one is the line being printed on
    // (empty after a line end).
    const std::vector<std::string>& lines() const { return m_lines; }
    // All lines joined by "\n", without the empty line after a final line end.
    std::string text() const;
    // Number of changes so far (windows repaint when it moves).
    unsigned revision() const { return m_revision; }

private:
    std::vector<std::string> m_lines{std::string()};
    unsigned m_revision = 0;
};

}  // namespace talvor::workbench
