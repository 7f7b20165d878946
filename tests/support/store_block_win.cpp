// Blocking the registry store: a volatile key above the account key.
#include "tests/support/store_block.h"

#include <windows.h>

namespace orvella::test {
namespace {

constexpr wchar_t kParentKey[] = L"Software\\Halvenworks";
constexpr wchar_t kAsideKey[] = L"Software\\Halvenworks.aside";

void DeleteKey(const wchar_t* path) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, path);
  ::RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

// Copies the tree at `from` to `to`, a new key. Returns false when `from` does not exist.
bool CopyKey(const wchar_t* from, const wchar_t* to) {
  HKEY source = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, from, 0, KEY_READ, &source) != ERROR_SUCCESS) return false;
  HKEY target = nullptr;
  bool copied = ::RegCreateKeyExW(HKEY_CURRENT_USER, to, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &target, nullptr) == ERROR_SUCCESS;
  copied = copied && ::RegCopyTreeW(source, nullptr, target) == ERROR_SUCCESS;
  if (target != nullptr) ::RegCloseKey(target);
  ::RegCloseKey(source);
  return copied;
}

}  // namespace

ScopedStoreBlock::ScopedStoreBlock(const ScopedConfigHome& home, StoreBlock how)
    : home_(home.path()), how_(how) {
  if (how != StoreBlock::kFileAtFolder) return;
  // What is stored is put aside; the key is then made anew, volatile (an existing stable
  // key would stay stable).
  if (CopyKey(kParentKey, kAsideKey)) DeleteKey(kParentKey);
  HKEY key = nullptr;
  DWORD disposition = 0;
  active_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, kParentKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, &disposition) == ERROR_SUCCESS &&
            disposition == REG_CREATED_NEW_KEY;
  if (key != nullptr) ::RegCloseKey(key);
  error_ = ERROR_CHILD_MUST_BE_VOLATILE;
}

void ScopedStoreBlock::Lift() {
  if (!active_) return;
  active_ = false;
  DeleteKey(kParentKey);
  if (CopyKey(kAsideKey, kParentKey)) DeleteKey(kAsideKey);
}

}  // namespace orvella::test
