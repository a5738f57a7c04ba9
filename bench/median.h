#pragma once
// The middle of a benchmark's samples: the machine's load moves single
// samples far more than it moves the median.
#include <algorithm>
#include <vector>

inline double Median(std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}
