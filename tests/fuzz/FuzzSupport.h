#pragma once
// Shared pieces of the fuzz targets: the entry point every target defines,
// a property check that stops the run, and a scratch folder for targets whose
// reader takes a file name.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// A property that must hold for every input: on failure the run ends with a
// message (and libFuzzer keeps the input as a crasher).
#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

namespace talvor::fuzz {

inline std::string_view bytesOf(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// One folder per process, emptied before each input; removed at exit.
class Scratch {
public:
    static Scratch& get()
    {
        static Scratch s;
        return s;
    }
    const std::string& path() const { return m_path; }
    // Empties the folder and returns it.
    const std::string& fresh()
    {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(m_path, ec))
            std::filesystem::remove_all(e.path(), ec);
        return m_path;
    }
    std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }
    ~Scratch()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }

private:
    Scratch()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "talvor-fuzz-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data()))
            std::abort();
        m_path = buf.data();
    }
    std::string m_path;
};

// Writes bytes as a file (plainly: the reader under test must not depend on
// how the file was made).
inline void putFile(const std::string& path, std::string_view bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Splits an input into parts at the first `count - 1` occurrences of `separator`.
inline std::vector<std::string_view> splitInput(std::string_view in, std::string_view separator, std::size_t count)
{
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const std::size_t at = in.find(separator);
        if (at == std::string_view::npos)
            break;
        parts.push_back(in.substr(0, at));
        in.remove_prefix(at + separator.size());
    }
    parts.push_back(in);
    while (parts.size() < count)
        parts.push_back({});
    return parts;
}

// The separator between the files of one input (see SeedCorpus.cpp).
inline constexpr std::string_view kPartSeparator = "\n--talvor-fuzz-part--\n";

}  // namespace talvor::fuzz
