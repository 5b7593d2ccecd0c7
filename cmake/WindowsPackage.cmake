# The download for Windows: telvane-<version>-win64.zip with telvane.exe and
# a short read-me, made by cpack (or the "package" target).
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt
    ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
install(TARGETS telvane RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VENDOR Maruvo)
set(CPACK_PACKAGE_FILE_NAME telvane-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
