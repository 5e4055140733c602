# ostrel_add_fuzz_target(NAME SOURCES a.cpp ... SEEDS dir)
#
# In the fuzz preset (clang) this builds a libFuzzer program. In every other
# build it links the same entry point to a small driver that feeds it each seed
# file once, and registers that as a quick smoke test, so the suite notices a
# parser that crashes on its own seeds.
function(ostrel_add_fuzz_target name)
    cmake_parse_arguments(F "" "SEEDS" "SOURCES" ${ARGN})
    if(OSTREL_BUILD_FUZZ)
        add_executable(${name} ${F_SOURCES})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name} PRIVATE OstrelHubKit ostrel_warnings)
    elseif(OSTREL_BUILD_TESTS)
        add_executable(${name}_smoke ${F_SOURCES} ${PROJECT_SOURCE_DIR}/fuzz/SeedDriver.cpp)
        target_link_libraries(${name}_smoke PRIVATE OstrelHubKit ostrel_warnings)
        add_test(NAME ${name}.seeds COMMAND ${name}_smoke ${F_SEEDS})
        set_tests_properties(${name}.seeds PROPERTIES LABELS "kit;fuzz" TIMEOUT 120)
    endif()
endfunction()
