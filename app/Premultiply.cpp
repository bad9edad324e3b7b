#include "Main.h"

#include "Bitmap.h"

#include <emmintrin.h>
#include <immintrin.h>

#if defined(__GNUC__)
#include <cpuid.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>

// Every Windows the manifest admits runs on SSE2, so the 32-bit build may use it without a check; the
// attribute lets GCC's i686 target, whose baseline lacks it, compile the one function that does.
#if defined(__GNUC__) && !defined(__SSE2__)
#define KO_SSE2 __attribute__((target("sse2")))
#else
#define KO_SSE2
#endif

namespace {

// Two 8-bit values, in bits 0-7 and 16-23, each multiplied by `alpha` and divided by 255, truncated. Each
// product fits its 16-bit half, and (x + 1 + (x >> 8)) >> 8 is x / 255 for every such product.
inline uint32_t ScalePair(uint32_t pair, uint32_t alpha)
{
  const uint32_t product = pair * alpha;
  return ((product + 0x00010001u + ((product >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
}

void PremultiplyTail(uint8_t* pixels, size_t count)
{
  for (size_t i = 0; i < count; ++i) {
    uint32_t pixel;
    std::memcpy(&pixel, pixels + 4 * i, 4);
    const uint32_t alpha = pixel >> 24;
    pixel = ScalePair(pixel & 0x00FF00FFu, alpha) | (ScalePair((pixel >> 8) & 0xFFu, alpha) << 8) | (alpha << 24);
    std::memcpy(pixels + 4 * i, &pixel, 4);
  }
}

// Two pixels widened to 16-bit lanes, each lane times its pixel's alpha, divided as ScalePair does.
KO_SSE2 inline __m128i ScaleTwo(__m128i pair)
{
  const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pair, 0xFF), 0xFF);
  const __m128i product = _mm_mullo_epi16(pair, alpha);
  const __m128i rounded = _mm_add_epi16(_mm_add_epi16(product, _mm_set1_epi16(1)), _mm_srli_epi16(product, 8));
  return _mm_srli_epi16(rounded, 8);
}

// Four pixels a step; the alpha bytes are put back as they were, the scaled ones are a * a / 255. A skin is
// mostly opaque, with a clear surround: a run of opaque pixels stays as it is and a clear one becomes zero,
// exactly what the arithmetic gives, without it.
KO_SSE2 size_t PremultiplyFours(uint8_t* pixels, size_t count)
{
  const __m128i zero = _mm_setzero_si128();
  const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const size_t whole = count & ~size_t{3};
  for (size_t i = 0; i < whole; i += 4) {
    auto* at = reinterpret_cast<__m128i*>(pixels + 4 * i);
    const __m128i four = _mm_loadu_si128(at);
    const __m128i alphas = _mm_and_si128(four, alphaBytes);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, alphaBytes)) == 0xFFFF)
      continue;
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(alphas, zero)) == 0xFFFF) {
      _mm_storeu_si128(at, zero);
      continue;
    }
    const __m128i scaled =
        _mm_packus_epi16(ScaleTwo(_mm_unpacklo_epi8(four, zero)), ScaleTwo(_mm_unpackhi_epi8(four, zero)));
    _mm_storeu_si128(at, _mm_or_si128(_mm_andnot_si128(alphaBytes, scaled), _mm_and_si128(four, alphaBytes)));
  }
  return whole;
}

#if defined(__GNUC__)
#define KO_AVX2 __attribute__((target("avx2")))

// Eight pixels a step, without widening: blue and red are the low bytes of the 16-bit lanes, green and
// alpha the high ones. Alpha is multiplied by 255, so it comes out as it went in. For every product p of
// two bytes, (p * 0x8081) >> 23 is p / 255, truncated. Opaque and clear runs are skipped as in the SSE2 code.
KO_AVX2 size_t PremultiplyEights(uint8_t* pixels, size_t count)
{
  const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
  // Each pixel's alpha into both 16-bit lanes; the second copy keeps 255 in the alpha lane.
  const __m256i alphaOf = _mm256_setr_epi8(3, -128, 3, -128, 7, -128, 7, -128, 11, -128, 11, -128, 15, -128, 15,
                                           -128, 3, -128, 3, -128, 7, -128, 7, -128, 11, -128, 11, -128, 15,
                                           -128, 15, -128);
  const __m256i keepAlpha = _mm256_set1_epi32(0x00FF0000);
  const __m256i divide = _mm256_set1_epi16(static_cast<short>(0x8081));
  const __m256i alphaBits = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const size_t whole = count & ~size_t{7};
  for (size_t i = 0; i < whole; i += 8) {
    auto* at = reinterpret_cast<__m256i*>(pixels + 4 * i);
    const __m256i eight = _mm256_loadu_si256(at);
    if (_mm256_testc_si256(eight, alphaBits))
      continue;
    if (_mm256_testz_si256(eight, alphaBits)) {
      _mm256_storeu_si256(at, _mm256_setzero_si256());
      continue;
    }
    const __m256i alpha = _mm256_shuffle_epi8(eight, alphaOf);
    const __m256i blueRed = _mm256_mullo_epi16(_mm256_and_si256(eight, lowBytes), alpha);
    const __m256i greenAlpha = _mm256_mullo_epi16(_mm256_srli_epi16(eight, 8), _mm256_or_si256(alpha, keepAlpha));
    const __m256i low = _mm256_srli_epi16(_mm256_mulhi_epu16(blueRed, divide), 7);
    const __m256i high = _mm256_andnot_si256(lowBytes, _mm256_slli_epi16(_mm256_mulhi_epu16(greenAlpha, divide), 1));
    _mm256_storeu_si256(at, _mm256_or_si256(low, high));
  }
  return whole;
}

// Asked of the processor directly: the compiler's own feature table costs the 32-bit program 5 KB.
bool AskAvx2()
{
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX))
    return false;
  // The system must save the vector registers' upper halves on a thread switch.
  unsigned low = 0, high = 0;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  if ((low & 6) != 6)
    return false;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2);
}

bool RunsAvx2()
{
  static const bool runs = AskAvx2();
  return runs;
}
#else
size_t PremultiplyEights(uint8_t*, size_t)
{
  return 0;
}

bool RunsAvx2()
{
  return false;
}
#endif

} // namespace

bool ProcessorRuns(TPremultiplyCode code)
{
  return code == TPremultiplyCode::Sse2 || RunsAvx2();
}

void PremultiplyAlpha(TBitmap& bitmap)
{
  PremultiplyAlphaWith(bitmap, RunsAvx2() ? TPremultiplyCode::Avx2 : TPremultiplyCode::Sse2);
}

void PremultiplyAlphaWith(TBitmap& bitmap, TPremultiplyCode code)
{
  if (bitmap.GetPixelFormat() != pf32bit || bitmap.Empty() || bitmap.GetHeight() == 0)
    return;
  // 32-bit rows have no padding: whatever the row order, the pixels are one block, and each pixel stands
  // on its own.
  auto* first = static_cast<uint8_t*>(bitmap.ScanLine(0));
  auto* last = static_cast<uint8_t*>(bitmap.ScanLine(bitmap.GetHeight() - 1));
  uint8_t* block = std::min(first, last);
  const size_t count = static_cast<size_t>(bitmap.GetWidth()) * static_cast<size_t>(bitmap.GetHeight());
  size_t done = code == TPremultiplyCode::Avx2 ? PremultiplyEights(block, count) : 0;
  done += PremultiplyFours(block + 4 * done, count - done);
  PremultiplyTail(block + 4 * done, count - done);
  bitmap.Changed();
}
