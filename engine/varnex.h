/*
 * varnex.h - the binary interface of the conversion engine library.
 *
 * The engine (libvarnex1.so here, Varnex1.dll on Windows) exports one C function, Varnex.
 * Every request is a command number, a data address and an integer argument; the result is
 * VARNEX_OK (0) for success. The blocks below are plain C structs of fixed-width integers with
 * pointer-sized, naturally aligned pointer slots, so that a host built by another compiler
 * can talk to the engine. The static assertions at the end pin every offset: changing one
 * breaks every host already built against this header.
 *
 * Ownership: the host owns every block it passes. The stream array of an info block is
 * allocated and freed only through the host's allocation function, never by the engine's
 * own allocator, so that host and engine may use different C runtimes.
 *
 * Threads: up to version 3 the engine serves one request at a time, and the host calls it
 * from one thread at a time. From version 4 probe and convert requests may come from several
 * threads at once, each served on the thread that made it; the start-up commands (101 to 103)
 * still come alone, with no other request in flight. Notifications arrive on the thread that
 * called Varnex.
 */
#ifndef VARNEX_H
#define VARNEX_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VARNEX_EXPORT __declspec(dllexport)
#else
#define VARNEX_EXPORT __attribute__((visibility("default")))
#endif

/* Commands. */
enum {
    VARNEX_CMD_QUERY = 101,   /* data: VarnexQueryBlock, arg: 1 */
    VARNEX_CMD_INIT = 102,    /* data: VarnexInitBlock, arg: 0 */
    VARNEX_CMD_CLOSE = 103,   /* data: none, arg: 0 */
    VARNEX_CMD_CONVERT = 201, /* data: option line (UTF-8, zero-terminated), arg: VarnexNotifyFunction or 0 */
    VARNEX_CMD_CONVERT_WITH_CONTEXT = 202, /* data: VarnexConvertBlock, arg: 0 (version 4) */
    VARNEX_CMD_PROBE = 302 /* data: file path (UTF-8, zero-terminated), arg: address of a VarnexInfoBlock */
};

/* Results. Anything but VARNEX_OK is a failure. */
enum {
    VARNEX_OK = 0,
    VARNEX_UNAVAILABLE = -1, /* the host has no engine loaded, or the engine cannot serve the request */
    VARNEX_BAD_ARGUMENT = -2,
    VARNEX_FAILED = -3,
    VARNEX_UNKNOWN_COMMAND = -4
};

/* Notification codes passed to the host's VarnexNotifyFunction during a conversion. */
enum {
    VARNEX_NOTIFY_BEGIN = 101,
    VARNEX_NOTIFY_END = 102,
    VARNEX_NOTIFY_PROGRESS = 201, /* a = 1: b is the total; otherwise b is the position */
    VARNEX_NOTIFY_STATUS = 202,   /* b: address of a zero-terminated UTF-8 text */
    VARNEX_NOTIFY_ASK_STOP = 301  /* the host answers non-zero to stop the conversion */
};

enum { VARNEX_STREAM_AUDIO = 1, VARNEX_STREAM_VIDEO = 2 };

#define VARNEX_QUERY_BLOCK_SIZE 48
#define VARNEX_INFO_BLOCK_SIZE 2968
#define VARNEX_STREAM_RECORD_SIZE 360
/* Versions are additions; a host may talk to any engine from version 1 up to its own.
 *   1: the commands and blocks below.
 *   2: the convert command's option line takes text subtitles as streams of their own:
 *      -subtitle "<file>" [-sublang <ISO 639-2 code>] [-subtitle_title "<text>"], repeated.
 *   3: it takes chapters, in the order of their starts, each ending where the next begins:
 *      -chapter <start> [-chapter_title "<text>"], repeated; containers without chapters
 *      leave them out. A description tag: -description <text>. A cover picture, JPEG or PNG,
 *      attached where the container keeps one (MP3, MP4, MOV, iPod, Matroska): -cover "<file>".
 *   4: several probes and conversions at once (see Threads above), and command 202, a
 *      conversion whose notifications carry the host's context, so that the host can tell
 *      apart the notifications of conversions that run side by side. */
#define VARNEX_INTERFACE_VERSION 4
#define VARNEX_INTERFACE_VERSION_SUBTITLES 2
#define VARNEX_INTERFACE_VERSION_CHAPTERS 3
#define VARNEX_INTERFACE_VERSION_COVERS 3
#define VARNEX_INTERFACE_VERSION_SIDE_BY_SIDE 4

/* Answers the host's main window handle, or null. */
typedef void* (*VarnexGetWindowFunction)(void);
/* Frees the info block's stream array, then stores count zeroed stream records there
 * (nothing for count <= 0). Returns 0, or -1 when memory is short. */
typedef int (*VarnexAllocateFunction)(void* info, int count);
/* Receives the notifications of a conversion; see VARNEX_NOTIFY_*. */
typedef int (*VarnexNotifyFunction)(int code, int a, intptr_t b);

/* The same, with the context the host put in the VarnexConvertBlock (command 202). */
typedef int (*VarnexContextNotifyFunction)(void* context, int code, int a, intptr_t b);

/* Command 101: the host zeroes the block and sets size; the engine writes its version. */
typedef struct VarnexQueryBlock {
    uint32_t size;    /* VARNEX_QUERY_BLOCK_SIZE */
    uint32_t version; /* written by the engine: VARNEX_INTERFACE_VERSION */
    uint8_t reserved[40];
} VarnexQueryBlock;

#if UINTPTR_MAX > 0xFFFFFFFFu
#define VARNEX_INIT_RESERVED 56 /* 80 bytes in all on 64-bit */
#else
#define VARNEX_INIT_RESERVED 64 /* 76 bytes in all on 32-bit */
#endif

