# The GPIB layer, the marker commands and the timed acquisition. They run against a scriptable
# fake driver: in-process, and built as driver libraries that the program's own loader loads
# by path (one of them lacks ThreadIbcnt, to exercise the fall-back to the simulated analyser).
set(fakegpib_library_sources
    fakegpib/fakegpibscript.h fakegpib/fakegpibscript.cpp fakegpib/fakegpiblibrary.cpp)
add_library(fakegpib MODULE ${fakegpib_library_sources})
add_library(fakegpib_noibcnt MODULE ${fakegpib_library_sources})
target_compile_definitions(fakegpib_noibcnt PRIVATE FAKEGPIB_WITHOUT_THREADIBCNT)
foreach(library fakegpib fakegpib_noibcnt)
    target_compile_options(${library} PRIVATE -Wall -Wextra)
    target_link_libraries(${library} PRIVATE Qt${VANTOREL_QT}::Core)
endforeach()

set(fakegpib_sources fakegpib/fakegpib.h fakegpib/fakegpibscript.h fakegpib/fakegpibscript.cpp)

vantorel_add_test(tst_gpib tst_gpib.cpp testhelpers.h testhelpers.cpp ${fakegpib_sources})
target_compile_definitions(tst_gpib PRIVATE
    FAKEGPIB_LIBRARY="$<TARGET_FILE:fakegpib>"
    FAKEGPIB_NOIBCNT_LIBRARY="$<TARGET_FILE:fakegpib_noibcnt>"
    VANTOREL_PROGRAM="$<TARGET_FILE:vantorel>")
add_dependencies(tst_gpib fakegpib fakegpib_noibcnt vantorel)

vantorel_add_test(tst_simulatedanalyser tst_simulatedanalyser.cpp testhelpers.h testhelpers.cpp)

vantorel_add_test(tst_acquisition tst_acquisition.cpp testhelpers.h testhelpers.cpp
    ${fakegpib_sources})
