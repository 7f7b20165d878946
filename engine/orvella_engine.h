// The one engine object: configuration plus the download queue, local files and worker.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/orvella_model.h"

namespace orvella {

class COrvellaApp;

/// Returns a millisecond tick count that wraps after about 49.7 days. Any thread.
using TickSource = std::function<uint32_t()>;

class COrvellaEngine : public COrvellaConfig {
 public:
  /// `app` owns the engine and provides the settings and the host callback.
  explicit COrvellaEngine(COrvellaApp& app);
  ~COrvellaEngine();
  COrvellaEngine(const COrvellaEngine&) = delete;
  COrvellaEngine& operator=(const COrvellaEngine&) = delete;

  /// Guards feeds, token, user and the settings the worker reads. Never held across
  /// network I/O or a call of the host callback.
  std::mutex lock;
  COrvellaItemList queue;   // download queue, worker thread only
  CFileMap files;           // local files by URL, worker thread only
  int32_t modified = 0;     // files gained entries since the list was written
  int32_t downloading = 0;  // an item was taken since the queue was last empty
  /// Incremented whenever the host's thread replaces the feed array.
  uint64_t feedsGeneration = 0;

  COrvellaApp& app;
  TickSource tickCount;  // defaults to the system's monotonic milliseconds
};

/// The system tick count in milliseconds (monotonic, wrapping at 2^32). Any thread.
uint32_t SystemTickCount();

}  // namespace orvella
