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
