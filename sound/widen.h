#pragma once
// Widening of unsigned 8-bit samples to signed 16-bit ones, (u - 128) * 256, in place in a buffer
// whose first `count` bytes hold the 8-bit samples and which has room for `count` 16-bit ones.
// One kernel per instruction set; the best one the processor has is used unless a test asks for
// a particular one.
#include <cstdint>

namespace vokra {

enum class WidenKernel { Best, Scalar, Sse2, Avx2, Avx512 };

// Whether this build and this processor can run the kernel.
bool WidenKernelAvailable(WidenKernel kernel);
void WidenInPlace(std::int16_t* samples, std::int64_t count,
                  WidenKernel kernel = WidenKernel::Best);

}  // namespace vokra
