/*
 * varnexmedia.h - how the engine's front (libvarnex1.so) hands work to its media part.
 *
 * The front answers the host's start-up commands itself and links nothing of FFmpeg's, so
 * that a program opening the engine at start-up does not map the media libraries. Probe and
 * convert need them; the front loads the media part (libvarnex1media.so here,
 * Varnex1Media.dll on Windows) on the first of those and passes each request on, with the
 * host's services in the call: the two libraries share no state.
 *
 * Both libraries are built and installed together; this interface is private to them.
 */
#ifndef VARNEX_MEDIA_H
#define VARNEX_MEDIA_H

#include "varnex.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What the media part may use of the host's services during one call. */
typedef struct VarnexMediaServices {
    uint32_t size; /* sizeof(VarnexMediaServices) */
    VarnexAllocateFunction allocate;
} VarnexMediaServices;

#define VARNEX_MEDIA_ENTRY_NAME "VarnexMedia"

/* Serves VARNEX_CMD_PROBE and VARNEX_CMD_CONVERT with the data and arg of the host's call. */
VARNEX_EXPORT int VarnexMedia(const VarnexMediaServices* services, int command, void* data, intptr_t arg);
typedef int (*VarnexMediaEntryPoint)(const VarnexMediaServices* services, int command, void* data,
                                     intptr_t arg);

#ifdef __cplusplus
}
#endif

#endif /* VARNEX_MEDIA_H */
