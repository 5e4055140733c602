# Every target of ours builds with the same strict warnings, as errors.
add_library(ostrel_warnings INTERFACE)
target_compile_options(ostrel_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)

# Sanitizers, switched on by the asan and fuzz presets.
set(OSTREL_SANITIZE "" CACHE STRING "Comma-separated -fsanitize list for every target")
if(OSTREL_SANITIZE)
    add_compile_options(-fsanitize=${OSTREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${OSTREL_SANITIZE})
endif()

# GCC 12 reports false -Wrestrict overlaps in std::string concatenation at -O3
# (GCC bug 105651); the warning is right again from GCC 13 on.
# In optimised builds its flow analysis also flags library code it has inlined: a memcmp in
# ordering byte vectors (a std::set of them) as over-reading, and std::optional's storage of a
# map as maybe uninitialised (GCC bug 80635). Those two stay warnings there, shown but not
# failing the build.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(ostrel_warnings INTERFACE -Wno-restrict
        $<$<NOT:$<CONFIG:Debug>>:-Wno-error=stringop-overread -Wno-error=maybe-uninitialized>)
endif()
