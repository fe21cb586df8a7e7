#include "lib/text/blowfish.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> hex(const std::string& text) {
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string toHex(const std::vector<unsigned char>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::uint32_t word(const std::vector<unsigned char>& b, std::size_t at) {
    return (std::uint32_t(b[at]) << 24) | (std::uint32_t(b[at + 1]) << 16) | (std::uint32_t(b[at + 2]) << 8) |
           std::uint32_t(b[at + 3]);
}

struct EcbVector {
    const char* key;
    const char* clear;
    const char* cipher;
};

// Eric Young's published Blowfish ECB test data (16 rounds).
const EcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(Blowfish, PublishedEcbVectors) {
    for (const auto& v : kEcbVectors) {
        SCOPED_TRACE(v.key);
        const auto key = hex(v.key);
        const auto clear = hex(v.clear);
        const auto cipher = hex(v.cipher);
        crypto::Blowfish bf(key.data(), key.size());
        std::uint32_t l = word(clear, 0), r = word(clear, 4);
        bf.encryptBlock(l, r);
        EXPECT_EQ(l, word(cipher, 0));
        EXPECT_EQ(r, word(cipher, 4));
        bf.decryptBlock(l, r);
        EXPECT_EQ(l, word(clear, 0));
        EXPECT_EQ(r, word(clear, 4));
    }
}

// Published "set_key" data: keys of 1 to 24 bytes, prefixes of one key.
TEST(Blowfish, PublishedVariableKeyLengthVectors) {
    const auto fullKey = hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const auto clear = hex("FEDCBA9876543210");
    const char* ciphers[] = {"F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
                             "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
                             "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
                             "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
                             "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
                             "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080"};
    for (std::size_t len = 1; len <= 24; ++len) {
        SCOPED_TRACE(len);
        crypto::Blowfish bf(fullKey.data(), len);
        std::uint32_t l = word(clear, 0), r = word(clear, 4);
        bf.encryptBlock(l, r);
        const auto cipher = hex(ciphers[len - 1]);
        EXPECT_EQ(l, word(cipher, 0));
        EXPECT_EQ(r, word(cipher, 4));
    }
}

const char kChainKey[] = "0123456789ABCDEFF0E1D2C3B4A59687";
const char kChainData[] = "37363534333231204E6F77206973207468652074696D6520666F722000";

TEST(Blowfish, PublishedCbcVector) {
    const auto key = hex(kChainKey);
    auto data = hex(kChainData);
    data.resize(32, 0);  // the published test pads the 29 bytes with zeros
    crypto::Blowfish bf(key.data(), key.size());
    auto iv = hex("FEDCBA9876543210");
    std::vector<unsigned char> out(32);
    bf.encryptCbc(data.data(), data.size(), out.data(), iv.data());
    EXPECT_EQ(toHex(out), "6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF92CC");
    iv = hex("FEDCBA9876543210");
    std::vector<unsigned char> back(32);
    bf.decryptCbc(out.data(), out.size(), back.data(), iv.data());
    EXPECT_EQ(back, data);
}

// The published chaining data in 64-bit CFB from the all-zero vector; the
// expected bytes come from an independent implementation given IV 0.
TEST(Blowfish, CfbFromZeroVector) {
    const auto key = hex(kChainKey);
    const auto data = hex(kChainData);
    crypto::Blowfish bf(key.data(), key.size());
    std::vector<unsigned char> out(data.size());
    bf.encrypt(data.data(), data.size(), out.data());
    EXPECT_EQ(toHex(out), "30C6CE1AB13DA990407F5761DE0F41A7C6BC3106D084C5DEA26E2F7AD0");
    std::vector<unsigned char> back(data.size());
    bf.decrypt(out.data(), out.size(), back.data());
    EXPECT_EQ(back, data);

    // In place gives the same bytes.
    auto inPlace = data;
    bf.encrypt(inPlace.data(), inPlace.size(), inPlace.data());
    EXPECT_EQ(inPlace, out);
}

TEST(Blowfish, CfbRoundTripsEveryLengthAndKeepsPrefixes) {
    const std::string key = "some key";
    crypto::Blowfish bf(key.data(), key.size());
    std::vector<unsigned char> plain(41);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<unsigned char>(i * 37 + 5);
    std::vector<unsigned char> full(plain.size());
    bf.encrypt(plain.data(), plain.size(), full.data());

    for (std::size_t len = 0; len <= plain.size(); ++len) {
        SCOPED_TRACE(len);
        std::vector<unsigned char> enc(len + 1, 0xEE), dec(len + 1, 0xEE);
        bf.encrypt(plain.data(), len, enc.data());
        EXPECT_EQ(enc[len], 0xEE) << "wrote past the end";
        EXPECT_TRUE(std::equal(enc.begin(), enc.begin() + len, full.begin()));
        bf.decrypt(enc.data(), len, dec.data());
        EXPECT_TRUE(std::equal(dec.begin(), dec.begin() + len, plain.begin()));
        EXPECT_EQ(dec[len], 0xEE);
    }
}

TEST(Blowfish, ChangedByteAffectsItselfAndFollowingBlocksOnly) {
    const std::string key = "another key";
    crypto::Blowfish bf(key.data(), key.size());
    std::string text = "twenty bytes of text";
    ASSERT_EQ(text.size(), 20u);
    std::string a(20, '\0'), again(20, '\0'), b(20, '\0');
    bf.encrypt(text.data(), 20, a.data());
    bf.encrypt(text.data(), 20, again.data());
    EXPECT_EQ(a, again);

    text[9] ^= 0x01;  // byte 10 counting from 1
    bf.encrypt(text.data(), 20, b.data());
    for (std::size_t i = 0; i < 20; ++i) {
        SCOPED_TRACE(i + 1);
        const bool changed = a[i] != b[i];
        if (i == 9) {
            EXPECT_TRUE(changed);
        } else if (i < 16) {
            EXPECT_FALSE(changed);
        }
    }
    EXPECT_NE(a.substr(16), b.substr(16));
}

TEST(Blowfish, KeyBeyond72BytesIsIgnored) {
    std::string key72(72, '\0');
    for (std::size_t i = 0; i < key72.size(); ++i) key72[i] = static_cast<char>(i + 1);
    const std::string key80 = key72 + "EXTRAKEY";
    crypto::Blowfish a(key72.data(), key72.size());
    crypto::Blowfish b(key80.data(), key80.size());
    std::uint32_t la = 1, ra = 2, lb = 1, rb = 2;
    a.encryptBlock(la, ra);
    b.encryptBlock(lb, rb);
    EXPECT_EQ(la, lb);
    EXPECT_EQ(ra, rb);

    // setKey replaces the whole schedule.
    const std::string other = "other";
    b.setKey(other.data(), other.size());
    crypto::Blowfish fresh(other.data(), other.size());
    std::uint32_t l1 = 3, r1 = 4, l2 = 3, r2 = 4;
    b.encryptBlock(l1, r1);
    fresh.encryptBlock(l2, r2);
    EXPECT_EQ(l1, l2);
    EXPECT_EQ(r1, r2);
}

TEST(Blowfish, PasswordCipherRoundTrip) {
    const std::string secret = "pässwörd with blanks ";
    std::string enc(secret.size(), '\0'), dec(secret.size(), '\0');
    crypto::passwordCipher.encrypt(secret.data(), secret.size(), enc.data());
    EXPECT_NE(enc, secret);
    crypto::passwordCipher.decrypt(enc.data(), enc.size(), dec.data());
    EXPECT_EQ(dec, secret);
}

}  // namespace
