// sha256.cpp - SHA-256 (FIPS 180-4) over byte streams, and the digest of
// the bond table built on it.
#include "tools/sha256.h"

#include "molecule/molecule.h"

#include <cstdio>
#include <cstring>

static const uint32_t roundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

static inline uint32_t rotateRight(uint32_t v, int n) { return (v >> n) | (v << (32 - n)); }

static void compress(uint32_t state[8], const unsigned char block[64])
{
    uint32_t w[64];
    for (int t = 0; t < 16; t++)
        w[t] = (uint32_t)block[4 * t] << 24 | (uint32_t)block[4 * t + 1] << 16 |
               (uint32_t)block[4 * t + 2] << 8 | (uint32_t)block[4 * t + 3];
    for (int t = 16; t < 64; t++) {
        uint32_t s0 = rotateRight(w[t - 15], 7) ^ rotateRight(w[t - 15], 18) ^ (w[t - 15] >> 3);
        uint32_t s1 = rotateRight(w[t - 2], 17) ^ rotateRight(w[t - 2], 19) ^ (w[t - 2] >> 10);
        w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; t++) {
        uint32_t t1 = h + (rotateRight(e, 6) ^ rotateRight(e, 11) ^ rotateRight(e, 25)) +
                      ((e & f) ^ (~e & g)) + roundConstants[t] + w[t];
        uint32_t t2 = (rotateRight(a, 2) ^ rotateRight(a, 13) ^ rotateRight(a, 22)) +
                      ((a & b) ^ (a & c) ^ (b & c));
        h = g; g = f; f = e; e = d + t1;
        d = c; c = b; b = a; a = t1 + t2;
    }
    state[0] += a; state[1] += b; state[2] += c; state[3] += d;
    state[4] += e; state[5] += f; state[6] += g; state[7] += h;
}

void sha256Start(Sha256 &hash)
{
    static const uint32_t initial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(hash.state, initial, sizeof initial);
    hash.length = 0;
    hash.used = 0;
}

void sha256Add(Sha256 &hash, const void *data, size_t size)
{
    const unsigned char *bytes = (const unsigned char *)data;
    hash.length += size;
    while (size > 0) {
        size_t take = 64 - hash.used < size ? 64 - hash.used : size;
        std::memcpy(hash.block + hash.used, bytes, take);
        hash.used += take;
        bytes += take;
        size -= take;
        if (hash.used == 64) {
            compress(hash.state, hash.block);
            hash.used = 0;
        }
    }
}

void sha256Finish(Sha256 &hash, char hex[65])
{
    uint64_t bits = hash.length * 8;
    unsigned char pad = 0x80;
    sha256Add(hash, &pad, 1);
    pad = 0;
    while (hash.used != 56)
        sha256Add(hash, &pad, 1);
    unsigned char lengthBytes[8];
    for (int k = 0; k < 8; k++)
        lengthBytes[k] = (unsigned char)(bits >> (56 - 8 * k));
    sha256Add(hash, lengthBytes, 8);
    for (int k = 0; k < 8; k++)
        std::snprintf(hex + 8 * k, 9, "%08x", hash.state[k]);
    hex[64] = '\0';
}

void bondTableDigest(char hex[65])
{
    Sha256 hash;
    sha256Start(hash);
    for (int32_t k = 1; k < nextBondIndex && k < maxBonds; k++) {
        char line[64];
        int n = std::snprintf(line, sizeof line, "%d %d %d %d\n", bonds[k].atomA, bonds[k].atomB,
                              bonds[k].order, bonds[k].fromConect);
        sha256Add(hash, line, (size_t)n);
    }
    sha256Finish(hash, hex);
}
