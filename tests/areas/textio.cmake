# The gfortran side of the text I/O differential tests: a small Fortran program
# that writes and reads through gfortran's own run-time library.
add_executable(textio_oracle ${CMAKE_SOURCE_DIR}/tests/unit/textio_oracle.f90)
if(TARGET textio_gfortran_test)
  add_dependencies(textio_gfortran_test textio_oracle)
  target_compile_definitions(textio_gfortran_test PRIVATE TEXTIO_ORACLE="$<TARGET_FILE:textio_oracle>")
endif()
