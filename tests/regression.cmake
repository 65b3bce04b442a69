# The fit methods on their own, checked against the straightforward reference kept with the
# benchmark, and Calculate on the real window. (A build with VANTOREL_FIT_BASELINE_ONLY runs the
# same checks on the fit built for the baseline instruction set alone.)
vantorel_add_test(tst_regression tst_regression.cpp)
target_link_libraries(tst_regression PRIVATE vantorel_fitreference)
# Figures of another least-squares tool, written by reference/fitstatistics_scipy.py.
target_compile_definitions(tst_regression PRIVATE
    VANTOREL_FIT_REFERENCE="${CMAKE_CURRENT_SOURCE_DIR}/reference/fitstatistics_scipy.txt"
    VANTOREL_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
vantorel_add_test(tst_calculate tst_calculate.cpp)
target_compile_definitions(tst_calculate PRIVATE VANTOREL_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
# The tests redo sums of the fit and compare bits: no fused multiply-add in them either.
target_compile_options(tst_regression PRIVATE -ffp-contract=off)
target_compile_options(tst_calculate PRIVATE -ffp-contract=off)
