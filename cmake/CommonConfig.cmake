# Shared compile settings: every target links hoardwise_common.
add_library(hoardwise_common INTERFACE)
target_compile_features(hoardwise_common INTERFACE cxx_std_17)
target_compile_options(hoardwise_common INTERFACE -Wall -Wextra)

# The test build (scripts/test, and so CI) treats every warning as an error.
option(HOARDWISE_WERROR "Treat compiler warnings as errors" OFF)
if(HOARDWISE_WERROR)
    target_compile_options(hoardwise_common INTERFACE -Werror)
endif()
# Each layer names its own include folder (see CMakeLists.txt).

option(HOARDWISE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(HOARDWISE_SANITIZE)
    target_compile_options(hoardwise_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(hoardwise_common INTERFACE -fsanitize=address,undefined)
endif()
