// The text-file class: tokens read from any text; the tokens written back
// (every token the reader returns is one the writer accepts) read back equal.
#include "FuzzSupport.h"
#include "common/TabulaTextFile.h"

using namespace talvor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(fuzz::bytesOf(data, size));
    TabulaTextFile reader;
    if (reader.InputFromString(text) != 0)
        return 0;
    std::vector<std::string> tokens;
    std::string token;
    for (int k = 0; k < 10000; ++k) {
        const std::int32_t r = reader.ReadNextData(token);
        if (r < 0)
            break;
        FUZZ_CHECK(r >= 1 && r <= reader.length());
        tokens.push_back(token);
    }
    // The typed reader on the same text never fails harder than the plain one.
    TabulaTextFile typed;
    typed.InputFromString(text);
    std::vector<TextValue> values = {0.0, 0.0f, std::int32_t(0), std::int16_t(0), false, std::string()};
    typed.ReadNext(values);

    TabulaTextFile writer;
    writer.PrintFirstString("head", std::string("\r\n"));
    for (const std::string& t : tokens)
        FUZZ_CHECK(writer.PrintToStrAll({t}) == 0);
    TabulaTextFile back;
    FUZZ_CHECK(back.InputFromString(writer.MyString()) == 0);
    FUZZ_CHECK(back.ReadNextData(token) > 0 && token == "head");
    for (const std::string& t : tokens) {
        FUZZ_CHECK(back.ReadNextData(token) > 0);
        FUZZ_CHECK(token == t);
    }
    FUZZ_CHECK(back.ReadNextData(token) < 0);
    return 0;
}
