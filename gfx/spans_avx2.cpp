// The row routines eight pixels at a time in AVX2, for processors that have
// it. This file alone is built for AVX2; it is used only after the check.
#include "spans.h"

#if defined(__AVX2__)
#include <immintrin.h>

#define GFX_SPANS_NAMESPACE spans_avx2
namespace spans_avx2 {

struct V {
    typedef __m256i T;
    enum { N = 8 };
    static T load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void store(uint32_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
    static T set1(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
    static T zero() { return _mm256_setzero_si256(); }
    static T and_(T a, T b) { return _mm256_and_si256(a, b); }
    static T or_(T a, T b) { return _mm256_or_si256(a, b); }
    static T add32(T a, T b) { return _mm256_add_epi32(a, b); }
    static T srli32(T a, int k) { return _mm256_srli_epi32(a, k); }
    static T slli32(T a, int k) { return _mm256_slli_epi32(a, k); }
    static T add16(T a, T b) { return _mm256_add_epi16(a, b); }
    static T sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
    static T slli16(T a, int k) { return _mm256_slli_epi16(a, k); }
    static T srli16(T a, int k) { return _mm256_srli_epi16(a, k); }
    static T mulhi16(T a, T b) { return _mm256_mulhi_epi16(a, b); }
    static T mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
    static T min16(T a, T b) { return _mm256_min_epi16(a, b); }
    static T adds_u8(T a, T b) { return _mm256_adds_epu8(a, b); }
    static T cmpeq32(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
    static bool all(T m) { return _mm256_movemask_epi8(m) == -1; }
    // The unpacks and packs work within each 128-bit half, which keeps every
    // pixel's channels together; pack16 puts the halves' pixels back in order.
    static T unpacklo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
    static T unpackhi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
    static T unpacklo32(T a, T b) { return _mm256_unpacklo_epi32(a, b); }
    static T unpackhi32(T a, T b) { return _mm256_unpackhi_epi32(a, b); }
    static T packus16(T a, T b) { return _mm256_packus_epi16(a, b); }
    static T unpacklo64(T a, T b) { return _mm256_unpacklo_epi64(a, b); }
    static T unpackhi64(T a, T b) { return _mm256_unpackhi_epi64(a, b); }
    static T even32(T a, T b) {
        T m = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0x88));
        return _mm256_permute4x64_epi64(m, 0xD8);
    }
    static T pack16(T a, T b) { return _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8); }
    static T gather(const uint32_t* base, const int32_t* index) {
        return _mm256_setr_epi32(static_cast<int>(base[index[0]]), static_cast<int>(base[index[1]]),
                                 static_cast<int>(base[index[2]]), static_cast<int>(base[index[3]]),
                                 static_cast<int>(base[index[4]]), static_cast<int>(base[index[5]]),
                                 static_cast<int>(base[index[6]]), static_cast<int>(base[index[7]]));
    }
    static __m128i quad(const uint32_t* pairs, int32_t c) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 2 * c));
    }
    static void load_quads(const uint32_t* pairs, const int32_t* index, T* top, T* bottom) {
        __m128i a = quad(pairs, index[0]), b = quad(pairs, index[1]);
        __m128i c = quad(pairs, index[2]), d = quad(pairs, index[3]);
        *top = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi32(a, b)), _mm_unpacklo_epi32(c, d), 1);
        *bottom =
            _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpackhi_epi32(a, b)), _mm_unpackhi_epi32(c, d), 1);
    }
};

}  // namespace spans_avx2

#include "spans_impl.h"

const GfxSpans gfx_spans_avx2 = GFX_SPANS_TABLE("avx2");
#else
const GfxSpans gfx_spans_avx2 = {};
#endif
