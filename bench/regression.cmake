# The four fit methods against the straightforward reference; see bench/README.md.
vantorel_add_bench(bench_regression bench_regression.cpp)
target_link_libraries(bench_regression PRIVATE vantorel_fitreference)
