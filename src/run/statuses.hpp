// Every exit status of a run with its console message: one entry per message,
// so a status with two messages has two entries with the same code. The
// README's exit-status table mirrors status_table (a unit test compares them).
// A message with a variable part (a name, an index, what an exception says)
// holds the fixed part; the stop appends the rest.
#pragma once

#include <array>
#include <string_view>

namespace rcwa::run {

struct status_entry {
    int code;
    // As printed: a free-format line with its leading blank (111 to 113: the
    // literal that heads their fixed-format line).
    std::string_view message;
    // The processes may not all meet it at the same point: it ends the whole
    // job (see run_stop).
    bool ends_job = false;
};

inline constexpr status_entry normal_end{1, ""};
inline constexpr status_entry wrong_par_value{10, " wrong value: par_value (argument 1)"};
inline constexpr status_entry read_error_orders{11, " read error or wrong values: iomin,iomax"};
inline constexpr status_entry read_error_theta_i{12, " read error input: theta_i"};
inline constexpr status_entry read_error_phi_i{13, " read error input: phi_i"};
inline constexpr status_entry read_error_lambda{14, " read error input: lambda"};
inline constexpr status_entry read_error_dummy{15, " read error input: dummy(pol)"};
inline constexpr status_entry neg_k_halfspace{16, " Error Imag(n) sup/sub < 0 !"};
inline constexpr status_entry read_error_eps_sup{17, " read error gitter: eps_sup"};
inline constexpr status_entry read_error_periods{20, " read error gitter: dy, dz"};
inline constexpr status_entry read_error_nlayer{21, " read error gitter: nlayer"};
inline constexpr status_entry read_error_ntype{22, " read error gitter: ntype"};
// Printed before read_error_ntype for a layer code that is refused.
inline constexpr status_entry not_implemented{22, " Sorry, not yet implemented-result likely to be wrong"};
inline constexpr status_entry read_error_layer_index{27, " read error layer: refraction index !"};
inline constexpr status_entry neg_k_layer{27, " Error layer: Imag(n) < 0 "};
inline constexpr status_entry read_error_thickness{28, " read error gitter: thickness"};
inline constexpr status_entry read_error_ieps{40, " read error: ieps (stack/RCWA)"};
inline constexpr status_entry read_error_patch_eps{41, " read error patch: eps"};
inline constexpr status_entry read_error_patch{42, " read error: patch"};
// Followed by the patch number.
inline constexpr status_entry patch_outside_cell{42, " error patch: bound outside the cell, patch "};
inline constexpr status_entry read_error_lfout{51, " read error: lfout"};
inline constexpr status_entry read_error_iout{52, " read error: iout"};
inline constexpr status_entry read_error_l_info{53, " read error: l_info"};
inline constexpr status_entry read_error_fname_out{54, " read error: fname_out"};
inline constexpr status_entry read_error_i_eff{55, " read error: i_eff"};
inline constexpr status_entry read_error_i_format{56, " read error: i_format"};
inline constexpr status_entry read_error_lpercent{57, " read error: lpercent"};
inline constexpr status_entry read_error_nop{58, " read error: nop"};
inline constexpr status_entry read_error_fname_out_mat{59, " read error: fname out_mat"};
inline constexpr status_entry too_many_patches{60, " number of patches exceeds 1000"};
inline constexpr status_entry eigen_error{61, " error during eigenroutine", true};
inline constexpr status_entry results_not_finite{62, " error: results are not finite numbers", true};
inline constexpr status_entry results_exceed_energy{63, " error: results exceed the incident energy", true};
inline constexpr status_entry read_error_seq_name{80, " read error: name of sequence"};
inline constexpr status_entry read_error_fak_thick{81, " read error: fak_thick"};
inline constexpr status_entry open_error_seq{82, " open error sequence file"};
inline constexpr status_entry read_error_seq{83, " read error seq: number of layers "};
inline constexpr status_entry read_error_fill_info{84, " read error: 2d eps-fill information"};
inline constexpr status_entry read_error_fill_background{85, " read error: refraction index of 2d eps-fill"};
inline constexpr status_entry open_error_fill{86, " open error: eps-fill file"};
inline constexpr status_entry read_error_fill{87, " read error: eps-fill file"};
inline constexpr status_entry read_error_fill_index{88, " read error: refraction index of 2d eps-fill file"};
inline constexpr status_entry fill_inconsistent{89, " consistency error: eps-fill file"};
inline constexpr status_entry output_init_error{90, " error output initialization", true};
// Followed by the order index.
inline constexpr status_entry output_init_no_tag{90, " error output initialization: no file-name tag for order index ", true};
inline constexpr status_entry output_open_error{95, " cannot open output file ", true};
inline constexpr status_entry output_write_error{95, " write error output file", true};
inline constexpr status_entry output_close_error{96, " write error output file", true};
inline constexpr status_entry out_of_memory{97, " not enough memory for the arrays of the run", true};
// Followed by what the exception says.
inline constexpr status_entry internal_error{99, " internal error: ", true};
inline constexpr status_entry no_control_file{100, " opening error qalder.ctr", true};
inline constexpr status_entry read_error_control{101, " read error rcwa.ctr", true};
// Followed by the file's name as an A240 field.
inline constexpr status_entry open_error_par{111, " opening error:  "};
inline constexpr status_entry open_error_stack{112, " opening error:  "};
inline constexpr status_entry open_error_outctl{113, " opening error:  "};
inline constexpr status_entry not_a_stack_file{152, " Select 2D stack File "};
inline constexpr status_entry read_error_stack_id{170, " read error stack ID "};
inline constexpr status_entry read_error_cone{212, " read error cone_3d: other"};
inline constexpr status_entry project_open_error{750, " Open error QalderPRoject (.QPR) File ", true};
inline constexpr status_entry project_write_error{750, " write error QalderPRoject (.QPR) File ", true};

// Every entry above, in order.
inline constexpr std::array status_table{
    &normal_end, &wrong_par_value, &read_error_orders, &read_error_theta_i, &read_error_phi_i,
    &read_error_lambda, &read_error_dummy, &neg_k_halfspace, &read_error_eps_sup,
    &read_error_periods, &read_error_nlayer, &read_error_ntype, &not_implemented,
    &read_error_layer_index, &neg_k_layer, &read_error_thickness, &read_error_ieps,
    &read_error_patch_eps, &read_error_patch, &patch_outside_cell, &read_error_lfout,
    &read_error_iout,
    &read_error_l_info, &read_error_fname_out, &read_error_i_eff, &read_error_i_format,
    &read_error_lpercent, &read_error_nop, &read_error_fname_out_mat, &too_many_patches,
    &eigen_error, &results_not_finite, &results_exceed_energy, &read_error_seq_name, &read_error_fak_thick,
    &open_error_seq, &read_error_seq, &read_error_fill_info, &read_error_fill_background,
    &open_error_fill, &read_error_fill, &read_error_fill_index, &fill_inconsistent,
    &output_init_error, &output_init_no_tag, &output_open_error, &output_write_error,
    &output_close_error, &out_of_memory, &internal_error, &no_control_file,
    &read_error_control, &open_error_par, &open_error_stack, &open_error_outctl,
    &not_a_stack_file, &read_error_stack_id, &read_error_cone, &project_open_error,
    &project_write_error,
};

}  // namespace rcwa::run
