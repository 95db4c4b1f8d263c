/* Public interface of libvelmora-sim.so, the simulated programmer.
 *
 * Besides the fifteen FT_* entry points of the FT232 driver (see src/link/d2xx.h) the library
 * exports these entry points for tests and front ends. Every text returned stays valid until
 * the next call of the same entry point.
 */
#ifndef VELMORA_SIM_H
#define VELMORA_SIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Replaces the scenario (a JSON object, see the README) and starts afresh: closes an open
 * handle, empties the transcript and the time account, builds the target and loads its memory
 * (from the state file when there is one). 0 on success, -1 with VelmoraSim_LastError(). */
int VelmoraSim_Configure(const char* scenarioJson);
/* Forgets the scenario; the next FT_* call configures from VELMORA_SIM_SCENARIO (a file), or
 * from the defaults when it is not set. */
void VelmoraSim_Reset(void);
/* The transcript with the time account, as JSON. */
const char* VelmoraSim_TranscriptJson(void);
/* Writes the transcript to a file; 0 on success. */
int VelmoraSim_WriteTranscript(const char* path);
/* Time the real link would have taken so far, in microseconds. */
double VelmoraSim_LinkMicros(void);
/* The target's persistent state as it is written to the state file. */
const char* VelmoraSim_StateJson(void);
/* The reason of the last failed configuration, "" when none. */
const char* VelmoraSim_LastError(void);
/* The host's clock in milliseconds, which the target's trace output follows: `source` is called
 * with `context` (under the simulator's lock, from the thread of an FT_* call). A null source
 * restores the system's monotonic clock. Kept across VelmoraSim_Configure. */
typedef uint32_t (*VelmoraSim_TickSource)(void* context);
void VelmoraSim_SetHostClock(VelmoraSim_TickSource source, void* context);

typedef int (*VelmoraSim_Configure_t)(const char*);
typedef void (*VelmoraSim_Reset_t)(void);
typedef const char* (*VelmoraSim_TranscriptJson_t)(void);
typedef int (*VelmoraSim_WriteTranscript_t)(const char*);
typedef double (*VelmoraSim_LinkMicros_t)(void);
typedef const char* (*VelmoraSim_StateJson_t)(void);
typedef const char* (*VelmoraSim_LastError_t)(void);
typedef void (*VelmoraSim_SetHostClock_t)(VelmoraSim_TickSource, void*);

#ifdef __cplusplus
}
#endif

#endif
