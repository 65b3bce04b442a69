# The fit methods on their own, checked against the straightforward reference kept with the
# benchmark, and Calculate on the real window.
set(regression_reference
    ${PROJECT_SOURCE_DIR}/bench/referencefit.h ${PROJECT_SOURCE_DIR}/bench/referencefit.cpp
    ${PROJECT_SOURCE_DIR}/bench/syntheticpoints.h ${PROJECT_SOURCE_DIR}/bench/syntheticpoints.cpp)
set_source_files_properties(${regression_reference} PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
vantorel_add_test(tst_regression tst_regression.cpp testhelpers.h testhelpers.cpp
    ${regression_reference})
target_include_directories(tst_regression PRIVATE ${PROJECT_SOURCE_DIR}/bench)
vantorel_add_test(tst_calculate tst_calculate.cpp testhelpers.h testhelpers.cpp)
# Figures of another least-squares tool, written by reference/fitstatistics_scipy.py.
set(fit_reference VANTOREL_FIT_REFERENCE="${CMAKE_CURRENT_SOURCE_DIR}/reference/fitstatistics_scipy.txt")
target_compile_definitions(tst_regression PRIVATE ${fit_reference})
# The tests redo sums of the fit and compare bits: no fused multiply-add in them either.
target_compile_options(tst_regression PRIVATE -ffp-contract=off)
target_compile_options(tst_calculate PRIVATE -ffp-contract=off)

# The same tests on the fit built for the baseline instruction set alone, as it runs on a
# processor without AVX2. Its own copies of the fit sources come before the core library, so
# the library's are not used.
file(GLOB regression_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/regression/*.cpp)
set_source_files_properties(${regression_sources} PROPERTIES COMPILE_OPTIONS
    "-ffp-contract=off;-fno-math-errno;$<$<CXX_COMPILER_ID:GNU>:-fvect-cost-model=dynamic>")
vantorel_add_test(tst_regression_baseline tst_regression.cpp testhelpers.h testhelpers.cpp
    ${regression_reference} ${regression_sources})
target_include_directories(tst_regression_baseline PRIVATE ${PROJECT_SOURCE_DIR}/bench)
target_compile_definitions(tst_regression_baseline PRIVATE VANTOREL_FIT_BASELINE_ONLY ${fit_reference})
target_compile_options(tst_regression_baseline PRIVATE -ffp-contract=off)

# The regression folder uses Qt Core at most: its sources build on their own into a library
# that sees no other part of Qt and nothing of the GUI.
add_library(vantorel_regression_alone STATIC ${regression_sources})
target_include_directories(vantorel_regression_alone PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(vantorel_regression_alone PRIVATE -Wall -Wextra)
target_link_libraries(vantorel_regression_alone PRIVATE Qt${VANTOREL_QT}::Core)
