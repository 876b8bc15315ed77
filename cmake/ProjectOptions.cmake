# Warning and sanitizer settings shared by every target of the project.
add_library(varnel_options INTERFACE)
target_compile_options(varnel_options INTERFACE -Wall -Wextra -Wpedantic)
if(VARNEL_WERROR)
  target_compile_options(varnel_options INTERFACE -Werror)
endif()

if(VARNEL_FUZZ)
  # Coverage for the fuzzers in every library; the targets link libFuzzer.
  set(VARNEL_SANITIZE ON)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(VARNEL_SANITIZE)
  set(VARNEL_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                             -fno-omit-frame-pointer)
  add_compile_options(${VARNEL_SANITIZER_FLAGS})
  add_link_options(${VARNEL_SANITIZER_FLAGS})
endif()

# The arithmetic of the 32-bit Windows programs, on an x86-64 machine that
# may run no 32-bit program: every floating-point operation on the x87 unit,
# whose control word each program sets at its start to this value (0x037F,
# 64-bit precision and rounding to nearest, is what the MinGW runtime sets
# before main). Empty: the machine's usual arithmetic.
set(VARNEL_X87_CONTROL_WORD "" CACHE STRING
    "Build for x87 arithmetic with this control word (e.g. 0x037F); empty for the usual")
if(VARNEL_X87_CONTROL_WORD)
  add_compile_options(-mfpmath=387)
  add_library(varnel_x87_control_word OBJECT ${PROJECT_SOURCE_DIR}/tests/x87/x87_control_word.cpp)
  target_link_libraries(varnel_x87_control_word PRIVATE varnel_options)
  target_compile_definitions(varnel_x87_control_word PRIVATE
                             VARNEL_X87_CONTROL_WORD=${VARNEL_X87_CONTROL_WORD})
  link_libraries(
    "$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:$<TARGET_OBJECTS:varnel_x87_control_word>>")
endif()