/* Command 102: the host's services. The engine keeps the function addresses until 103. */
typedef struct VarnexInitBlock {
    uint32_t size; /* sizeof(VarnexInitBlock) */
    VarnexGetWindowFunction getWindow;
    VarnexAllocateFunction allocate;
    uint8_t reserved[VARNEX_INIT_RESERVED];
} VarnexInitBlock;

typedef struct VarnexVideoValues {
    int32_t frameRateNumerator;
    int32_t frameRateDenominator;
    int32_t bitRate; /* bits per second */
    int32_t width;
    int32_t height;
} VarnexVideoValues;

typedef struct VarnexAudioValues {
    int32_t sampleRate; /* Hz */
    int32_t bitRate;    /* bits per second */
    int32_t channels;
} VarnexAudioValues;

/* One stream of a probed file. Values that the file does not tell are 0. */
#define VARNEX_CODEC_NAME_SIZE 32

typedef struct VarnexStreamRecord {
    int32_t reserved0;
    int32_t type; /* VARNEX_STREAM_AUDIO or VARNEX_STREAM_VIDEO */
    /* The codec's short name ("h264", "aac", "vp9", "opus"), zero-terminated UTF-8; empty
     * from an engine that does not tell. Lets a host choose a container that can take the
     * stream as it is. */
    char codecName[VARNEX_CODEC_NAME_SIZE];
    uint8_t reserved1[76 - 8 - VARNEX_CODEC_NAME_SIZE];
    union {
        VarnexVideoValues video;
        VarnexAudioValues audio;
    } values;
    uint8_t reserved2[VARNEX_STREAM_RECORD_SIZE - 76 - sizeof(VarnexVideoValues)];
} VarnexStreamRecord;

/* Command 302: the host zeroes the block; the engine fills the streams through the
 * host's allocation function. */
typedef struct VarnexInfoBlock {
    uint8_t reserved0[100];
    int32_t streamCount;
    VarnexStreamRecord* streams;
    uint8_t reserved1[VARNEX_INFO_BLOCK_SIZE - 104 - sizeof(void*)];
} VarnexInfoBlock;

/* Command 202: the host zeroes the block and fills it; it lives until the call returns. */
typedef struct VarnexConvertBlock {
    uint32_t size;                      /* sizeof(VarnexConvertBlock) */
    const char* optionLine;             /* as for command 201 */
    VarnexContextNotifyFunction notify; /* or null */
    void* context;                      /* handed back with every notification */
    uint8_t reserved[4 * sizeof(void*)];
} VarnexConvertBlock;

/* The one entry point. Returns VARNEX_OK (0) for success. */
VARNEX_EXPORT int Varnex(int command, void* data, intptr_t arg);
typedef int (*VarnexEntryPoint)(int command, void* data, intptr_t arg);

#ifdef __cplusplus
#define VARNEX_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define VARNEX_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

VARNEX_STATIC_ASSERT(sizeof(VarnexQueryBlock) == 48, "query block is 48 bytes");
VARNEX_STATIC_ASSERT(offsetof(VarnexQueryBlock, version) == 4, "query version at 4");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, type) == 4, "stream type at 4");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, codecName) == 8, "codec name at 8");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.video.frameRateNumerator) == 76, "frame rate at 76");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.video.frameRateDenominator) == 80, "rate den at 80");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.video.bitRate) == 84, "video bit rate at 84");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.video.width) == 88, "width at 88");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.video.height) == 92, "height at 92");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.audio.sampleRate) == 76, "sample rate at 76");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.audio.bitRate) == 80, "audio bit rate at 80");
VARNEX_STATIC_ASSERT(offsetof(VarnexStreamRecord, values.audio.channels) == 84, "channels at 84");
VARNEX_STATIC_ASSERT(sizeof(VarnexStreamRecord) == 360, "stream record is 360 bytes");
VARNEX_STATIC_ASSERT(offsetof(VarnexInfoBlock, streamCount) == 100, "stream count at 100");
VARNEX_STATIC_ASSERT(offsetof(VarnexInfoBlock, streams) == 104, "stream array at 104");
VARNEX_STATIC_ASSERT(sizeof(VarnexInfoBlock) == 2968, "info block is 2968 bytes");
#if UINTPTR_MAX > 0xFFFFFFFFu
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, optionLine) == 8, "option line at 8");
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, notify) == 16, "convert notify at 16");
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, context) == 24, "convert context at 24");
VARNEX_STATIC_ASSERT(sizeof(VarnexConvertBlock) == 64, "convert block is 64 bytes");
VARNEX_STATIC_ASSERT(offsetof(VarnexInitBlock, getWindow) == 8, "get-window at 8");
VARNEX_STATIC_ASSERT(offsetof(VarnexInitBlock, allocate) == 16, "allocation at 16");
VARNEX_STATIC_ASSERT(sizeof(VarnexInitBlock) == 80, "init block is 80 bytes");
#else
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, optionLine) == 4, "option line at 4");
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, notify) == 8, "convert notify at 8");
VARNEX_STATIC_ASSERT(offsetof(VarnexConvertBlock, context) == 12, "convert context at 12");
VARNEX_STATIC_ASSERT(sizeof(VarnexConvertBlock) == 32, "convert block is 32 bytes");
VARNEX_STATIC_ASSERT(offsetof(VarnexInitBlock, getWindow) == 4, "get-window at 4");
VARNEX_STATIC_ASSERT(offsetof(VarnexInitBlock, allocate) == 8, "allocation at 8");
VARNEX_STATIC_ASSERT(sizeof(VarnexInitBlock) == 76, "init block is 76 bytes");
#endif

#ifdef __cplusplus
}
#endif

#endif /* VARNEX_H */
