// The HMM programs' configuration files: a parsed file that the writer
// accepts reads back equal.
#include "FuzzSupport.h"
#include "common/StatwalkConfig.h"

using namespace talvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::bytesOf(data, size);
    StatwalkConfig config;
    std::string error;
    StatwalkConfig head;
    parseStatwalkHead(text, &head, &error);
    if (!parseStatwalkConfig(text, &config, &error))
        return 0;
    std::string written;
    if (!statwalkConfigText(config, &written, &error))
        return 0;
    StatwalkConfig back;
    FUZZ_CHECK(parseStatwalkConfig(written, &back, &error));
    FUZZ_CHECK(back == config);
    return 0;
}
