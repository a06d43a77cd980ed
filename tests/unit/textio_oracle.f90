! The gfortran side of the text I/O differential tests: reads cases from
! standard input, does what each case asks with gfortran's own formatted,
! list-directed and free-format I/O, and writes the results to standard output.
! Reals travel as 16 hexadecimal digits of their bits, so nothing is lost.
!
! Case "F": a format line, a line "na nb nc ns", then na reals, nb integers,
!           nc reals (or, when ns is 1, a length and a text line); writes
!           them with the format.
! Case "L": a pattern number and the pattern's values; writes them with
!           list-directed output.
! Case "R": a pattern number, a line count and the lines; reads them with a
!           list-directed read of the pattern's items, twice with different
!           starting values (to see which items a read leaves unchanged),
!           and prints the items, the line that follows the record, or ERR.
! Every case ends with a line "@".
program textio_oracle
  implicit none
  character(len=8) :: mode
  integer :: ios

  do
    read (*, '(A)', iostat=ios) mode
    if (ios /= 0) exit
    select case (mode(1:1))
    case ('F')
      call fixed_case()
    case ('L')
      call list_case()
    case ('R')
      call read_case()
    case default
      stop 2
    end select
    write (*, '(A)') '@'
  end do

contains

  real(8) function get_real()
    integer(8) :: bits
    read (*, '(Z16)') bits
    get_real = transfer(bits, 1d0)
  end function

  integer function get_int()
    read (*, *) get_int
  end function

  ! A text of known length (it may hold blanks at either end).
  subroutine get_text(s, n)
    character(len=*), intent(out) :: s
    integer, intent(out) :: n
    integer :: ios
    read (*, *) n
    s = ' '
    if (n > 0) then
      read (*, '(A)', advance='no', iostat=ios) s(1:n)
      read (*, '(A)') 
    else
      read (*, '(A)')
    end if
  end subroutine

  subroutine fixed_case()
    character(len=2000) :: fmt
    character(len=400) :: s
    real(8) :: x(40), y(40)
    integer :: iv(40), na, nb, nc, ns, k, slen
    read (*, '(A)') fmt
    read (*, *) na, nb, nc, ns
    do k = 1, na
      x(k) = get_real()
    end do
    do k = 1, nb
      iv(k) = get_int()
    end do
    do k = 1, nc
      y(k) = get_real()
    end do
    if (ns == 1) then
      call get_text(s, slen)
      write (*, fmt) s(1:slen)
    else
      write (*, fmt) (x(k), k=1, na), (iv(k), k=1, nb), (y(k), k=1, nc)
    end if
  end subroutine

  ! Patterns: 0 no items, 1 integer, 2 real, 3 complex, 4 logical, 5 text,
  ! 6 two texts, 7 every ordered pair of the five kinds in one record:
  !   i i d i c i l i s d d c d l d s c c l c s l l s s i
  subroutine list_case()
    integer :: pat, i(6), k, iv
    real(8) :: d(5), re, im, x
    complex(8) :: c(5)
    logical :: l(5)
    character(len=200) :: s(6)
    integer :: sl(6)
    character(len=1) :: t
    read (*, *) pat
    select case (pat)
    case (0)
      write (*, *)
    case (1)
      iv = get_int()
      write (*, *) iv
    case (2)
      x = get_real()
      write (*, *) x
    case (3)
      re = get_real()
      im = get_real()
      write (*, *) cmplx(re, im, 8)
    case (4)
      read (*, '(A)') t
      write (*, *) t == 'T'
    case (5)
      call get_text(s(1), sl(1))
      write (*, *) s(1)(1:sl(1))
    case (6)
      call get_text(s(1), sl(1))
      call get_text(s(2), sl(2))
      write (*, *) s(1)(1:sl(1)), s(2)(1:sl(2))
    case (7)
      do k = 1, 6
        i(k) = get_int()
      end do
      do k = 1, 5
        d(k) = get_real()
      end do
      do k = 1, 5
        re = get_real()
        im = get_real()
        c(k) = cmplx(re, im, 8)
      end do
      do k = 1, 5
        read (*, '(A)') t
        l(k) = t == 'T'
      end do
      do k = 1, 6
        call get_text(s(k), sl(k))
      end do
      write (*, *) i(1), i(2), d(1), i(3), c(1), i(4), l(1), i(5), s(1)(1:sl(1)), &
        d(2), d(3), c(2), d(4), l(2), d(5), s(2)(1:sl(2)), c(3), c(4), l(3), c(5), &
        s(3)(1:sl(3)), l(4), l(5), s(4)(1:sl(4)), s(5)(1:sl(5)), i(6)
    case default
      stop 3
    end select
  end subroutine

  ! Patterns of items for reads:
  !  1 i        2 i i      3 i i i    4 d        5 d d      6 d d d
  !  7 c        8 c d      9 l       10 l l     11 s10     12 s10 s10
  ! 13 s20 i   14 s260    15 none    16 i d c l s10       17 c c
  ! 18 s1 s1   19 d i     20 l s10 d
  subroutine read_case()
    integer :: pat, nl, k, u, ios, pass, nxt_ios
    character(len=1000) :: line
    integer :: lens(200)
    character(len=1000) :: lines(200)
    integer :: i1, i2, i3
    real(8) :: d1, d2, d3
    complex(8) :: c1, c2
    logical :: l1, l2
    character(len=1) :: a1, b1
    character(len=10) :: a10, b10
    character(len=20) :: a20
    character(len=260) :: a260
    character(len=4000) :: out(2)
    character(len=1000) :: nxt

    read (*, *) pat, nl
    do k = 1, nl
      call get_text(lines(k), lens(k))
    end do
    open (newunit=u, status='scratch', form='formatted', action='readwrite')
    do k = 1, nl
      write (u, '(A)') lines(k)(1:lens(k))
    end do

    do pass = 1, 2
      rewind (u)
      if (pass == 1) then
        i1 = -7; i2 = -7; i3 = -7; d1 = -7d0; d2 = -7d0; d3 = -7d0
        c1 = (-7d0, -7d0); c2 = (-7d0, -7d0); l1 = .false.; l2 = .false.
        a1 = '#'; b1 = '#'; a10 = repeat('#', 10); b10 = repeat('#', 10)
        a20 = repeat('#', 20); a260 = repeat('#', 260)
      else
        i1 = 99; i2 = 99; i3 = 99; d1 = 99.5d0; d2 = 99.5d0; d3 = 99.5d0
        c1 = (99.5d0, -99.5d0); c2 = (99.5d0, -99.5d0); l1 = .true.; l2 = .true.
        a1 = '%'; b1 = '%'; a10 = repeat('%', 10); b10 = repeat('%', 10)
        a20 = repeat('%', 20); a260 = repeat('%', 260)
      end if
      select case (pat)
      case (1)
        read (u, *, iostat=ios) i1
      case (2)
        read (u, *, iostat=ios) i1, i2
      case (3)
        read (u, *, iostat=ios) i1, i2, i3
      case (4)
        read (u, *, iostat=ios) d1
      case (5)
        read (u, *, iostat=ios) d1, d2
      case (6)
        read (u, *, iostat=ios) d1, d2, d3
      case (7)
        read (u, *, iostat=ios) c1
      case (8)
        read (u, *, iostat=ios) c1, d1
      case (9)
        read (u, *, iostat=ios) l1
      case (10)
        read (u, *, iostat=ios) l1, l2
      case (11)
        read (u, *, iostat=ios) a10
      case (12)
        read (u, *, iostat=ios) a10, b10
      case (13)
        read (u, *, iostat=ios) a20, i1
      case (14)
        read (u, *, iostat=ios) a260
      case (15)
        read (u, *, iostat=ios)
      case (16)
        read (u, *, iostat=ios) i1, d1, c1, l1, a10
      case (17)
        read (u, *, iostat=ios) c1, c2
      case (18)
        read (u, *, iostat=ios) a1, b1
      case (19)
        read (u, *, iostat=ios) d1, i1
      case (20)
        read (u, *, iostat=ios) l1, a10, d1
      case default
        stop 4
      end select
      if (ios /= 0) then
        write (*, '(A)') 'ERR'
        close (u)
        return
      end if
      if (pass == 1) then
        read (u, '(A)', iostat=nxt_ios, advance='no', size=k) nxt
        if (nxt_ios > 0 .or. is_iostat_end(nxt_ios)) then
          nxt = '<EOF>'
          k = 5
        end if
      end if
      out(pass) = ''
      select case (pat)
      case (1)
        call put_i(out(pass), i1)
      case (2)
        call put_i(out(pass), i1); call put_i(out(pass), i2)
      case (3)
        call put_i(out(pass), i1); call put_i(out(pass), i2); call put_i(out(pass), i3)
      case (4)
        call put_d(out(pass), d1)
      case (5)
        call put_d(out(pass), d1); call put_d(out(pass), d2)
      case (6)
        call put_d(out(pass), d1); call put_d(out(pass), d2); call put_d(out(pass), d3)
      case (7)
        call put_c(out(pass), c1)
      case (8)
        call put_c(out(pass), c1); call put_d(out(pass), d1)
      case (9)
        call put_l(out(pass), l1)
      case (10)
        call put_l(out(pass), l1); call put_l(out(pass), l2)
      case (11)
        call put_s(out(pass), a10)
      case (12)
        call put_s(out(pass), a10); call put_s(out(pass), b10)
      case (13)
        call put_s(out(pass), a20); call put_i(out(pass), i1)
      case (14)
        call put_s(out(pass), a260)
      case (16)
        call put_i(out(pass), i1); call put_d(out(pass), d1); call put_c(out(pass), c1)
        call put_l(out(pass), l1); call put_s(out(pass), a10)
      case (17)
        call put_c(out(pass), c1); call put_c(out(pass), c2)
      case (18)
        call put_s(out(pass), a1); call put_s(out(pass), b1)
      case (19)
        call put_d(out(pass), d1); call put_i(out(pass), i1)
      case (20)
        call put_l(out(pass), l1); call put_s(out(pass), a10); call put_d(out(pass), d1)
      end select
    end do
    close (u)
    write (*, '(A)') trim(out(1))
    write (*, '(A)') trim(out(2))
    write (*, '(A)') 'next [' // nxt(1:k) // ']'
  end subroutine

  subroutine put_i(o, v)
    character(len=*), intent(inout) :: o
    integer, intent(in) :: v
    character(len=20) :: b
    write (b, '(I0)') v
    o = trim(o) // ' i' // trim(b)
  end subroutine

  subroutine put_d(o, v)
    character(len=*), intent(inout) :: o
    real(8), intent(in) :: v
    character(len=20) :: b
    if (v /= v) then
      b = 'NaN'
    else
      write (b, '(Z16.16)') transfer(v, 1_8)
    end if
    o = trim(o) // ' d' // trim(b)
  end subroutine

  subroutine put_c(o, v)
    character(len=*), intent(inout) :: o
    complex(8), intent(in) :: v
    call put_d(o, real(v, 8))
    call put_d(o, aimag(v))
  end subroutine

  subroutine put_l(o, v)
    character(len=*), intent(inout) :: o
    logical, intent(in) :: v
    if (v) then
      o = trim(o) // ' lT'
    else
      o = trim(o) // ' lF'
    end if
  end subroutine

  subroutine put_s(o, v)
    character(len=*), intent(inout) :: o
    character(len=*), intent(in) :: v
    o = trim(o) // ' s[' // v // ']'
  end subroutine

end program textio_oracle
