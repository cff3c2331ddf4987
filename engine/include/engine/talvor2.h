/* The engine library's C interface (libtalvor2.so): sound input and output
 * and the token process.
 *
 * Results are 0 for success and negative for failures, or a device handle
 * with 0 for failure.  Arrays are passed as pointers to their first element
 * and stay owned by the caller.  After TokenProces(window) the library posts
 * WM_KEYDOWN to the window: key code 26665 (TokenKeyDone) once the detector
 * has ended, 26664 (TokenKeyBufferFull) for a full recording buffer that did
 * not end it; one of them per TokenProces, none after StopTokenProces. */
#ifndef TALVOR2_H
#define TALVOR2_H

#include <stdint.h>

#define TALVOR2_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

/* Fills both wave formats; 0. */
TALVOR2_API int32_t InitSoundCard(void);
/* Records count samples straight into samples, which must stay valid until
 * CloseSoundCardIn.  The input handle, the current one when already
 * recording, or 0. */
TALVOR2_API intptr_t OpenSoundCardIn(int16_t* samples, int32_t count);
/* Samples recorded; 0 when not recording; -1 when a close is under way. */
TALVOR2_API int32_t CloseSoundCardIn(void);
/* Plays a copy of count samples.  The output handle, the current one when
 * already playing, or 0. */
TALVOR2_API intptr_t OpenSoundCardOut(const int16_t* samples, int32_t count);
/* Samples played; -1 when a close is under way. */
TALVOR2_API int32_t CloseSoundCardOut(void);
/* Starts recording into the detector's buffer (13 s) and detection every
 * 50 ms on the calling thread, whose event loop must run.  The input handle,
 * or 0. */
TALVOR2_API intptr_t TokenProces(uint32_t window);
/* Ends the token process; 0.  The input device may keep capturing (the
 * microphone, a continuous WAV room) until ReleaseSoundCardIn. */
TALVOR2_API int32_t StopTokenProces(void);
/* As TokenProces, but the recording begins right after the last sample the
 * previous token process's detector took, when the input kept running in
 * between (run-time listening: nothing said between two words is lost);
 * otherwise at once, as TokenProces.  The input handle, or 0. */
TALVOR2_API intptr_t ContinueTokenProces(uint32_t window);
/* Listening is over: ends any token process and recording, and the input
 * device stops capturing; 0.  The next recording starts the device again. */
TALVOR2_API int32_t ReleaseSoundCardIn(void);
/* Copies frames 0 .. end frame + 9 (20 floats each) and samples 0 .. end
 * sample + 800, cut at the end of the frame store and of the recording
 * buffer, and the word's bounds.  The word's status: 0 found, 1 running,
 * -1 buffer used up, -2 word starts too early. */
TALVOR2_API int32_t GetTokenParam(float* features, int32_t* startFrame, int32_t* endFrame, int16_t* samples,
                                  int32_t* startSample, int32_t* endSample);
/* Maximum word length in frames, 15..200 (below 15 or above 200: 200); the value stored. */
TALVOR2_API int32_t ChangeTokenMaxFrames(int32_t frames);
/* Detection again over the recording in the buffer: its status; 1 when fewer
 * than 800 samples are recorded; the current status while recording. */
TALVOR2_API int32_t Recompute(void);
/* Why the detector last gave up a word candidate in the present recording
 * (it then goes on listening): 0 none, 1 too short (under 15 frames), 2 too
 * long (over the maximum word length).  Tells a caller whose token came back
 * with -1 what was heard. */
TALVOR2_API int32_t GetTokenDiscard(void);

#ifdef __cplusplus
}
#endif

#endif
