# The four fit methods against the straightforward reference; see bench/README.md.
vantorel_add_bench(bench_regression
    bench_regression.cpp
    referencefit.h referencefit.cpp
    syntheticpoints.h syntheticpoints.cpp)
set_source_files_properties(referencefit.cpp syntheticpoints.cpp
    PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
