#include "services/content_digest.h"

#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "common/ansi.h"
#include "common/mbcs.h"
#include "common/unique_handle.h"

namespace {

struct NamedAlgorithm {
    const char* name;
    ALG_ID id;
};
// Tried in this order; the first name that matches wins.
constexpr NamedAlgorithm kAlgorithms[] = {
    {"hmac", CALG_HMAC}, {"md2", CALG_MD2}, {"md5", CALG_MD5}, {"sha", CALG_SHA}, {"mac", CALG_MAC},
};

}  // namespace

HRESULT ComputeDigest(const char* algorithm, const void* data, DWORD size, char* output) {
    if (!output || (!data && size)) return E_POINTER;

    CryptProv context;
    if (!CryptAcquireContextA(context.put(), nullptr, MS_DEF_PROV_A, PROV_RSA_FULL,
                              CRYPT_VERIFYCONTEXT))
        return E_UNEXPECTED;

    ALG_ID id = 0;
    for (const NamedAlgorithm& candidate : kAlgorithms) {
        if (algorithm && EqualsIgnoringAsciiCase(algorithm, candidate.name, IsAnsiLeadByte)) {
            id = candidate.id;
            break;
        }
    }
    if (!id) return E_INVALIDARG;

    CryptHash hash;
    if (!CryptCreateHash(context.get(), id, 0, 0, hash.put())) return E_UNEXPECTED;

    static const BYTE kNothing = 0;  // CryptHashData wants a pointer even for no data
    DWORD hashSize = 0;
    DWORD length = sizeof hashSize;
    if (!CryptHashData(hash.get(), size ? static_cast<const BYTE*>(data) : &kNothing, size, 0) ||
        !CryptGetHashParam(hash.get(), HP_HASHSIZE, reinterpret_cast<BYTE*>(&hashSize), &length, 0))
        return E_FAIL;
    std::vector<BYTE> value(hashSize);
    length = hashSize;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value.data(), &length, 0)) return E_FAIL;

    output[0] = '\0';
    for (DWORD i = 0; i < length; ++i) std::snprintf(output + 2 * i, 3, "%02X", value[i]);
    return S_OK;
}
