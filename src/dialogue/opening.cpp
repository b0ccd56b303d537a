#include "dialogue/opening.h"

#include <new>
#include <string>
#include <vector>

#include "analysis/results.h"
#include "dialogue/failures.h"
#include "dialogue/stages.h"
#include "formats/format.h"
#include "results/result_names.h"
#include "text/catalogue.h"

namespace {

// A message made of a format string and one box-drawing character per %c.
void print_boxed(Console& con, const char* fmt, char first, char middle, char last, int count) {
    Msg m{fmt};
    for (int k = 0; k < count && k < 13; ++k) m.acc[k] = middle;
    if (count > 0) {
        m.acc[0] = first == 0 ? middle : first;
        if (last != 0) m.acc[count - 1] = last;
    }
    con.print(m);
}

void show_format_menu(Console& con) {
    con.print(txt::format_choices_01);
    con.print(txt::format_choice_2);
}

}  // namespace

void show_banner(Console& con) {
    using namespace box;
    print_boxed(con, txt::banner_top_first, p1, h, 0, 12);
    for (int k = 0; k < 3; ++k) print_boxed(con, txt::banner_border_middle, 0, h, 0, 13);
    print_boxed(con, txt::banner_top_last, 0, h, p2, 12);
    const char* rows[10] = {txt::banner_blank_row, txt::banner_name_row,  txt::banner_blank_row,
                            txt::banner_blank_row, txt::banner_blank_row, txt::banner_credit_row,
                            txt::banner_blank_row, txt::banner_blank_row, txt::banner_version_row,
                            txt::banner_blank_row};
    for (const char* row : rows) print_boxed(con, row, v, v, v, 2);
    print_boxed(con, txt::banner_bottom_first, p4, h, 0, 12);
    for (int k = 0; k < 3; ++k) print_boxed(con, txt::banner_border_middle, 0, h, 0, 13);
    print_boxed(con, txt::banner_bottom_last, 0, h, p3, 12);
}

void choose_language(Console& con, RunAnswers& run) {
    run.idiom = con.menu(
        [&] {
            con.print(txt::language_heading);
            con.print(txt::language_english);
            con.print(txt::language_french);
            con.print(txt::language_spanish);
            con.print(txt::menu_end);
        },
        2);
}

void describe_program(Console& con, const RunAnswers& run) {
    for (const Text& line : txt::description) con.say(run.idiom, line);
}

void choose_input(Console& con, RunAnswers& run) {
    const int idiom = run.idiom;
    // Step 4: disk.
    con.say(idiom, txt::disk_heading);
    run.rep = con.menu(
        [&] {
            con.print(txt::disk_choices);
            con.say(idiom, txt::disk_choice_2);
        },
        2);
    if (run.rep == 0) {
        run.nomim1 = kDiskFolder0;
    } else if (run.rep == 1) {
        run.nomim1 = kDiskFolder1;
    } else {
        con.say(idiom, txt::disk_prompt);
        run.nomim1 = con.read_name();
    }
    // Step 5: folder.
    con.say(idiom, txt::folder_prompt, {run.nomim1});
    run.nomdir = con.read_name();
    run.nomim1 += run.nomdir;
    run.nomim1 += kSeparator;
    run.nomim3 = run.nomim1;
    // Step 6: image name.
    con.say(idiom, txt::image_prompt);
    run.nomfic1 = con.read_name();
    run.nomim1 += run.nomfic1;
    // Step 7: input format.
    con.say(idiom, txt::format_heading);
    run.format = con.menu([&] { show_format_menu(con); }, formats::last_native_code());
}

void choose_window(Console& con, RunAnswers& run, const LoadedMap& map, Window& win) {
    const int idiom = run.idiom;
    do {
        // 9a: the two treatments.
        for (const Text& line : txt::treatment_description) con.say(idiom, line);
        // 9b: rank help.
        con.say(idiom, txt::help_heading);
        run.range_def = con.menu([&] { con.say(idiom, txt::yes_no_menu); }, 1);
        if (run.range_def == 0) rank_help(con, idiom, win);
        // 9c: rank.
        run.range_win = con.ask_int([&] { con.say(idiom, txt::rank_prompt); }, 0, kMaxRank);
        // 9d: treatment type.
        con.say(idiom, txt::treat_heading);
        run.treat_type = con.menu([&] { con.say(idiom, txt::treat_menu); }, 1);
        // 9e: window shape, for a moving window only.
        if (run.treat_type == 1) {
            for (const Text& line : txt::shape_description) con.say(idiom, line);
            con.say(idiom, txt::shape_heading);
            run.win_shape = con.menu([&] { con.say(idiom, txt::shape_menu); }, 1);
        }
        // 9f: sizes and their confirmation.
        show_sizes(con, run, map, win);
        con.say(idiom, txt::confirmation);
        run.size_OK = con.menu([&] { con.say(idiom, txt::yes_no_menu); }, 1);
    } while (run.size_OK == 1);
}

