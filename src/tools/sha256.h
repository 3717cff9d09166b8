// sha256.h - a small SHA-256 and the digest of the bond table that the
// inspector prints and the tests compare. The inspector's own: the molecule
// core does not need it.
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

// SHA-256 (lower-case hex) of the lines "atomA atomB order fromConect\n" of
// bonds 1 .. nextBondIndex - 1.
void bondTableDigest(char hex[65]);

#endif
