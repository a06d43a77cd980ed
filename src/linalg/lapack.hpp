// The entry points of LAPACK, BLAS, ScaLAPACK/PBLAS and BLACS that the code
// calls, declared here rather than taken from any vendor header. All are the
// Fortran symbols (trailing underscore, arguments by reference) except the
// BLACS C interface (Cblacs_*), which the Debian ScaLAPACK library exports.
#pragma once

#include <complex>
#include <cstddef>

extern "C" {

using rcwa_zcplx = std::complex<double>;

// ---- BLAS / LAPACK (OpenBLAS) ---------------------------------------------------
void zgetrf_(const int* m, const int* n, rcwa_zcplx* a, const int* lda, int* ipiv, int* info);
void zgetrs_(const char* trans, const int* n, const int* nrhs, const rcwa_zcplx* a, const int* lda,
             const int* ipiv, rcwa_zcplx* b, const int* ldb, int* info, std::size_t trans_len);
void zcopy_(const int* n, const rcwa_zcplx* x, const int* incx, rcwa_zcplx* y, const int* incy);
void zswap_(const int* n, rcwa_zcplx* x, const int* incx, rcwa_zcplx* y, const int* incy);
void zgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const rcwa_zcplx* alpha, const rcwa_zcplx* a, const int* lda, const rcwa_zcplx* b,
            const int* ldb, const rcwa_zcplx* beta, rcwa_zcplx* c, const int* ldc,
            std::size_t transa_len, std::size_t transb_len);
void ztrevc_(const char* side, const char* howmny, const int* select, const int* n, rcwa_zcplx* t,
             const int* ldt, rcwa_zcplx* vl, const int* ldvl, rcwa_zcplx* vr, const int* ldvr,
             const int* mm, int* m, rcwa_zcplx* work, double* rwork, int* info,
             std::size_t side_len, std::size_t howmny_len);
void ztrevc3_(const char* side, const char* howmny, const int* select, const int* n, rcwa_zcplx* t,
              const int* ldt, rcwa_zcplx* vl, const int* ldvl, rcwa_zcplx* vr, const int* ldvr,
              const int* mm, int* m, rcwa_zcplx* work, const int* lwork, double* rwork,
              const int* lrwork, int* info, std::size_t side_len, std::size_t howmny_len);
void zgeevx_(const char* balanc, const char* jobvl, const char* jobvr, const char* sense,
             const int* n, rcwa_zcplx* a, const int* lda, rcwa_zcplx* w, rcwa_zcplx* vl,
             const int* ldvl, rcwa_zcplx* vr, const int* ldvr, int* ilo, int* ihi, double* scale,
             double* abnrm, double* rconde, double* rcondv, rcwa_zcplx* work, const int* lwork,
             double* rwork, int* info, std::size_t, std::size_t, std::size_t, std::size_t);
void zgehrd_(const int* n, const int* ilo, const int* ihi, rcwa_zcplx* a, const int* lda, rcwa_zcplx* tau,
             rcwa_zcplx* work, const int* lwork, int* info);
void zunghr_(const int* n, const int* ilo, const int* ihi, rcwa_zcplx* a, const int* lda,
             const rcwa_zcplx* tau, rcwa_zcplx* work, const int* lwork, int* info);
void zhseqr_(const char* job, const char* compz, const int* n, const int* ilo, const int* ihi,
             rcwa_zcplx* h, const int* ldh, rcwa_zcplx* w, rcwa_zcplx* z, const int* ldz,
             rcwa_zcplx* work, const int* lwork, int* info, std::size_t job_len, std::size_t compz_len);
void zhsein_(const char* side, const char* eigsrc, const char* initv, int* select, const int* n,
             const rcwa_zcplx* h, const int* ldh, rcwa_zcplx* w, rcwa_zcplx* vl, const int* ldvl,
             rcwa_zcplx* vr, const int* ldvr, const int* mm, int* m, rcwa_zcplx* work,
             double* rwork, int* ifaill, int* ifailr, int* info, std::size_t, std::size_t,
             std::size_t);

// ---- OpenBLAS threads ------------------------------------------------------------
void openblas_set_num_threads(int num_threads);
int openblas_get_num_threads(void);

// ---- ScaLAPACK tools -------------------------------------------------------------
void descinit_(int* desc, const int* m, const int* n, const int* mb, const int* nb,
               const int* irsrc, const int* icsrc, const int* ictxt, const int* lld, int* info);
int numroc_(const int* n, const int* nb, const int* iproc, const int* isrcproc, const int* nprocs);
int indxl2g_(const int* indxloc, const int* nb, const int* iproc, const int* isrcproc,
             const int* nprocs);

// ---- PBLAS / ScaLAPACK --------------------------------------------------------------
void pzgemr2d_(const int* m, const int* n, const rcwa_zcplx* a, const int* ia, const int* ja,
               const int* desca, rcwa_zcplx* b, const int* ib, const int* jb, const int* descb,
               const int* ictxt);
void pzgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
             const rcwa_zcplx* alpha, const rcwa_zcplx* a, const int* ia, const int* ja,
             const int* desca, const rcwa_zcplx* b, const int* ib, const int* jb, const int* descb,
             const rcwa_zcplx* beta, rcwa_zcplx* c, const int* ic, const int* jc, const int* descc,
             std::size_t, std::size_t);
void pzgetrf_(const int* m, const int* n, rcwa_zcplx* a, const int* ia, const int* ja,
              const int* desca, int* ipiv, int* info);
void pzgetrs_(const char* trans, const int* n, const int* nrhs, const rcwa_zcplx* a, const int* ia,
              const int* ja, const int* desca, const int* ipiv, rcwa_zcplx* b, const int* ib,
              const int* jb, const int* descb, int* info, std::size_t);
void pzgehrd_(const int* n, const int* ilo, const int* ihi, rcwa_zcplx* a, const int* ia,
              const int* ja, const int* desca, rcwa_zcplx* tau, rcwa_zcplx* work, const int* lwork,
              int* info);
void pzunmhr_(const char* side, const char* trans, const int* m, const int* n, const int* ilo,
              const int* ihi, const rcwa_zcplx* a, const int* ia, const int* ja, const int* desca,
              const rcwa_zcplx* tau, rcwa_zcplx* c, const int* ic, const int* jc, const int* descc,
              rcwa_zcplx* work, const int* lwork, int* info, std::size_t, std::size_t);
void pzlahqr_(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
              rcwa_zcplx* a, const int* desca, rcwa_zcplx* w, const int* iloz, const int* ihiz,
              rcwa_zcplx* z, const int* descz, rcwa_zcplx* work, const int* lwork, int* iwork,
              const int* ilwork, int* info);

// ---- BLACS (C interface) ------------------------------------------------------------
void Cblacs_pinfo(int* mypnum, int* nprocs);
void Cblacs_setup(int* mypnum, int* nprocs);
void Cblacs_get(int icontxt, int what, int* val);
void Cblacs_gridinit(int* icontxt, const char* order, int nprow, int npcol);
void Cblacs_gridinfo(int icontxt, int* nprow, int* npcol, int* myrow, int* mycol);
void Cblacs_barrier(int icontxt, const char* scope);
void Cblacs_gridexit(int icontxt);
void Cblacs_exit(int notdone);
void Cblacs_abort(int icontxt, int errornum);

}  // extern "C"
