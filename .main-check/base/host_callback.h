// What passes between the plug-in and its host through the host's callback.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvella {

/// The host's callback, registered with message 3. Its result is never used.
/// Called from the host's thread and from the worker thread.
using HostCallback = intptr_t (*)(uint32_t op, uintptr_t a, uintptr_t b);

/// Operations of the host callback.
enum HostOp : uint32_t {
  kHostOpProfileWrite = 5,  // a = ProfileRequest*
  kHostOpProfileRead = 6,   // a = ProfileRequest*, filled by the host
  kHostOpLog = 7,           // a = L"[Orvella Plugin]", b = the line
  kHostOpNotify = 9,        // a = 5, b = 1: a batch stored new files
};

enum ProfileKind : int32_t { kProfileString = 0, kProfileInt = 1 };

/// One profile access, zero-filled before its fields are set. The layout is part of
/// the host ABI and must not change.
struct ProfileRequest {
  const wchar_t* section;  // "OrvellaPlugIn"
  const wchar_t* key;
  int32_t kind;  // ProfileKind
  int32_t reserved1;
  intptr_t value;         // int write: value; string write/read: text address; int read: result
  intptr_t defaultValue;  // reads only: int default, or address of the default text
  int32_t capacity;       // 1023 for a string read, else 0
  int32_t reserved2;
};

static_assert(sizeof(void*) != 8 || sizeof(ProfileRequest) == 48, "ProfileRequest is 48 bytes");
static_assert(sizeof(void*) != 8 || offsetof(ProfileRequest, key) == 8);
static_assert(sizeof(void*) != 8 || offsetof(ProfileRequest, kind) == 16);
static_assert(sizeof(void*) != 8 || offsetof(ProfileRequest, value) == 24);
static_assert(sizeof(void*) != 8 || offsetof(ProfileRequest, defaultValue) == 32);
static_assert(sizeof(void*) != 8 || offsetof(ProfileRequest, capacity) == 40);

/// Source text that accompanies every diagnostic line.
inline constexpr wchar_t kLogSource[] = L"[Orvella Plugin]";

}  // namespace orvella
