// Colour schemes (.sc1): whatever a file holds, the values read lie in the
// ranges the dialog allows, and a scheme that the writer accepts reads back
// equal, the state radius to the last bit.
#include <cmath>

#include "FuzzSupport.h"
#include "hmmview/SchemeFile.h"

using namespace talvor;
using namespace talvor::hmmview;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& scratch = fuzz::Scratch::get();
    scratch.fresh();
    fuzz::putFile(scratch.file("in.sc1"), fuzz::bytesOf(data, size));
    DisplaySettings settings;
    std::string error;
    FUZZ_CHECK(loadScheme(scratch.path(), "in", settings, &error));
    const std::int32_t whole[] = {settings.grStpX, settings.grStpY, settings.grpsh, settings.leftGraphPos,
                                  settings.modelGap};
    for (std::int32_t v : whole)
        FUZZ_CHECK(v >= kScaleMin && v <= kScaleMax);
    FUZZ_CHECK(std::isfinite(settings.grStpR) && settings.grStpR >= float(kScaleMin) &&
               settings.grStpR <= float(kScaleMax));
    // The same text parsed directly gives the same values.
    DisplaySettings direct;
    parseSchemeText(fuzz::bytesOf(data, size), direct);
    FUZZ_CHECK(direct == settings);

    FUZZ_CHECK(saveScheme(scratch.path(), "again", settings, &error));
    DisplaySettings back;
    back.grStpR = 0.0f;
    back.clrState = 0x123456;
    FUZZ_CHECK(loadScheme(scratch.path(), "again", back, &error));
    FUZZ_CHECK(back == settings);
    return 0;
}
