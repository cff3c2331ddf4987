#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdio>
#include <filesystem>
#include <string>

#include "common/TempFiles.h"
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
    // The header's frame count sizes the buffer: it must fit the file (two
    // bytes a sample) and stay below an hour of sound.
    std::error_code sizeError;
    const auto fileBytes = std::filesystem::file_size(path, sizeError);
    if (info.frames < 0 || info.frames > kMaxWavSamples ||
        (!sizeError && std::uintmax_t(info.frames) > fileBytes / 2)) {
        sf_close(f);
        return fail("The sound file " + path + " cannot be used: its header announces " +
                    std::to_string(info.frames) + " samples, more than the file holds or than an hour of sound.");
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
    // Written to a hidden temporary beside the target, flushed to the disk and
    // renamed over it, so a failed write leaves an older file as it was; the
    // temporary goes on every failure path.
    const std::size_t slash = path.rfind('/');
    removeStaleTemporaries(slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash));
    std::string tmp;
    const int fd = createTemporaryFor(path, &tmp);
    if (fd < 0)
        return fail("Cannot write the sound file " + path + ": " + std::strerror(errno));
    auto discard = [&](const std::string& why) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return fail("Cannot write the sound file " + path + ": " + why);
    };
    // Keep the mode of the file being replaced; a new file gets 0666 less umask.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* f = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!f)
        return discard(sf_strerror(nullptr));
    const sf_count_t wrote = count ? sf_writef_short(f, samples, sf_count_t(count)) : 0;
    const std::string writeError = sf_strerror(f);
    const bool ok = wrote == sf_count_t(count);
    const int closeError = sf_close(f);
    if (!ok || closeError != 0)
        return discard(ok ? std::string(sf_error_number(closeError)) : writeError);
    if (::fsync(fd) != 0)
        return discard(std::strerror(errno));
    if (::close(fd) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        return fail("Cannot write the sound file " + path + ": " + why);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        ::unlink(tmp.c_str());
        return fail("Cannot write the sound file " + path + ": " + why);
    }
    return true;
}

}  // namespace talvor::platform
