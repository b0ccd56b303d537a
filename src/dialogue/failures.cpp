#include "dialogue/failures.h"

#include "text/catalogue.h"

void stop_run(Console& con, int idiom, const Text& message, std::initializer_list<Arg> args) {
    con.say(idiom, message, args);
    con.wait_key();
    throw RunStop{1};
}

void stop_on(Console& con, int idiom, const Status& s) {
    con.show(s, idiom);
    con.wait_key();
    throw RunStop{1};
}
