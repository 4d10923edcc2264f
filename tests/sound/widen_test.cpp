#include "sound/widen.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace vokra {
namespace {

// Every kernel on lengths around its step widths: the in-place walk must neither overwrite a byte
// it has yet to read nor leave the tail below the last full step unconverted.
class Widen_Kernel : public ::testing::TestWithParam<std::tuple<WidenKernel, int>> {};

TEST_P(Widen_Kernel, MatchesTheFormulaInPlace) {
    const auto [kernel, count] = GetParam();
    if (!WidenKernelAvailable(kernel)) GTEST_SKIP() << "not on this processor";
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i * 37 + 11);
    if (count >= 3) bytes[0] = 0, bytes[1] = 128, bytes[2] = 255;
    std::vector<std::int16_t> buffer(static_cast<std::size_t>(count) + 1, 0x5A5A);
    if (count > 0) std::memcpy(buffer.data(), bytes.data(), bytes.size());
    WidenInPlace(buffer.data(), count, kernel);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(buffer[static_cast<std::size_t>(i)],
                  (bytes[static_cast<std::size_t>(i)] - 128) * 256)
            << "sample " << i;
    }
    EXPECT_EQ(buffer.back(), 0x5A5A) << "wrote past the samples";
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, Widen_Kernel,
    ::testing::Combine(::testing::Values(WidenKernel::Scalar, WidenKernel::Sse2, WidenKernel::Avx2,
                                         WidenKernel::Avx512, WidenKernel::Best),
                       ::testing::Values(0, 1, 3, 15, 16, 17, 31, 32, 33, 63, 64, 65, 1000, 4099)));

}  // namespace
}  // namespace vokra
