#include "chart/qt/vector_state.h"

#include <immintrin.h>

namespace chart::qt {

namespace {

__attribute__((target("avx"))) void ZeroUpper()
{
    _mm256_zeroupper();
}

}  // namespace

void ClearVectorUpperState()
{
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        ZeroUpper();
}

}  // namespace chart::qt
