# The window while Calculate runs a long fit: the longest pause of its event loop.
vantorel_add_bench(bench_responsiveness bench_responsiveness.cpp)
