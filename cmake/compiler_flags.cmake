# Results must be bit-identical in every build: IEEE double, one operation at a
# time. No contraction into fused multiply-adds, no fast-math, and on 32-bit x86
# SSE2 arithmetic instead of the x87 unit's extended precision.
# These apply to every target, GoogleTest's included where it is built here: a
# test built otherwise could compute its expected values differently from the
# code it checks. (Debian's packaged GoogleTest, which the native trees use, is
# built for the x86-64 baseline, which has no fused multiply-add to contract to.)
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()

if(WIN32)
  # The plug-in and its test programs run on machines that have nothing but
  # Windows: the GCC and C++ runtimes (and winpthread) are linked in.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# The readers' fuzz target needs clang's libFuzzer: tests/cli/fuzz_run.sh
# configures a tree of its own with clang and this on, and builds only that
# target. Everything is instrumented for the fuzzer and the sanitizers.
option(VELTO_FUZZ "Build the readers' fuzz target (clang only); implies VELTO_SANITIZE" OFF)
if(VELTO_FUZZ)
  set(VELTO_SANITIZE ON CACHE BOOL "" FORCE)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
option(VELTO_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VELTO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined,float-cast-overflow)
endif()

# What the project's own targets share: sources include from the root
# ("engine/classic/grid.h"), warnings on, and the version, written once, in the
# project() call. The libraries at the bottom of each area link this
# publicly, so everything built on them has it; GoogleTest does not.
add_library(velto_defaults INTERFACE)
target_include_directories(velto_defaults INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(velto_defaults INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(velto_defaults INTERFACE VELTO_VERSION="${PROJECT_VERSION}"
                           VELTO_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
                           VELTO_VERSION_MINOR=${PROJECT_VERSION_MINOR})
