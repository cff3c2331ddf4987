/* A sound plugin of the kind a desktop's ALSA loads at run time (its
 * PulseAudio plugin, say): on open it keeps a block of memory it never frees,
 * then says there is no device.  The leak-suppression test loads it through
 * ALSA as such a plugin is loaded. */
#include <alsa/asoundlib.h>
#include <alsa/pcm_external.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

static void* volatile kept;

SND_PCM_PLUGIN_DEFINE_FUNC(talvorleak)
{
    (void)pcmp;
    (void)name;
    (void)root;
    (void)conf;
    (void)stream;
    (void)mode;
    void* block = malloc(4096);
    memset(block, 1, 4096);
    kept = block;
    kept = NULL; /* the plugin forgets it, as a leaking plugin does */
    return -ENODEV;
}

SND_PCM_PLUGIN_SYMBOL(talvorleak);
