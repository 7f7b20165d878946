// Names for the module's own threads, as debuggers, process lists and tests see them.
#pragma once

namespace orvella {

/// The worker thread's name.
inline constexpr char kWorkerThreadName[] = "orvella-worker";
/// The name of the thread a sign-in request runs on.
inline constexpr char kSignInThreadName[] = "orvella-signin";

/// Gives the calling thread `name` (ASCII, at most 15 characters). Failures are ignored:
/// a name only helps to find the thread. Any thread.
void NameCurrentThread(const char* name);

}  // namespace orvella
