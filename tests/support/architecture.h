#pragma once
// Where the two architectures differ, a test writes the fact for both and the
// build picks the one it runs on.

namespace architecture {

inline constexpr bool kIs64Bit = sizeof(void*) == 8;

template <typename T>
constexpr T PerArchitecture(T x86, T x64) {
  return kIs64Bit ? x64 : x86;
}

}  // namespace architecture