void choose_outputs(Console& con, RunAnswers& run, LoadedMap& map, Report& rep) {
    const int idiom = run.idiom;
    // Step 10: generic result name and the report file. A name that would leave the
    // map's folder, cut the paths short, or make an output replace the map or its
    // header is asked again after a line saying why.
    const std::vector<std::string> inputs = {run.nom_lect, map.nomdescr1};
    for (;;) {
        con.say(idiom, txt::result_name_prompt);
        run.nomfic1 = con.read_name();
        const NameProblem problem = result_name_problem(run.nomfic1);
        if (problem != NameProblem::None) {
            const Text& why = problem == NameProblem::Empty       ? txt::reason_name_empty
                              : problem == NameProblem::Separator ? txt::reason_name_separator
                              : problem == NameProblem::DotDot    ? txt::reason_name_dots
                                                                  : txt::reason_name_control;
            con.say(idiom, txt::result_name_refused,
                    {printable_name(run.nomfic1), con.text(idiom, why)});
            continue;
        }
        std::string input;
        const std::string clash = clashing_output(run.nomim3 + run.nomfic1, inputs, input);
        if (!clash.empty()) {
            con.say(idiom, txt::result_name_clash, {clash, input});
            continue;
        }
        break;
    }
    run.nomim3 += run.nomfic1;
    run.nom_info = run.nomim3 + "_info.txt";
    if (!rep.open(run.nom_info)) stop_run(con, idiom, txt::report_not_created, {run.nom_info});
    // Step 11: result format, and the corner coordinates an ascii grid needs.
    con.say(idiom, txt::result_format_heading);
    run.res_form = con.menu([&] { show_format_menu(con); }, formats::last_native_code());
    if (formats::format_of(run.res_form).needs_corner && !map.UTM_coord) {
        con.say(idiom, txt::coordinates_heading);
        map.X_min = con.ask_double([&] { con.print(txt::x_min_prompt); });
        map.Y_min = con.ask_double([&] { con.print(txt::y_min_prompt); });
        map.UTM_coord = true;
    }
}

int opening(Console& con) {
    RunAnswers run;
    LoadedMap map;
    Inventory inv;
    Window win;
    Results res;
    Report rep;
    ResultFiles files;
    try {
        show_banner(con);
        choose_language(con, run);
        describe_program(con, run);
        choose_input(con, run);
        // Step 8: the map and its inventory, its rows streamed from the file; the
        // treatment reads them again, a band at a time, beside its two result images.
        run.nom_lect = run.nomim1;
        lecture(con, run, map, inv);
        choose_window(con, run, map, win);
        choose_outputs(con, run, map, rep);
        // Steps 12 and 13: the treatment.
        treatment(con, run, map, inv, win, res);
        // Step 14: report body, mesh drawing, result images.
        files.nom_diversidad = diversity_base(run);
        write_report_body(rep, run, map, inv, win);
        mesh_question(con, run.idiom, run.range_win, files.nom_diversidad, map, res);
        bool ok = write_result_images(con, run, map, res, rep, files);
        if (!rep.close()) {
            con.say(run.idiom, txt::result_not_written, {run.nom_info});
            ok = false;
        }
        // Step 15: the end.
        con.say(run.idiom, txt::end_message);
        con.wait_key();
        con.flush();
        // A console that could not be written lost the dialogue: not a success.
        return ok && !con.output_failed() ? 0 : 1;
    } catch (const InputEnded&) {
        con.say(run.idiom, txt::input_ended);
        con.flush();
        return 1;
    } catch (const RunStop& stop) {
        con.flush();
        return stop.status;
    } catch (const std::bad_alloc&) {
        con.say(run.idiom, txt::memory_exhausted);
        con.flush();
        return 1;
    }
}
