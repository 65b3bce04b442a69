# The GPIB layer, the marker commands and the timed acquisition. They run against a scriptable
# fake driver: in-process, and built as driver libraries that the program's own loader loads
# by path (one of them lacks ThreadIbcnt, to exercise the fall-back to the simulated analyser).
# The script is built once, position independent, for the driver libraries and the tests.
add_library(fakegpib_script OBJECT fakegpib/fakegpibscript.h fakegpib/fakegpibscript.cpp)
set_target_properties(fakegpib_script PROPERTIES POSITION_INDEPENDENT_CODE ON)
target_compile_options(fakegpib_script PRIVATE -Wall -Wextra)
target_link_libraries(fakegpib_script PUBLIC Qt${VANTOREL_QT}::Core)
add_library(fakegpib MODULE fakegpib/fakegpiblibrary.cpp)
add_library(fakegpib_noibcnt MODULE fakegpib/fakegpiblibrary.cpp)
target_compile_definitions(fakegpib_noibcnt PRIVATE FAKEGPIB_WITHOUT_THREADIBCNT)
foreach(library fakegpib fakegpib_noibcnt)
    target_compile_options(${library} PRIVATE -Wall -Wextra)
    target_link_libraries(${library} PRIVATE fakegpib_script)
endforeach()

# The same script as an in-process driver, for the tests that install it directly.
add_library(vantorel_fakegpib STATIC fakegpib/fakegpib.h)
target_include_directories(vantorel_fakegpib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(vantorel_fakegpib PUBLIC fakegpib_script vantorel_core)

vantorel_add_test(tst_gpib tst_gpib.cpp)
target_link_libraries(tst_gpib PRIVATE vantorel_fakegpib)
target_compile_definitions(tst_gpib PRIVATE
    FAKEGPIB_LIBRARY="$<TARGET_FILE:fakegpib>"
    FAKEGPIB_NOIBCNT_LIBRARY="$<TARGET_FILE:fakegpib_noibcnt>"
    VANTOREL_PROGRAM="$<TARGET_FILE:vantorel>")
add_dependencies(tst_gpib fakegpib fakegpib_noibcnt vantorel)

vantorel_add_test(tst_simulatedanalyser tst_simulatedanalyser.cpp)

vantorel_add_test(tst_acquisition tst_acquisition.cpp)
target_link_libraries(tst_acquisition PRIVATE vantorel_fakegpib)
