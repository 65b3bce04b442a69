# The road of a measured point from the button to the file, on the real window.
vantorel_add_test(tst_endtoend tst_endtoend.cpp)
target_compile_definitions(tst_endtoend PRIVATE VANTOREL_EXAMPLES="${PROJECT_SOURCE_DIR}/examples")
