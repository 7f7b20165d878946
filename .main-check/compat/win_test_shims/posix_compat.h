// The POSIX and glibc calls the portable tests make, for the mingw build: setenv and
// unsetenv over the C runtime's _putenv_s (which also updates the process environment
// the plug-in's getenv reads), and malloc_usable_size over _msize.
#pragma once

#include <malloc.h>
#include <stdlib.h>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  // The C runtime holds no empty variables: an empty value removes the variable, so
  // getenv gives null where POSIX gives "" (the plug-in treats both alike).
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;
}

inline size_t malloc_usable_size(void* block) {
  return _msize(block);
}
