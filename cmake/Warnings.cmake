# One INTERFACE target carries the warning flags and the sanitizer switches for every target.
add_library(quorlix_warnings INTERFACE)
target_compile_options(quorlix_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wno-error=deprecated-declarations)
target_compile_definitions(quorlix_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH)

if(QUORLIX_SANITIZE)
  target_compile_options(quorlix_warnings INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quorlix_warnings INTERFACE -fsanitize=address,undefined)
endif()
