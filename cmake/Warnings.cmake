# INTERFACE targets carrying the warning flags and the sanitizer switches. Production code also
# forbids implicit conversions between char* and QString; tests may use plain literals.
add_library(quorlix_flags INTERFACE)
# Designated initializers name only the fields that differ from their defaults (an analyzer type's
# registration); GCC 12 would warn about every field left out.
target_compile_options(quorlix_flags INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)
if(QUORLIX_SANITIZE)
  target_compile_options(quorlix_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quorlix_flags INTERFACE -fsanitize=address,undefined)
endif()

add_library(quorlix_warnings INTERFACE)
target_link_libraries(quorlix_warnings INTERFACE quorlix_flags)
target_compile_options(quorlix_warnings INTERFACE -Wshadow -Wnon-virtual-dtor -Wold-style-cast)
target_compile_definitions(quorlix_warnings INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH
  QT_NO_CONTEXTLESS_CONNECT)
