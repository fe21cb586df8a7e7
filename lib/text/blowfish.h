#pragma once
// Blowfish block cipher (64-bit block, 16 rounds, keys up to 72 bytes) used
// in 64-bit cipher feedback mode, so the output is exactly as long as the
// input. Every call of process() starts from an all-zero vector.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace crypto {

class Blowfish {
public:
    Blowfish(const void* key, std::size_t keyLength);
    virtual ~Blowfish();
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // Standard key schedule; bytes beyond the 72nd are ignored.
    virtual void setKey(const void* key, std::size_t keyLength);

    // CFB-64 over `length` bytes from `input` to `output` (which may be the
    // same buffer). Reads the key schedule only, so one object may serve
    // several threads at once.
    virtual void process(const void* input, std::size_t length, void* output, bool encrypt) const;

    void encrypt(const void* input, std::size_t length, void* output) const { process(input, length, output, true); }
    void decrypt(const void* input, std::size_t length, void* output) const { process(input, length, output, false); }

    // One 64-bit block, halves as big-endian words.
    void encryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void decryptBlock(std::uint32_t& left, std::uint32_t& right) const;

    // Cipher block chaining over whole 8-byte blocks (length a multiple of 8;
    // a trailing partial block is left untouched); iv is 8 bytes and is
    // updated to the last cipher block.
    void encryptCbc(const void* input, std::size_t length, void* output, unsigned char iv[8]) const;
    void decryptCbc(const void* input, std::size_t length, void* output, unsigned char iv[8]) const;

private:
    std::uint32_t f(std::uint32_t x) const;

    // 18 sub-keys followed by the four S-boxes (4 x 256 words).
    std::unique_ptr<std::uint32_t[]> schedule_;
};

// The program-wide cipher for stored passwords (fixed 16-byte key). Values
// enciphered with it are readable only with the same key.
extern const Blowfish passwordCipher;

}  // namespace crypto
