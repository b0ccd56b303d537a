#include "run/failures.h"

#include "run/catalogue.h"

void stop_run(Console& con, int idiom, const Text& message, std::initializer_list<Arg> args) {
    con.say(idiom, message, args);
    con.wait_key();
    throw RunStop{1};
}

ByteGrid alloc_grid(Console& con, int idiom, int nb_col, int nb_lig) {
    ByteGrid g(ucmatrice(nb_col, nb_lig), nb_lig);
    if (!g) stop_run(con, idiom, txt::out_of_memory, {nb_col, nb_lig});
    return g;
}
