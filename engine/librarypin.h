#pragma once

namespace VarnexEngine {

// Keeps FFmpeg's and the AMR encoders' libraries loaded for the rest of the process.
//
// The host unloads and reloads the engine before every request, so that no state of an
// earlier request can reach the next one. Our own state goes with the engine; the media
// libraries hold none of a request's state, but some of them allocate at load time and never
// free it, so unloading them with the engine would leak a little on every job.
void PinMediaLibraries();

} // namespace VarnexEngine
