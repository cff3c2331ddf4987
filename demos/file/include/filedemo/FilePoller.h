#pragma once
// The File demo's poll of the result file: every 300 ms the file is taken
// away (renamed to a private name in the same folder, so that a result the
// recogniser writes meanwhile waits under the watched name), read and
// deleted, and its text is added to the window.
//
// Only a regular file of at most 64 KiB is taken: a folder, a named pipe, a
// device or a larger file is left alone, with one notice until it goes away.
// A missing file is the normal idle case and adds nothing.

#include <cstdint>
#include <string>
#include <vector>

namespace talvor::filedemo {

inline constexpr int kPollIntervalMs = 300;
inline constexpr std::int64_t kMaxResultBytes = 64 * 1024;
inline constexpr const char* kCaption = "Talvor DEMO file";
inline constexpr const char* kDefaultFileName = "result.txt";

// The watched file's name from the program's arguments (without the program
// name): joined by one blank; "result.txt" when there are none.  A relative
// name is taken against the current directory.
std::string watchedFileName(const std::vector<std::string>& arguments);

// The received text as the window shows it: CR LF and lone CRs become line
// breaks.
std::string displayText(const std::string& received);

class FilePoller {
public:
    explicit FilePoller(std::string fileName);

    // One poll: the text to add to the window ("" when nothing came).
    std::string poll();

    // The two halves of a poll.  claim() takes the file away under the
    // private name (false when there is nothing to take; a notice may then be
    // waiting in takeNotice()); readClaimed() reads and deletes it.
    bool claim();
    std::string readClaimed();
    // A notice for the window ("" when none): given once per condition.
    std::string takeNotice();

    const std::string& fileName() const { return m_fileName; }
    // The private name a claimed file has while it is read.
    std::string claimedName() const;

private:
    void notice(const std::string& condition, const std::string& text);
    // Renames a claimed file that could not be read back to the watched name.
    void giveBack(const std::string& claimed);

    std::string m_fileName;
    std::string m_claimed;        // the claimed file's path while one is held
    std::string m_lastCondition;  // the condition last noticed
    std::string m_pendingNotice;
};

}  // namespace talvor::filedemo
