// Opens the test's own sound plugin through ALSA, as the sound back end's
// probing opens a desktop's plugins, and ends: LeakSanitizer then finds the
// plugin's block at exit unless the suppressions name the sound libraries.
//
//   platform_sound_plugin_probe PLUGIN.so
#include <alsa/asoundlib.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string text = std::string("pcm.talvorleak { type talvorleak }\n") +
                             "pcm_type.talvorleak { lib \"" + argv[1] + "\" }\n";
    snd_config_t* config = nullptr;
    snd_input_t* in = nullptr;
    if (snd_config_top(&config) < 0 || snd_input_buffer_open(&in, text.data(), ssize_t(text.size())) < 0 ||
        snd_config_load(config, in) < 0) {
        std::fprintf(stderr, "cannot make the ALSA configuration\n");
        return 3;
    }
    snd_input_close(in);
    snd_pcm_t* pcm = nullptr;
    const int rc = snd_pcm_open_lconf(&pcm, "talvorleak", SND_PCM_STREAM_CAPTURE, 0, config);
    snd_config_delete(config);
    // The plugin refuses (no device), as a plugin without its server does.
    std::printf("%s\n", rc == -ENODEV ? "REFUSED" : "UNEXPECTED");
    return rc == -ENODEV ? 0 : 4;
}
