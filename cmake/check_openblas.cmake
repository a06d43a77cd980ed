# The BLAS and LAPACK that the program runs on must be OpenBLAS's: the reference
# BLAS is an order of magnitude slower and would make every grating layer crawl.
include(CheckCSourceRuns)
set(CMAKE_REQUIRED_LIBRARIES ${OPENBLAS_LIB})
check_c_source_runs("
#include <string.h>
char *openblas_get_config(void);
void zgemm_(void);
int main(void) { return strstr(openblas_get_config(), \"OpenBLAS\") ? 0 : 1; }
" RCWA_HAVE_OPENBLAS)
unset(CMAKE_REQUIRED_LIBRARIES)
if(NOT RCWA_HAVE_OPENBLAS)
  message(FATAL_ERROR "OpenBLAS is required (Debian package libopenblas-dev); found ${OPENBLAS_LIB}")
endif()
# ScaLAPACK reaches BLAS and LAPACK through the system alternatives: they must
# resolve to OpenBLAS as well.
foreach(lib libblas.so.3 liblapack.so.3)
  find_file(RCWA_${lib}_PATH ${lib} PATHS /usr/lib/x86_64-linux-gnu /usr/lib NO_DEFAULT_PATH)
  if(RCWA_${lib}_PATH)
    file(REAL_PATH ${RCWA_${lib}_PATH} real)
    if(NOT real MATCHES "openblas")
      message(FATAL_ERROR "${lib} resolves to ${real}, not OpenBLAS: run update-alternatives to select OpenBLAS")
    endif()
  endif()
endforeach()
