#include "sound/widen.h"

#if defined(__x86_64__) && defined(__GNUC__)
#define VOKRA_X86_WIDEN 1
#include <immintrin.h>
#else
#define VOKRA_X86_WIDEN 0
#endif

namespace vokra {
namespace {

// Every kernel walks from the last byte down. Sample i occupies bytes 2i and 2i + 1, so a step
// that reads bytes j..j+k-1 before writing samples j..j+k-1 (bytes 2j..2j+2k-1) never overwrites
// a byte still to be read. (u - 128) * 256 is computed as a product, or as the same bits
// (u << 8) ^ 0x8000: a left shift of a negative value is not portable. The loop is bound by its
// stores (two output bytes for each input byte), hence the widest step the processor allows.
void WidenScalar(std::int16_t* samples, std::int64_t i) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    while (i > 0) {
        --i;
        samples[i] = static_cast<std::int16_t>((static_cast<int>(bytes[i]) - 128) * 256);
    }
}

#if VOKRA_X86_WIDEN
__attribute__((target("avx512bw"))) void WidenAvx512(std::int16_t* samples, std::int64_t i) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    const __m512i flip = _mm512_set1_epi16(static_cast<short>(0x8000));
    while (i >= 32) {
        i -= 32;
        const __m256i u = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m512i w = _mm512_xor_si512(_mm512_slli_epi16(_mm512_cvtepu8_epi16(u), 8), flip);
        _mm512_storeu_si512(samples + i, w);
    }
    WidenScalar(samples, i);
}

__attribute__((target("avx2"))) void WidenAvx2(std::int16_t* samples, std::int64_t i) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    const __m256i flip = _mm256_set1_epi16(static_cast<short>(0x8000));
    while (i >= 16) {
        i -= 16;
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m256i w = _mm256_xor_si256(_mm256_slli_epi16(_mm256_cvtepu8_epi16(u), 8), flip);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(samples + i), w);
    }
    WidenScalar(samples, i);
}

void WidenSse2(std::int16_t* samples, std::int64_t i) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(samples);
    const __m128i zero = _mm_setzero_si128();
    const __m128i flip = _mm_set1_epi16(static_cast<short>(0x8000));
    while (i >= 16) {
        i -= 16;
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        // Interleaving zeros below each byte gives u << 8 in every 16-bit lane.
        const __m128i lo = _mm_xor_si128(_mm_unpacklo_epi8(zero, u), flip);
        const __m128i hi = _mm_xor_si128(_mm_unpackhi_epi8(zero, u), flip);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + i + 8), hi);
    }
    WidenScalar(samples, i);
}
#endif

WidenKernel BestKernel() {
#if VOKRA_X86_WIDEN
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512bw")) return WidenKernel::Avx512;
    if (__builtin_cpu_supports("avx2")) return WidenKernel::Avx2;
    return WidenKernel::Sse2;
#else
    return WidenKernel::Scalar;
#endif
}

}  // namespace

bool WidenKernelAvailable(WidenKernel kernel) {
    static const WidenKernel best = BestKernel();
    return kernel == WidenKernel::Best || kernel == WidenKernel::Scalar ||
           (kernel <= best && best != WidenKernel::Scalar);
}

void WidenInPlace(std::int16_t* samples, std::int64_t count, WidenKernel kernel) {
    static const WidenKernel best = BestKernel();
    if (kernel == WidenKernel::Best || !WidenKernelAvailable(kernel)) kernel = best;
    switch (kernel) {
#if VOKRA_X86_WIDEN
        case WidenKernel::Avx512:
            return WidenAvx512(samples, count);
        case WidenKernel::Avx2:
            return WidenAvx2(samples, count);
        case WidenKernel::Sse2:
            return WidenSse2(samples, count);
#endif
        default:
            return WidenScalar(samples, count);
    }
}

}  // namespace vokra
