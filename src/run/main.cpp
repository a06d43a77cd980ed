// The run driver: one parameter point from the command line to the exit
// status. Every process runs it in full; process 0 alone prints the run's
// console lines and writes the result files.
#include "run/main.hpp"

#include <array>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "linalg/distributed.hpp"
#include "linalg/timing.hpp"
#include "platform/platform.hpp"
#include "run/grating.hpp"
#include "run/input.hpp"
#include "run/output.hpp"
#include "run/state.hpp"
#include "run/steps.hpp"
#include "run/stop.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_reader.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

// The run's arrays for the N of the run, once the order set is known.
void allocate_run_arrays(run_state& rs) {
    const int n = rs.norder;
    const int n2 = 2 * n;
    // The 2N by 2N matrices first: when the orders are too many for the
    // memory, the run learns it before it has spent time on anything else.
    for (full_mat* m : {&rs.r_mat, &rs.t_mat, &rs.p_mat, &rs.q_mat, &rs.x_mat, &rs.y_mat,
                        &rs.q_copy, &rs.m_mat})
        m->resize(n2);
    rs.ord_i1.resize(n);
    rs.ord_i2.resize(n);
    rs.ord_slot.resize(n);
    rs.ord_of.resize(n);
    rs.kt2.resize(n);
    rs.gam.resize(n2);
    rs.kn_sub.resize(n2);
    rs.kn_sup.resize(n2);
    rs.p_bd.resize(n);
    rs.q_bd.resize(n);
    rs.x_bd.resize(n);
    rs.y_bd.resize(n);
    rs.prop_t.resize(n);
    rs.prop_r.resize(n);
}

void free_run_arrays(run_state& rs) { rs = run_state{}; }

// Too many orders for this machine's memory. The processes need not all fail
// at the same allocation, so the whole job ends.
[[noreturn]] void memory_stop() {
    platform::console_line((textio::free_line() << " not enough memory for the arrays of the run").str());
    linalg::abort_job(97);
}

void substrate(run_state& rs, run_streams& st) {
    read_substrate(rs, st);
    const int n = rs.norder;
    structure::kn_orders(n, true, rs.k0sq_eps_sub, rs.ord_slot, rs.kt2, rs.kn_sub);
    for (int i = 1; i <= n; ++i) rs.kn_sub(n + i) = rs.kn_sub(i);
    structure::mark_propagating(n, rs.k0sq_eps_sub.real(), rs.kt2, rs.ord_slot, rs.n_prop_t,
                                rs.prop_t);
    structure::halfspace_te_tm(rs.nmax1d, n, rs.grid_angle, rs.ord_i1, rs.ord_i2, rs.ky_1d,
                               rs.kz_1d, rs.r_mat, rs.t_mat, rs.kn_sub, rs.k0sq_eps_sub,
                               rs.thickness);
}

// The loop from the substrate upward; a sequence entry splices the entries of
// its file into the loop and restarts it.
void layer_loop(run_state& rs, run_streams& st) {
    int i = 1;
    while (i <= rs.nlayer) {
        textio::line_source* src = &st.stack;
        if (rs.mat_src == 1) {
            ++rs.seq_count;
            if (rs.seq_count > rs.nseq) {
                rs.mat_src = 0;
                st.seq.close();
            } else {
                src = &st.seq;
            }
        }
        int layer_type = 0;
        if (!textio::read_record(*src, {&layer_type})) stop_free(22, " read error gitter: ntype");
        if (rs.l_info && rs.my_proc == 0)
            platform::console_line((textio::free_line() << "layer_type = " << layer_type).str());

        const long long code = std::llabs(static_cast<long long>(layer_type));
        if (code == 8 || code == 11) {
            // The records of a sequence or cone entry come from the 2D-stack
            // file and sequence files do not nest: inside a sequence file such
            // an entry would read the wrong file and lose the rest of this one.
            if (rs.mat_src == 1) stop_free(22, " read error gitter: ntype");
            if (code == 11) cone_entry(rs, st);
            else sequence_entry(rs, st);
            rs.mat_src = 1;
            rs.nlayer = rs.nlayer - i + rs.nseq;
            rs.seq_count = 0;
            i = 1;
            continue;
        }
        if (code == 2 || code == 3 || code == 6 || code == 7) rejected_code();
        if (code == 4 || code == 5 || code == 9 || code == 10) grating_layer(rs, st, layer_type);
        else homogeneous_layer(rs, st);
        ++i;
    }
}

