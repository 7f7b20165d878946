// The list file read and written by the engine, for the portable suite and the POSIX one.
#pragma once

#include <string>

#include "model/file_map.h"
#include "tests/support/engine_fixture.h"

namespace orvella::test {

inline const std::string kBom = "\xEF\xBB\xBF";
inline const std::string kHead = kBom + "[Rovanta Orvella List]\r\n";

inline std::size_t BucketsAfterRehash(std::size_t n) {
  CFileMap reference;
  reference.InitHashTable(n);
  return reference.GetHashTableSize();
}

class ListFileTest : public EngineTest {
 protected:
  void Load(const std::string& bytes) {
    dir.Write("rvt_orv_files.lst", bytes);
    engine.modified = engine.downloading = 1;
    engine.ReadLocalFileList();
  }
  std::wstring Name(const std::wstring& url) const {
    const CFileData* record = engine.files.Find(url);
    return record == nullptr ? L"<none>" : record->localName;
  }
};

}  // namespace orvella::test
