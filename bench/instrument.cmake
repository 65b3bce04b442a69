# One Get Marker Pos per interface against its loopback stand-in (built with the tests).
if(TARGET analyserstandin)
    vantorel_add_bench(bench_instrument bench_instrument.cpp)
    target_compile_definitions(bench_instrument PRIVATE
        ANALYSER_STANDIN="$<TARGET_FILE:analyserstandin>")
    add_dependencies(bench_instrument analyserstandin)
endif()
