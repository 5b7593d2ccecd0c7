# Fails when the committed table (COMMITTED) differs from the one just
# compiled out of the installed libphonenumber (FRESH).
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FRESH} ${COMMITTED}
                RESULT_VARIABLE different)
if(different)
  message(FATAL_ERROR "${COMMITTED} differs from what the installed libphonenumber gives "
                      "(${FRESH}); after checking the difference, build the target "
                      "update_jp_numbering_table and commit the table.")
endif()
message(STATUS "The committed table is what the installed libphonenumber gives.")
