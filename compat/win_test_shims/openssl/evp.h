// The one OpenSSL call the tests make (an MD5 digest to compare with the plug-in's own),
// answered by the system's CryptoAPI in the mingw build, which has no OpenSSL.
#pragma once

// wincrypt.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
// clang-format on

#include <cstddef>

#define EVP_MAX_MD_SIZE 64

struct evp_md_st {
  ALG_ID algorithm;
  DWORD size;
};
using EVP_MD = evp_md_st;

inline const EVP_MD* EVP_md5() {
  static const EVP_MD md5{CALG_MD5, 16};
  return &md5;
}

/// Digests `count` bytes of `data` into `md` (`size` receives its length). Returns 1 on
/// success, 0 on failure, as OpenSSL does.
inline int EVP_Digest(const void* data, std::size_t count, unsigned char* md, unsigned int* size,
                      const EVP_MD* type, void* /*engine*/) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  int ok = 0;
  if (::CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL,
                             CRYPT_VERIFYCONTEXT | CRYPT_SILENT) &&
      ::CryptCreateHash(provider, type->algorithm, 0, 0, &hash)) {
    ok = 1;
    const auto* bytes = static_cast<const BYTE*>(data);
    while (ok && count > 0) {
      const DWORD chunk = count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
      ok = ::CryptHashData(hash, bytes, chunk, 0) ? 1 : 0;
      bytes += chunk;
      count -= chunk;
    }
    DWORD length = type->size;
    if (ok) ok = ::CryptGetHashParam(hash, HP_HASHVAL, md, &length, 0) ? 1 : 0;
    if (ok && size != nullptr) *size = length;
  }
  if (hash) ::CryptDestroyHash(hash);
  if (provider) ::CryptReleaseContext(provider, 0);
  return ok;
}
