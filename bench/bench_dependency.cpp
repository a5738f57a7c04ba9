// One of the benchmark server's dependencies: exports the function its
// build names.
extern "C" __declspec(dllexport) int BENCH_ANSWER() { return 1; }