void run(const std::vector<std::string>& args, run_state& rs, run_streams& st) {
    std::string arg_buffer;
    read_command_line(args, rs, arg_buffer);
    print_banner(rs, arg_buffer);
    const std::array<int, 4> run_clock = platform::time_of_day_hundredths();

    open_input_files(rs, st);
    read_order_limits(rs, st);
    read_stack_header(rs, st);
    rs.err_flag = false;
    rs.mat_src = 0;
    rs.lay_diag = true;
    st.ctr.close();
    read_incidence(rs, st);
    rs.nmax1d = rs.iomax - rs.iomin + 1;
    rs.ky_1d.resize(rs.nmax1d);
    rs.kz_1d.resize(rs.nmax1d);
    rs.row_range.resize(rs.nmax1d);
    echo_incidence(rs);
    read_periods(rs, st);
    rs.k0 = 6.283185307179586 / rs.lambda;
    rs.k0sq = rs.k0 * rs.k0;
    read_output_control(rs, st);
    read_superstrate(rs, st);

    structure::truncate_orders(rs.nmax1d, rs.nmax1d, rs.trunc_shape, rs.row_range, rs.norder);
    allocate_run_arrays(rs);
    structure::order_tables(rs.nmax1d, rs.nmax1d, rs.norder, rs.row_range, rs.grid_angle, rs.dy,
                            rs.dz, rs.k_inc_y, rs.k_inc_z, rs.ky_1d, rs.kz_1d, rs.kt2,
                            rs.ord_slot, rs.ord_of, rs.ord_i1, rs.ord_i2);

    if (rs.lfout) {
        if (rs.iout >= -3 && rs.iout <= 3 && rs.iout != 0 && rs.run_index == -1)
            rs.iout = -rs.iout;
        if (rs.my_proc == 0) {
            init_output_files(rs.iout, rs.i_eff, rs.i_format, rs.nop[3], rs.nop[4], rs.nop[1],
                              rs.nop[2], rs.iomax, rs.norder, rs.ord_i1, rs.ord_i2, rs.ord_of,
                              rs.fname_out, rs.err_flag, rs.tag_pos);
            if (rs.err_flag) stop_free(90, " error output initialization", true);
        }
        rs.iout = std::abs(rs.iout);
    }

    substrate(rs, st);
    layer_loop(rs, st);
    superstrate_step(rs, st);
    per_order_results(rs);

    if (!rs.lfout && rs.my_proc == 0) {
        platform::console_line(total_time_line(run_clock, platform::time_of_day_hundredths()));
        platform::console_pause((textio::free_line() << "hit any key to finish").str());
    }
}

}  // namespace

std::string total_time_line(const std::array<int, 4>& start, const std::array<int, 4>& now) {
    int minutes = (now[0] - start[0]) * 60 + (now[1] - start[1]);
    int seconds = now[2] - start[2];
    int hundredths = now[3] - start[3];
    if (hundredths < 0) {
        hundredths += 100;
        seconds -= 1;
    }
    if (seconds < 0) {
        seconds += 60;
        minutes -= 1;
    }
    // A run across midnight: the clock started on the day before.
    if (minutes < 0) minutes += 24 * 60;
    static const textio::format f("(\"Total TIME: \",I3,\" minutes\",I4,\".\",I3,\" seconds\")");
    return textio::write_fixed(f, {minutes, seconds, hundredths});
}

int rcwa2d_main(const std::vector<std::string>& args) {
    platform::keep_freed_memory();
    run_state rs;
    linalg::process_info(rs.my_proc, rs.nprocs);
    // Decided while every process is at the start, before any input is read.
    linalg::kernels_on_root();
    int status = 1;
    {
        run_streams st;
        try {
            run(args, rs, st);
        } catch (const run_stop& stop) {
            for (const std::string& line : stop.lines) platform::console_line(line);
            if (stop.ends_job) linalg::abort_job(stop.status);
            status = stop.status;
        } catch (const std::bad_alloc&) {
            memory_stop();
        } catch (const std::length_error&) {
            memory_stop();
        }
    }
    free_run_arrays(rs);
    linalg::process_exit();
    return status;
}

}  // namespace rcwa::run
