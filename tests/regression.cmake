# The fit methods on their own, checked against the straightforward reference kept with the
# benchmark, and Calculate on the real window.
vantorel_add_test(tst_regression tst_regression.cpp testhelpers.h testhelpers.cpp
    ${PROJECT_SOURCE_DIR}/bench/referencefit.h ${PROJECT_SOURCE_DIR}/bench/referencefit.cpp
    ${PROJECT_SOURCE_DIR}/bench/syntheticpoints.h ${PROJECT_SOURCE_DIR}/bench/syntheticpoints.cpp)
target_include_directories(tst_regression PRIVATE ${PROJECT_SOURCE_DIR}/bench)
set_source_files_properties(${PROJECT_SOURCE_DIR}/bench/referencefit.cpp
    ${PROJECT_SOURCE_DIR}/bench/syntheticpoints.cpp PROPERTIES COMPILE_OPTIONS "-ffp-contract=off")
vantorel_add_test(tst_calculate tst_calculate.cpp testhelpers.h testhelpers.cpp)

# The regression folder uses Qt Core at most: its sources build on their own into a library
# that sees no other part of Qt and nothing of the GUI.
file(GLOB regression_alone_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/regression/*.cpp)
add_library(vantorel_regression_alone STATIC ${regression_alone_sources})
target_include_directories(vantorel_regression_alone PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_options(vantorel_regression_alone PRIVATE -Wall -Wextra -ffp-contract=off
    -fno-math-errno)
target_link_libraries(vantorel_regression_alone PRIVATE Qt5::Core)
