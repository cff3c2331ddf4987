// WAV files: a file that reads is written and reads back the same samples.
#include "FuzzSupport.h"
#include "platform/Audio.h"

using namespace talvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    const std::string path = scratch.file("in.wav");
    fuzz::putFile(path, fuzz::bytesOf(data, size));
    std::vector<std::int16_t> samples;
    std::string error;
    if (!platform::readWav(path, &samples, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    const std::string out = scratch.file("out.wav");
    FUZZ_CHECK(platform::writeWav(out, samples.data(), samples.size(), &error));
    std::vector<std::int16_t> back;
    FUZZ_CHECK(platform::readWav(out, &back, &error));
    FUZZ_CHECK(back == samples);
    return 0;
}
