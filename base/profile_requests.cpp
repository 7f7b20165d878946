// Profile requests zero-filled, then given the fields of their kind.
#include "base/profile_requests.h"

#include <cwchar>

namespace orvella {
namespace {

// A request zero-filled, then given what every request of its kind carries.
ProfileRequest Request(const wchar_t* section, const wchar_t* key, ProfileKind kind) {
  ProfileRequest request{};
  request.section = section;
  request.key = key;
  request.kind = kind;
  return request;
}

}  // namespace

int32_t ReadProfileInt(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                       int32_t defaultValue) {
  ProfileRequest request = Request(section, key, kProfileInt);
  request.defaultValue = defaultValue;
  send(kHostOpProfileRead, request);
  return static_cast<int32_t>(static_cast<uint32_t>(request.value));
}

std::wstring ReadProfileString(const ProfileSender& send, const wchar_t* section,
                               const wchar_t* key, const wchar_t* defaultValue) {
  wchar_t buffer[kProfileTextCapacity + 1];
  buffer[0] = L'\0';
  buffer[kProfileTextCapacity] = L'\0';
  ProfileRequest request = Request(section, key, kProfileString);
  request.value = reinterpret_cast<intptr_t>(buffer);
  request.defaultValue = reinterpret_cast<intptr_t>(defaultValue);
  request.capacity = kProfileTextCapacity;
  send(kHostOpProfileRead, request);
  const auto* text = reinterpret_cast<const wchar_t*>(request.value);
  if (text == nullptr) return {};
  // No more than the capacity, wherever the host left the text: a host that wrote no
  // terminator must not make the plug-in read on through its memory.
  return std::wstring(text, wcsnlen(text, kProfileTextCapacity));
}

void WriteProfileInt(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                     int32_t value) {
  ProfileRequest request = Request(section, key, kProfileInt);
  request.value = static_cast<intptr_t>(static_cast<uint32_t>(value));
  send(kHostOpProfileWrite, request);
}

void WriteProfileString(const ProfileSender& send, const wchar_t* section, const wchar_t* key,
                        const std::wstring& value) {
  ProfileRequest request = Request(section, key, kProfileString);
  request.value = reinterpret_cast<intptr_t>(value.c_str());
  send(kHostOpProfileWrite, request);
}

}  // namespace orvella
