#pragma once

// The control surface of the recording engine, for the test that loads it.

#include "varnex.h"

#include <stdint.h>

extern "C" {

struct RecordedCommand {
    int command;
    intptr_t arg;
    uint32_t dataWord0; // the first word of the data block, when there was one
};

struct RecordingScript {
    int queryResult;
    uint32_t queryVersion;
    int initResult;
    int probeResult;
    int convertResult;
};

typedef void (*RecordingResetFunction)(const RecordingScript* script);
typedef int (*RecordingCountFunction)(void);
typedef const RecordedCommand* (*RecordingAtFunction)(int index);
typedef const char* (*RecordingTextFunction)(void);
// Makes the next probes report these streams (copied) instead of the built-in three; a reset
// brings the built-in ones back.
typedef void (*RecordingSetStreamsFunction)(const VarnexStreamRecord* streams, int count);
// The answers the host gave to the notifications of the last convert, in the order sent.
typedef const int* (*RecordingAnswersFunction)(int* count);
}
