// CRC-32 of IEEE 802.3 over a save.
//
// The 256-entry table of the reflected polynomial 0xEDB88320 is the constant
// everything rests on. Two faster paths give the very same value as walking
// that table one byte at a time:
// - slicing-by-16: fifteen further tables, each derived at compile time from
//   the first, let sixteen bytes advance the register with sixteen look-ups
//   and no dependency chain between them;
// - carry-less multiplication (PCLMULQDQ), where the processor has it: four
//   128-bit lanes are folded forward 64 bytes at a time (sixteen lanes, 256
//   bytes, with the 512-bit form), then reduced to 32 bits with a Barrett
//   step. The fold constants are powers of x modulo the same polynomial.
//   Bytes that do not fill a 16-byte block go through the sliced tables.
#include "saveformat/SaveFormat.h"

#include "saveformat/LittleEndian.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define TOLVAR_HAVE_CLMUL 1
#endif

namespace tolvar {
namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

constexpr std::array<std::array<std::uint32_t, 256>, 16> MakeTables()
{
    std::array<std::array<std::uint32_t, 256>, 16> tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) {
            c = (c & 1u) ? (c >> 1) ^ kPolynomial : c >> 1;
        }
        tables[0][i] = c;
    }
    for (std::size_t t = 1; t < 16; ++t) {
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t prev = tables[t - 1][i];
            tables[t][i] = (prev >> 8) ^ tables[0][prev & 0xFFu];
        }
    }
    return tables;
}

constexpr auto kTables = MakeTables();

// Advances a register that has already been inverted (no pre/post XOR here).
std::uint32_t UpdateSliced(std::uint32_t crc, const std::uint8_t* p, std::size_t length)
{
    const auto& t = kTables;
    while (length >= 16) {
        const std::uint32_t a = ReadLe32(p) ^ crc;
        const std::uint32_t b = ReadLe32(p + 4);
        const std::uint32_t c = ReadLe32(p + 8);
        const std::uint32_t d = ReadLe32(p + 12);
        crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
              t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
              t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
              t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
        p += 16;
        length -= 16;
    }
    while (length-- > 0) {
        crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
    }
    return crc;
}

#ifdef TOLVAR_HAVE_CLMUL

// x^(4*128+32), x^(4*128-32), x^(128+32), x^(128-32), x^64 modulo P (bit-reflected),
// then P itself and floor(x^64 / P) for the Barrett reduction.
constexpr long long kFold4Low = 0x154442bd4LL;
constexpr long long kFold4High = 0x1c6e41596LL;
constexpr long long kFold1Low = 0x1751997d0LL;
constexpr long long kFold1High = 0x0ccaa009eLL;
constexpr long long kFold64 = 0x163cd6124LL;
constexpr long long kPoly = 0x1db710641LL;
constexpr long long kMu = 0x1f7011641LL;

#define TOLVAR_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

TOLVAR_CLMUL_TARGET inline __m128i LoadBlock(const std::uint8_t* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// Carries one 128-bit lane forward over the distance that k encodes and adds
// the block found there.
TOLVAR_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next)
{
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), next);
}

// Folds the remaining 16-byte blocks into x, then reduces it to the register.
TOLVAR_CLMUL_TARGET std::uint32_t FinishClmul(__m128i x, const std::uint8_t* p, std::size_t length)
{
    const __m128i k1 = _mm_set_epi64x(kFold1High, kFold1Low);
    while (length >= 16) {
        x = Fold(x, k1, LoadBlock(p));
        p += 16;
        length -= 16;
    }

    // 128 -> 64 bits.
    x = _mm_xor_si128(_mm_clmulepi64_si128(x, k1, 0x10), _mm_srli_si128(x, 8));
    // 64 -> 32 bits.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    const __m128i k64 = _mm_set_epi64x(0, kFold64);
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, mask32), k64, 0x00),
                      _mm_srli_si128(x, 4));
    // Barrett reduction to the 32-bit remainder.
    const __m128i barrett = _mm_set_epi64x(kMu, kPoly);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, mask32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), barrett, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
}

