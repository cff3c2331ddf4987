// The run-time result file as the File demo takes it: any file of at most
// 64 KiB is shown exactly as it was and deleted; a result the recogniser's
// writer makes of the file's first item comes through the same way.
#include <filesystem>

#include "FuzzSupport.h"
#include "common/ResultFile.h"
#include "common/TabulaTextFile.h"
#include "filedemo/FilePoller.h"

using namespace talvor;
using namespace talvor::filedemo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string bytes(fuzz::bytesOf(data, size));
    const std::string name = scratch.file("result.txt");
    fuzz::putFile(name, bytes);
    FilePoller poller(name);
    const std::string shown = poller.poll();
    std::error_code ec;
    if (std::int64_t(bytes.size()) <= kMaxResultBytes) {
        FUZZ_CHECK(shown == bytes);
        FUZZ_CHECK(!std::filesystem::exists(name, ec));
    } else {
        FUZZ_CHECK(shown.find("larger than 64 KiB") != std::string::npos);
        FUZZ_CHECK(std::filesystem::file_size(name, ec) == bytes.size());
    }
    FUZZ_CHECK(displayText(shown).find('\r') == std::string::npos);
    FUZZ_CHECK(poller.poll().empty());  // nothing more came

    // The first item of the text as a recognised word.
    TabulaTextFile t;
    t.InputFromString(bytes);
    std::string word;
    if (t.ReadNextData(word) <= 0)
        return 0;
    std::string expected, error;
    if (!resultFileText(word, &expected))
        return 0;
    FUZZ_CHECK(writeResultFile(scratch.path(), "result.txt", word, &error));
    FUZZ_CHECK(poller.poll() == expected);
    TabulaTextFile back;
    back.InputFromString(expected);
    std::string read;
    FUZZ_CHECK(back.ReadNextData(read) > 0 && read == word);
    return 0;
}
