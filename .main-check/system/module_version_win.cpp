// The module's version from its version resource (file and product version 1.0.0.0).
#include "system/module_version_win.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "system/module_instance_win.h"

namespace orvella {

bool ReadFixedFileInfo(const void* block, FixedFileInfo& info) {
  info = FixedFileInfo{};
  void* root = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block, L"\\", &root, &length) || root == nullptr) return false;
  // A root block shorter than the record would be read past its end.
  if (length < sizeof(FixedFileInfo)) return false;
  std::memcpy(&info, root, sizeof(FixedFileInfo));
  return info.dwSignature == kVersionSignature;
}

bool CModuleVersion::ReadModuleVersion() {
  static_cast<FixedFileInfo&>(*this) = FixedFileInfo{};
  wchar_t path[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;  // none, or cut short
  DWORD unused = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &unused);
  if (size == 0) return false;
  versionData.reset(new (std::nothrow) unsigned char[size]);
  if (!versionData) return false;
  if (!::GetFileVersionInfoW(path, 0, size, versionData.get())) return false;
  return ReadFixedFileInfo(versionData.get(), *this);
}

}  // namespace orvella
