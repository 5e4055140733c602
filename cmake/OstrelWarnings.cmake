# Every target of ours builds with the same strict warnings, as errors.
add_library(ostrel_warnings INTERFACE)
target_compile_options(ostrel_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)

# Sanitizers, switched on by the asan and fuzz presets.
set(OSTREL_SANITIZE "" CACHE STRING "Comma-separated -fsanitize list for every target")
if(OSTREL_SANITIZE)
    add_compile_options(-fsanitize=${OSTREL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${OSTREL_SANITIZE})
endif()
