// sha256.h - a small SHA-256, for the digest of the bond table that the
// inspector prints and the tests compare.
#ifndef MOLVANE_SHA256_H
#define MOLVANE_SHA256_H

#include <cstddef>
#include <cstdint>

struct Sha256 {
    uint32_t state[8];     // running hash
    uint64_t length;       // bytes hashed so far
    unsigned char block[64];  // bytes waiting for a full block
    size_t used;           // bytes in block
};

void sha256Start(Sha256 &hash);                                   // begins a new hash
void sha256Add(Sha256 &hash, const void *data, size_t size);      // hashes more bytes
void sha256Finish(Sha256 &hash, char hex[65]);                    // writes the lower-case hex digest

#endif
