// The measured size as two decimal values of the user store.
#include "system/measured_size.h"

#include <string>

#include "system/user_store.h"

namespace orvella {
namespace {

// A plain decimal number of at most five digits, without sign or blanks; 0 otherwise.
int32_t SideOf(const std::wstring& text) {
  if (text.empty() || text.size() > 5) return 0;
  int32_t value = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    value = value * 10 + (c - L'0');
  }
  return value <= kMaxMeasuredSide ? value : 0;
}

}  // namespace

bool MeasuredSize::Usable() const {
  return width >= 1 && width <= kMaxMeasuredSide && height >= 1 && height <= kMaxMeasuredSide;
}

MeasuredSize ReadMeasuredSize() {
  const MeasuredSize size{
      SideOf(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, kMeasuredWidthValue)),
      SideOf(ReadRegString(RegRoot::kCurrentUser, kAccountKeyPath, kMeasuredHeightValue))};
  return size.Usable() ? size : MeasuredSize{};
}

bool StoreMeasuredSize(MeasuredSize size, std::wstring* reason) {
  if (!size.Usable()) {
    if (reason != nullptr) *reason = L"not a size";
    return false;
  }
  const bool width = WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, kMeasuredWidthValue,
                                    std::to_wstring(size.width), reason);
  std::wstring heightReason;
  const bool height = WriteRegString(RegRoot::kCurrentUser, kAccountKeyPath, kMeasuredHeightValue,
                                     std::to_wstring(size.height), &heightReason);
  if (width && !height && reason != nullptr) *reason = heightReason;
  return width && height;
}

}  // namespace orvella
