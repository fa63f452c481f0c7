# tolvan_add_test(NAME name SUBSYSTEM folder SOURCES a.cpp... [LIBS lib...] [LOCKS resource...] [ALONE])
# Every case of the test program is its own ctest entry, named
# <name>.<Suite>.<Case> and labelled with its subsystem, so `ctest -L mail`
# runs the mail tests and `ctest -R <name>` one program's cases. Each case runs
# in a process of its own, with screens rendered offscreen.
# LOCKS names what a case must have to itself while it runs (RESOURCE_LOCK):
# tolvan_display for a test that starts or uses an X display, tolvan_sound for
# one that starts a sound server, so that a parallel run (ctest -j8) never runs
# two of them at once. ALONE runs each case with no other test beside it
# (RUN_SERIAL), for cases that wait on a window manager's reaction, which a
# machine busy with other tests can delay past any sensible limit.
include(GoogleTest)

function(tolvan_add_test)
    cmake_parse_arguments(T "ALONE" "NAME;SUBSYSTEM" "SOURCES;LIBS;LOCKS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} tolvan_test_main GTest::gtest GTest::gmock Qt6::Test)
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    # The cases are listed when ctest starts (PRE_TEST), never at build time,
    # so building runs no test program, and a sanitizer build lists them with
    # the sanitizer settings it runs them with.
    gtest_discover_tests(${T_NAME}
        TEST_PREFIX "${T_NAME}."
        NO_PRETTY_TYPES NO_PRETTY_VALUES
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES LABELS ${T_SUBSYSTEM} TIMEOUT 300 RUN_SERIAL ${T_ALONE})
    # Properties passed above cannot hold a list, so the environment and the
    # locks are set on the listed cases by a second file read after the listing.
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake")
    file(WRITE ${script}
        "if(${T_NAME}_TESTS)\n"
        "  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES\n"
        "    ENVIRONMENT \"QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8\"\n"
        "    RESOURCE_LOCK \"${T_LOCKS}\")\n"
        "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
endfunction()
