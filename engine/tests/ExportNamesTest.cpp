// Every export is found by its exact name in a shared library built from the
// spectra objects, and the C++ functions behind them stay hidden.
#include <dlfcn.h>

#include <gtest/gtest.h>


namespace {

TEST(SpectraExportNames, EveryExportIsVisibleByName)
{
    void* library = dlopen(TALVOR_SPECTRA_PROBE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char* name :
         {"Dft", "Compute_Spectrum", "Compute_Spectrum_FFT", "Value_To_Color", "Display_Spectrum",
          "Display_Spectrum_FFT", "Konvert", "KonvertS", "GetExtrems", "Get_Pointer", "Get_Long_Pointer",
          "Get_Integer_Pointer", "Get_Single_Pointer", "Long_To_Int", "Copy_Integer", "Copy_Single",
          "ClassifyWordDTW", "Local_Distance", "Make_PR_Data"}) {
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    }
    // The C++ functions behind the exports are not exported.
    EXPECT_EQ(dlsym(library, "_ZN6talvor6engine15buildColorScaleEv"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN6talvor6engine10colorScaleEv"), nullptr);
    using Fn = int (*)(const short*, int*, float*, int*);
    const auto fft = reinterpret_cast<Fn>(dlsym(library, "Compute_Spectrum_FFT"));
    ASSERT_NE(fft, nullptr);
    int count = 0, size = 256;
    float out[1];
    EXPECT_EQ(fft(nullptr, &count, out, &size), -1);  // the table call
    // Left loaded, as the engine library stays for the life of its process.
}

}  // namespace
