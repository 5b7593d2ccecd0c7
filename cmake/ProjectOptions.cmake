# Warnings and sanitizers live on one interface target that every target of
# the project links, so no target can forget them.
add_library(telvane_options INTERFACE)
add_library(telvane::options ALIAS telvane_options)

target_compile_options(telvane_options INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_include_directories(telvane_options INTERFACE ${CMAKE_BINARY_DIR}/generated)

if(TELVANE_SANITIZE)
  # Keep frames so that sanitizer reports point at our lines.
  target_compile_options(telvane_options INTERFACE -fsanitize=${TELVANE_SANITIZE} -fno-omit-frame-pointer -g)
  target_link_options(telvane_options INTERFACE -fsanitize=${TELVANE_SANITIZE})
  if(TELVANE_SANITIZE MATCHES "undefined")
    target_compile_options(telvane_options INTERFACE -fno-sanitize-recover=undefined)
  endif()
endif()

if(WIN32)
  # Windows programs and tests are single files: the C and C++ runtimes and
  # the thread library go into each, so only system DLLs are imported.
  target_link_options(telvane_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
