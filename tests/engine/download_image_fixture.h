// The engine's DownloadImage against the local art service, for the portable suite and
// the POSIX one.
#pragma once

#include <atomic>
#include <string>

#include "engine/download_image.h"
#include "tests/support/engine_fixture.h"

namespace orvella::test {

class DownloadImageTest : public EngineTest {
 protected:
  int32_t Download(const std::string& name, const std::string& target = "out.jpg") {
    return engine.DownloadImage(art.ImageUrl(name), InFolder(target), &stop);
  }
  ArtService art;
  std::atomic<int32_t> stop{0};
};

}  // namespace orvella::test
