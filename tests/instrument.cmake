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

# The analyser on the LAN or on USB, played by the simulated analyser behind a SCPI socket, a
# pseudo-terminal or a VXI-11 core channel. The VXI-11 stubs come from rpcgen, from the
# interface definition in standin/vxi11core.x.
enable_language(C)
find_program(RPCGEN rpcgen REQUIRED)
set(vxi11_stubs ${CMAKE_CURRENT_BINARY_DIR}/vxi11)
set(vxi11_definition ${CMAKE_CURRENT_SOURCE_DIR}/standin/vxi11core.x)
file(MAKE_DIRECTORY ${vxi11_stubs})
add_custom_command(
    OUTPUT ${vxi11_stubs}/vxi11core.h ${vxi11_stubs}/vxi11core_svc.c ${vxi11_stubs}/vxi11core_xdr.c
    COMMAND ${CMAKE_COMMAND} -E copy ${vxi11_definition} ${vxi11_stubs}/vxi11core.x
    COMMAND ${RPCGEN} -h vxi11core.x -o vxi11core.h
    COMMAND ${RPCGEN} -m vxi11core.x -o vxi11core_svc.c
    COMMAND ${RPCGEN} -c vxi11core.x -o vxi11core_xdr.c
    WORKING_DIRECTORY ${vxi11_stubs}
    DEPENDS ${vxi11_definition}
    COMMENT "Generating the VXI-11 stubs with rpcgen")
add_executable(analyserstandin standin/analyserstandin.cpp ${vxi11_stubs}/vxi11core.h
    ${vxi11_stubs}/vxi11core_svc.c ${vxi11_stubs}/vxi11core_xdr.c)
set_source_files_properties(standin/analyserstandin.cpp PROPERTIES COMPILE_OPTIONS "-Wall;-Wextra")
target_include_directories(analyserstandin PRIVATE ${vxi11_stubs})
target_link_libraries(analyserstandin PRIVATE vantorel_core PkgConfig::TIRPC)

vantorel_add_test(tst_interfaces tst_interfaces.cpp)
target_link_libraries(tst_interfaces PRIVATE vantorel_fakegpib)
target_compile_definitions(tst_interfaces PRIVATE
    ANALYSER_STANDIN="$<TARGET_FILE:analyserstandin>")
add_dependencies(tst_interfaces analyserstandin)

# The frequency sweep against the stand-in's analyser and source on 127.0.0.1.
vantorel_add_test(tst_sweep tst_sweep.cpp)
target_link_libraries(tst_sweep PRIVATE vantorel_fakegpib)
target_compile_definitions(tst_sweep PRIVATE ANALYSER_STANDIN="$<TARGET_FILE:analyserstandin>")
add_dependencies(tst_sweep analyserstandin)