// Needs length >= 64 and a multiple of 16; returns the advanced register.
TOLVAR_CLMUL_TARGET std::uint32_t UpdateClmul(std::uint32_t crc, const std::uint8_t* p,
                                              std::size_t length)
{
    __m128i x0 = _mm_xor_si128(LoadBlock(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = LoadBlock(p + 16);
    __m128i x2 = LoadBlock(p + 32);
    __m128i x3 = LoadBlock(p + 48);
    p += 64;
    length -= 64;

    const __m128i k4 = _mm_set_epi64x(kFold4High, kFold4Low);
    while (length >= 64) {
        x0 = Fold(x0, k4, LoadBlock(p));
        x1 = Fold(x1, k4, LoadBlock(p + 16));
        x2 = Fold(x2, k4, LoadBlock(p + 32));
        x3 = Fold(x3, k4, LoadBlock(p + 48));
        p += 64;
        length -= 64;
    }

    const __m128i k1 = _mm_set_epi64x(kFold1High, kFold1Low);
    __m128i x = Fold(x0, k1, x1);
    x = Fold(x, k1, x2);
    x = Fold(x, k1, x3);
    return FinishClmul(x, p, length);
}

#define TOLVAR_WIDE_CLMUL_TARGET                                                                   \
    __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

// The same folding four 128-bit lanes at a time in each 512-bit register:
// eight registers carry 512 bytes forward per step, enough independent work
// to keep the multiplier busy.
constexpr std::size_t kWideLanes = 8;
constexpr long long kFold32Low = 0x01072db28LL;  // x^(4096+32)
constexpr long long kFold32High = 0x1d741f35cLL; // x^(4096-32)

TOLVAR_WIDE_CLMUL_TARGET inline __m512i LoadWide(const std::uint8_t* at)
{
    return _mm512_loadu_si512(at);
}

// Every 128-bit lane holds the same pair of constants.
TOLVAR_WIDE_CLMUL_TARGET inline __m512i WideConstant(long long high, long long low)
{
    return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}

TOLVAR_WIDE_CLMUL_TARGET inline __m512i FoldWide(__m512i x, __m512i k, __m512i next)
{
    const __m512i lo = _mm512_clmulepi64_epi128(x, k, 0x00);
    const __m512i hi = _mm512_clmulepi64_epi128(x, k, 0x11);
    return _mm512_ternarylogic_epi64(lo, hi, next, 0x96); // lo ^ hi ^ next
}

// Needs length >= 512 and a multiple of 16; returns the advanced register.
TOLVAR_WIDE_CLMUL_TARGET std::uint32_t UpdateWideClmul(std::uint32_t crc, const std::uint8_t* p,
                                                       std::size_t length)
{
    __m512i z[kWideLanes];
    for (std::size_t i = 0; i < kWideLanes; ++i) {
        z[i] = LoadWide(p + 64 * i);
    }
    z[0] = _mm512_xor_si512(z[0], _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
    p += 64 * kWideLanes;
    length -= 64 * kWideLanes;

    const __m512i k32 = WideConstant(kFold32High, kFold32Low);
    while (length >= 64 * kWideLanes) {
        for (std::size_t i = 0; i < kWideLanes; ++i) {
            z[i] = FoldWide(z[i], k32, LoadWide(p + 64 * i));
        }
        p += 64 * kWideLanes;
        length -= 64 * kWideLanes;
    }

    const __m512i k4 = WideConstant(kFold4High, kFold4Low);
    __m512i x512 = z[0];
    for (std::size_t i = 1; i < kWideLanes; ++i) {
        x512 = FoldWide(x512, k4, z[i]);
    }
    while (length >= 64) {
        x512 = FoldWide(x512, k4, LoadWide(p));
        p += 64;
        length -= 64;
    }
    const __m512i z0 = x512;

    alignas(64) std::uint8_t lanes[64];
    _mm512_store_si512(lanes, z0);
    const __m128i k1 = _mm_set_epi64x(kFold1High, kFold1Low);
    __m128i x = Fold(LoadBlock(lanes), k1, LoadBlock(lanes + 16));
    x = Fold(x, k1, LoadBlock(lanes + 32));
    x = Fold(x, k1, LoadBlock(lanes + 48));
    return FinishClmul(x, p, length);
}

// The processor is asked on the first CRC, not by a constructor at load:
// each question traps to the hypervisor of a virtual machine, and the
// program's start has no CRC to make.
struct CpuFeatures
{
    bool clmul = false;
    bool wideClmul = false;
};

__attribute__((target("xsave"))) CpuFeatures AskCpu()
{
    CpuFeatures features;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) {
        return features;
    }
    features.clmul = (ecx & bit_PCLMUL) != 0 && (ecx & bit_SSE4_1) != 0;
    // The 512-bit registers are usable only where the system saves them.
    const bool saved = (ecx & bit_OSXSAVE) != 0 && (_xgetbv(0) & 0xE6) == 0xE6;
    if (saved && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
        features.wideClmul = features.clmul && (ebx & bit_AVX512F) != 0 &&
                             (ebx & bit_AVX512VL) != 0 && (ecx & bit_VPCLMULQDQ) != 0;
    }
    return features;
}

const CpuFeatures& Cpu()
{
    static const CpuFeatures features = AskCpu();
    return features;
}

bool HasWideClmul()
{
    return Cpu().wideClmul;
}

bool HasClmul()
{
    return Cpu().clmul;
}

#endif

} // namespace

bool HasCrcPath(CrcPath path)
{
#ifdef TOLVAR_HAVE_CLMUL
    if (path == CrcPath::Fold128) {
        return HasClmul();
    }
    if (path == CrcPath::Fold512) {
        return HasClmul() && HasWideClmul();
    }
#endif
    return path == CrcPath::Table;
}

namespace {

// The register before its final inversion, carried on over length bytes.
std::uint32_t UpdateThrough(CrcPath widest, std::uint32_t crc, const std::uint8_t* bytes,
                            std::size_t remaining)
{
#ifdef TOLVAR_HAVE_CLMUL
    // Below a few blocks the set-up of the folding costs more than it saves.
    if (remaining >= 256 && widest != CrcPath::Table && HasClmul()) {
        const std::size_t blocks = remaining & ~static_cast<std::size_t>(15);
        crc = widest == CrcPath::Fold512 && blocks >= 64 * kWideLanes && HasWideClmul()
                  ? UpdateWideClmul(crc, bytes, blocks)
                  : UpdateClmul(crc, bytes, blocks);
        bytes += blocks;
        remaining -= blocks;
    }
#else
    (void)widest;
#endif
    return UpdateSliced(crc, bytes, remaining);
}

} // namespace

std::uint32_t SaveCrc32Through(CrcPath widest, const std::uint8_t* bytes, std::uint32_t length)
{
    if (length == 0 || bytes == nullptr) {
        return 0;
    }
    return UpdateThrough(widest, 0xFFFFFFFFu, bytes, length) ^ 0xFFFFFFFFu;
}

std::uint32_t SaveCrc32(const std::uint8_t* bytes, std::uint32_t length)
{
    return SaveCrc32Through(CrcPath::Fold512, bytes, length);
}

std::uint32_t SaveCrc32Continue(std::uint32_t crc, const std::uint8_t* bytes, std::size_t length)
{
    if (length == 0 || bytes == nullptr) {
        return crc;
    }
    return UpdateThrough(CrcPath::Fold512, crc ^ 0xFFFFFFFFu, bytes, length) ^ 0xFFFFFFFFu;
}

} // namespace tolvar
