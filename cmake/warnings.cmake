# Warning and sanitizer flags travel on an INTERFACE target that every project target links,
# so third-party code (googletest) is built with its own flags. tarn_warnings alone is for the
# few test helpers that must start fast.
add_library(tarn_warnings INTERFACE)
target_compile_options(tarn_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
  -Wnon-virtual-dtor -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough)
# clang does not know these and would warn about each one.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  target_compile_options(tarn_warnings INTERFACE -Wduplicated-cond -Wlogical-op -Wuseless-cast)
endif()
if(TARN_WERROR)
  target_compile_options(tarn_warnings INTERFACE -Werror)
endif()
add_library(tarn_options INTERFACE)
target_link_libraries(tarn_options INTERFACE tarn_warnings)
if(TARN_SANITIZE)
  target_compile_options(tarn_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                                -fno-sanitize-recover=undefined)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()
# Coverage hooks for libFuzzer in every project target; only the fuzz targets link its main.
if(TARN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TARN_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++-14")
  endif()
  target_compile_options(tarn_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tarn_options INTERFACE -fsanitize=address,undefined)
endif()
