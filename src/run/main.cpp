// The run driver: one parameter point from the command line to the exit
// status. Process 0 alone prints the run's console lines and writes the
// result files. On ScaLAPACK grids every process runs it in full; on one host
// the others stop after the control file and follow process 0 to its end.
#include "run/main.hpp"

#include <array>
#include <climits>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include "linalg/constants.hpp"
#include "linalg/timing.hpp"
#include "parallel/processes.hpp"
#include "platform/platform.hpp"
#include "run/grating.hpp"
#include "run/input.hpp"
#include "run/layers.hpp"
#include "run/output_files.hpp"
#include "run/results.hpp"
#include "run/state.hpp"
#include "run/stop.hpp"
#include "run/superstrate.hpp"
#include "structure/modal.hpp"
#include "structure/orders.hpp"
#include "textio/fixed_writer.hpp"
#include "textio/free_reader.hpp"
#include "textio/free_writer.hpp"

namespace rcwa::run {

namespace {

// The run's arrays for the N of the run, once the order set is known. More
// entries than a vector can hold (length_error) is a shortage of memory here
// too: (2N)^2 passes that bound once iomax nears ten thousand.
void allocate_run_arrays(int n, stack_state& stack, scratch& work) try {
    const int n2 = 2 * n;
    // The 2N by 2N matrices first: when the orders are too many for the
    // memory, the run learns it before it has spent time on anything else.
    for (full_mat* m : {&stack.r_mat, &stack.t_mat, &work.p_mat, &work.q_mat, &work.x_mat,
                        &work.y_mat, &work.q_copy, &work.m_mat})
        m->resize(n2);
    work.gam.resize(n2);
    stack.kn_sub.resize(n2);
    stack.kn_sup.resize(n2);
    work.p_bd.resize(n);
    work.q_bd.resize(n);
    work.x_bd.resize(n);
    work.y_bd.resize(n);
    stack.prop_t.resize(n);
    stack.prop_r.resize(n);
} catch (const std::length_error&) {
    throw std::bad_alloc();
}

void free_run_arrays(run_state& rs) { rs = run_state{}; }

void substrate(run_setup& s, stack_state& stack, run_streams& st) {
    read_substrate(s.par, s.media, st);
    const structure::order_set& o = s.orders;
    structure::kn_orders_2n(o, s.media.k0sq_eps_sub, stack.kn_sub);
    structure::mark_propagating(o, s.media.k0sq_eps_sub.real(), stack.n_prop_t, stack.prop_t);
    structure::halfspace_te_tm(o, s.hdr.grid_angle, stack.r_mat, stack.t_mat, stack.kn_sub,
                               s.media.k0sq_eps_sub, s.media.thick_sub);
}

// The loop from the substrate upward; a sequence entry splices the entries of
// its file into the loop and restarts it.
void layer_loop(const run_setup& s, layer_cursor& cur, stack_state& stack, scratch& work,
                run_streams& st) {
    int nlayer = s.hdr.nlayer;  // entries still to come, a spliced sequence included
    int i = 1;
    while (i <= nlayer) {
        textio::line_source* src = &st.stack;
        if (cur.mat_src == record_source::sequence_file) {
            ++cur.seq_count;
            if (cur.seq_count > cur.nseq) {
                cur.mat_src = record_source::stack_file;
                st.seq.close();
            } else {
                src = &st.seq;
            }
        }
        int layer_type = 0;
        if (!textio::read_record(*src, {&layer_type})) stop(read_error_ntype);
        if (s.talk())
            platform::console_line((textio::free_line() << "layer_type = " << layer_type).str());

        const long long code = std::llabs(static_cast<long long>(layer_type));
        if (code == sequence_code || code == cone_code) {
            // The records of a sequence or cone entry come from the 2D-stack
            // file and sequence files do not nest: inside a sequence file such
            // an entry would read the wrong file and lose the rest of this one.
            if (cur.mat_src == record_source::sequence_file) stop(read_error_ntype);
            if (code == cone_code) cone_entry(s.par.lambda, cur, st);
            else sequence_entry(cur, st);
            // The entries still to come must stay countable.
            if (cur.nseq > INT_MAX - (nlayer - i))
                stop(read_error_seq);
            cur.mat_src = record_source::sequence_file;
            nlayer = nlayer - i + cur.nseq;
            cur.seq_count = 0;
            i = 1;
            continue;
        }
        if (rejected_layer_code(code)) rejected_code();
        if (grating_layer_code(code))
            grating_layer(s, cur, stack, work, st, layer_type);
        else
            homogeneous_layer(s, cur, stack, work, st);
        ++i;
    }
}

// follower: this process follows process 0 after the control file.
void run(const std::vector<std::string>& args, run_state& rs, run_streams& st, bool follower) {
    run_setup& s = rs.setup;
    std::string arg_buffer;
    read_command_line(args, s.cmd, arg_buffer);
    print_banner(s.root(), s.cmd, arg_buffer);
    const std::array<int, 4> run_clock = platform::time_of_day_hundredths();

    open_input_files(s.root(), st);
    if (follower) return;
    read_order_limits(s.par, st);
    read_stack_header(s.hdr, st);
    rs.cursor = layer_cursor{};
    st.ctr.close();
    read_incidence(s.cmd, s.par, st);
    echo_incidence(s.root(), s.par);
    read_periods(s.hdr, st);
    s.media.k0 = linalg::two_pi / s.par.lambda;
    s.media.k0sq = s.media.k0 * s.media.k0;
    read_output_control(s.cmd, s.out, st);
    read_superstrate(s.par, s.hdr, s.media, st);

    structure::order_set& orders = s.orders;
    orders.nmax1d = s.par.iomax - s.par.iomin + 1;
    structure::truncate_orders(orders.nmax1d, orders.nmax1d, s.par.trunc_shape, orders.row_range,
                               orders.norder);
    // The arrays of the run before the order tables: see allocate_run_arrays.
    allocate_run_arrays(orders.norder, rs.stack, rs.work);
    structure::order_tables(orders, s.hdr.grid_angle, s.hdr.dy, s.hdr.dz, s.media.k_inc_y,
                            s.media.k_inc_z);
    orders.k_unit = 1.0 / s.par.lambda;

    if (s.out.lfout) {
        int code = s.out.iout;
        if (code >= -3 && code <= 3 && code != 0 && s.cmd.run_index == -1) code = -code;
        if (s.root()) {
            int tag_pos = 0;
            if (!init_output_files(code, s.out, s.orders, tag_pos))
                stop(output_init_error);
            s.out.tag_pos = tag_pos;
        }
    }

    substrate(s, rs.stack, st);
    layer_loop(s, rs.cursor, rs.stack, rs.work, st);
    superstrate_step(s, rs.stack, rs.work, st);
    per_order_results(s, rs.stack);

    if (!s.out.lfout && s.root()) {
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
    parallel::process_info(rs.setup.my_proc, rs.setup.nprocs);
    // Decided while every process is at the start, before any input is read.
    parallel::kernels_on_root();
    const bool followed = parallel::start_followed_run();
    const bool leader = followed && rs.setup.root();
    const bool follower = followed && !leader;
    // How this process's part of the run ended. ends_job: a stop that the
    // processes need not all meet at the same point (run_stop); a shortage of
    // memory (the processes need not fail at the same allocation) and a fault
    // of the program are such stops too.
    run_stop end(normal_end.code, {});
    {
        run_streams st;
        try {
            run(args, rs, st, follower);
        } catch (const run_stop& stop) {
            end = stop;
        } catch (const std::bad_alloc&) {
            end = run_stop(out_of_memory.code, {(textio::free_line() << out_of_memory.message).str()}, true);
        } catch (...) {
            end = run_stop(internal_error.code, {internal_error_line(std::current_exception())}, true);
        }
    }
    free_run_arrays(rs);
    if (follower && !end.ends_job) {
        // Process 0 meets the input errors of the start too and sends their
        // lines: the follower prints those, once.
        parallel::follow_run(end.status, end.lines);
    }
    for (const std::string& line : end.lines) platform::console_line(line);
    // A stop of a follower itself (the control file), or any process's on
    // ScaLAPACK grids, that the others may not meet: they could be waiting
    // for it, so the whole job ends at once.
    if (end.ends_job && !leader) parallel::abort_job(end.status);
    // Process 0 of a followed run: its followers print the lines of an input
    // error as their own; only process 0 prints those of its other stops.
    if (leader)
        parallel::end_followed_run(end.status, end.ends_job ? std::vector<std::string>{} : end.lines);
    parallel::process_exit();
    return end.status;
}

}  // namespace rcwa::run
