# Instruments everything for libFuzzer (coverage feedback plus AddressSanitizer and
# UndefinedBehaviorSanitizer); only Clang ships the fuzzing runtime.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ENSEMBLE_BUILD_FUZZ needs Clang (libFuzzer); configure with "
                      "-DCMAKE_CXX_COMPILER=clang++-16")
endif()

# libstdc++ 12 offers std::expected only when __cpp_concepts says 202002L. Clang 16 implements
# what that guard stands for (conditionally trivial special members) but still reports 201907L,
# so the value is corrected there. Older Clang lacks the feature and is refused.
include(CheckCXXSourceCompiles)
set(expected_probe "#include <expected>\nint main() { std::expected<int, int> e = 1; return *e - 1; }")
check_cxx_source_compiles("${expected_probe}" ENSEMBLE_HAS_STD_EXPECTED)
if(NOT ENSEMBLE_HAS_STD_EXPECTED)
  set(concepts_fix -Wno-builtin-macro-redefined -U__cpp_concepts -D__cpp_concepts=202002L)
  string(REPLACE ";" " " CMAKE_REQUIRED_FLAGS "${concepts_fix}")
  check_cxx_source_compiles("${expected_probe}" ENSEMBLE_HAS_STD_EXPECTED_WITH_FIX)
  unset(CMAKE_REQUIRED_FLAGS)
  if(NOT ENSEMBLE_HAS_STD_EXPECTED_WITH_FIX OR CMAKE_CXX_COMPILER_VERSION VERSION_LESS 16)
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot use std::expected of this standard "
                        "library; the fuzz build needs Clang 16 or later")
  endif()
  add_compile_options(${concepts_fix})
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
