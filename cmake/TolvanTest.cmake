# tolvan_add_test(NAME name SUBSYSTEM folder SOURCES a.cpp... [LIBS lib...] [QT])
# Every test is labelled with its subsystem so `ctest -L mail` runs the mail tests.
# Screens render offscreen, and each test finds its data through TOLVAN_TEST_DATA.
function(tolvan_add_test)
    cmake_parse_arguments(T "" "NAME;SUBSYSTEM" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tolvan_test_main GTest::gtest GTest::gmock Qt6::Test)
    target_compile_definitions(${T_NAME} PRIVATE TOLVAN_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        LABELS ${T_SUBSYSTEM}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8"
        TIMEOUT 300)
endfunction()
