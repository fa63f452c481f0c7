# tolvan_add_fuzz(NAME name SUBSYSTEM folder HARNESS file.cpp CORPUS folder)
# A fuzz harness (LLVMFuzzerTestOneInput) becomes two targets:
#  - <name>_fuzz_replay, an ordinary test that runs every stored input of the
#    corpus through the harness, in every build;
#  - <name>_fuzz, the libFuzzer executable, only with -DTOLVAN_FUZZ=ON (clang),
#    run by tests/fuzz/run-fuzz.sh.
# Harnesses link the whole core library, so they follow the codecs as they change.
function(tolvan_add_fuzz)
    cmake_parse_arguments(F "" "NAME;SUBSYSTEM;HARNESS;CORPUS" "" ${ARGN})
    get_filename_component(corpus ${F_CORPUS} ABSOLUTE)
    tolvan_add_test(NAME ${F_NAME}_fuzz_replay SUBSYSTEM ${F_SUBSYSTEM}
        SOURCES ${F_HARNESS} ${CMAKE_SOURCE_DIR}/tests/fuzz/ReplayMain.cpp
        LIBS tolvan_core)
    target_compile_definitions(${F_NAME}_fuzz_replay PRIVATE TOLVAN_FUZZ_CORPUS="${corpus}")
    if(TOLVAN_FUZZ)
        add_executable(${F_NAME}_fuzz ${F_HARNESS})
        target_link_libraries(${F_NAME}_fuzz PRIVATE tolvan_core)
        target_link_options(${F_NAME}_fuzz PRIVATE -fsanitize=fuzzer)
        set_target_properties(${F_NAME}_fuzz PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    endif()
endfunction()
