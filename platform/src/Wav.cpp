#include <sndfile.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/Audio.h"

namespace talvor::platform {

namespace {

std::string describeFormat(const SF_INFO& info)
{
    std::string s;
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8: s = "8-bit PCM"; break;
    case SF_FORMAT_PCM_16: s = "16-bit PCM"; break;
    case SF_FORMAT_PCM_24: s = "24-bit PCM"; break;
    case SF_FORMAT_PCM_32: s = "32-bit PCM"; break;
    case SF_FORMAT_FLOAT: s = "32-bit float"; break;
    case SF_FORMAT_DOUBLE: s = "64-bit float"; break;
    case SF_FORMAT_ULAW: s = "u-law"; break;
    case SF_FORMAT_ALAW: s = "A-law"; break;
    case SF_FORMAT_IMA_ADPCM:
    case SF_FORMAT_MS_ADPCM: s = "ADPCM"; break;
    default: s = "compressed"; break;
    }
    return s + ", " + std::to_string(info.samplerate) + " Hz, " + std::to_string(info.channels) +
           (info.channels == 1 ? " channel" : " channels");
}

}  // namespace

bool readWav(const std::string& path, std::vector<std::int16_t>* samples, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return fail("Cannot open the sound file " + path + ": " +
                    (std::filesystem::exists(path, ec) ? "it is not a file" : "no such file"));
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return fail("Cannot read the sound file " + path + ": " + sf_strerror(nullptr));
    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int sub = info.format & SF_FORMAT_SUBMASK;
    std::string problem;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX)
        problem = "it is not a WAV file";
    else if (sub != SF_FORMAT_PCM_16 || info.channels != 1 || info.samplerate != kSampleRate)
        problem = "it holds " + describeFormat(info) + "; only 16-bit PCM, 8000 Hz, mono is accepted";
    if (!problem.empty()) {
        sf_close(f);
        return fail("The sound file " + path + " cannot be used: " + problem + ".");
    }
    std::vector<std::int16_t> data(std::size_t(info.frames > 0 ? info.frames : 0));
    const sf_count_t got = data.empty() ? 0 : sf_readf_short(f, data.data(), sf_count_t(data.size()));
    const int readError = sf_error(f);
    sf_close(f);
    if (readError != SF_ERR_NO_ERROR || got < 0)
        return fail("Cannot read the sound file " + path + ": " + sf_error_number(readError));
    data.resize(std::size_t(got));
    if (samples)
        *samples = std::move(data);
    return true;
}

bool writeWav(const std::string& path, const std::int16_t* samples, std::size_t count, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (count > 0 && !samples)
        return fail("No samples to write to " + path);
    // Written to a temporary file beside the target, then renamed over it, so
    // a failed write leaves an older file as it was.
    const std::string tmp = path + ".tmp-" + std::to_string(::getpid());
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open(tmp.c_str(), SFM_WRITE, &info);
    if (!f)
        return fail("Cannot write the sound file " + path + ": " + sf_strerror(nullptr));
    const sf_count_t wrote = count ? sf_writef_short(f, samples, sf_count_t(count)) : 0;
    const std::string writeError = sf_strerror(f);
    const bool ok = wrote == sf_count_t(count);
    const int closeError = sf_close(f);
    std::error_code ec;
    if (!ok || closeError != 0) {
        std::filesystem::remove(tmp, ec);
        return fail("Cannot write the sound file " + path + ": " +
                    (ok ? std::string(sf_error_number(closeError)) : writeError));
    }
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        const std::string why = ec.message();
        std::filesystem::remove(tmp, ec);
        return fail("Cannot write the sound file " + path + ": " + why);
    }
    return true;
}

}  // namespace talvor::platform
