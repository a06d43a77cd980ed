# abort_job must end the whole job with the given status, under mpirun while
# the other processes wait in a collective call, and in a run without mpirun.
add_executable(probe_parallel_abort ${CMAKE_SOURCE_DIR}/tests/probes/parallel_abort.cpp)
target_link_libraries(probe_parallel_abort PRIVATE rcwa_linalg)

add_test(NAME parallel_abort_job_np3
  COMMAND sh -c "\"$0\" --oversubscribe -np 3 \"$1\" 95; s=$?; echo \"exit status $s\"; test $s -eq 95"
          ${MPIEXEC_EXECUTABLE} $<TARGET_FILE:probe_parallel_abort>)
add_test(NAME parallel_abort_job_singleton
  COMMAND sh -c "\"$0\" 95; s=$?; echo \"exit status $s\"; test $s -eq 95"
          $<TARGET_FILE:probe_parallel_abort>)
set_tests_properties(parallel_abort_job_np3 parallel_abort_job_singleton PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 120
  ENVIRONMENT "${RCWA_MPIRUN_ENV}")
