// The query size: what the monitors measure now, else what they measured last.
#include "system/query_size.h"

#include <string>

#include "base/write_log.h"

namespace orvella {
namespace {

// Stores `measured` unless the store holds it already: the size changes rarely, and a
// pass that asks the service should not write the store each time.
void KeepMeasured(MeasuredSize measured) {
  if (!measured.Usable()) return;
  if (ReadMeasuredSize() == measured) return;
  std::wstring reason;
  if (!StoreMeasuredSize(measured, &reason)) {
    WriteLog(L"EnumerateDisplays: can't store the measured size %dx%d (%s)", measured.width,
             measured.height, reason);
  }
}

}  // namespace

MeasuredSize QuerySize(const DisplayGeometry& geometry) {
  const MeasuredSize measured{geometry.largest.right - geometry.largest.left,
                              geometry.largest.bottom - geometry.largest.top};
  if (measured.width > 0 && measured.height > 0) {
    KeepMeasured(measured);
    return measured;
  }
  const MeasuredSize stored = ReadMeasuredSize();
  if (stored.Usable()) {
    WriteLog(L"EnumerateDisplays: no monitor found, asking for the size measured before, %dx%d",
             stored.width, stored.height);
    return stored;
  }
  WriteLog(L"EnumerateDisplays: no monitor found and no size measured before, asking for 0x0");
  return {};
}

}  // namespace orvella
