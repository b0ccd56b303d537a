// The console layer: every message of a run is written, and every answer read, here.
//
// Messages are printf-style format strings. Letters outside ASCII never stand in a
// message itself: each is a %c placeholder filled with a code page 850 byte (the
// accent and box-drawing characters of the catalogue). On Windows those bytes reach
// the console as they are, under code page 850; elsewhere they are shown as UTF-8.
// Every other byte, including the bytes of names typed by the user, passes unchanged.
//
// Answers are whitespace-delimited tokens. When the answers run out before the
// dialogue is over, the reading routines throw InputEnded.
#pragma once

#include <array>
#include <climits>
#include <functional>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "core/status.h"
#include "text/format_text.h"

// The answers ran out before the dialogue was over.
struct InputEnded {};

// The run stops here with this exit status; its message has already been shown.
struct RunStop {
    int status;
};

class Console {
  public:
    // `utf8`: translate the code page 850 bytes to UTF-8 (every system but Windows).
    // `terminal_keys`: the final key press is read from the terminal without echo
    // instead of as one byte of the input stream.
    Console(std::istream& in, std::ostream& out, bool utf8, bool terminal_keys = false)
        : in_(in), out_(out), utf8_(utf8), terminal_keys_(terminal_keys) {}

    // The console of the process: standard input and output, with the system's encoding.
    static bool system_utf8();

    bool utf8() const { return utf8_; }

    // Writing.
    void print(std::string_view fmt, std::initializer_list<Arg> args = {});
    void print(const Msg& m, std::initializer_list<Arg> args = {});
    void say(int idiom, const Text& t, std::initializer_list<Arg> args = {}) {
        print(t.in(idiom), args);
    }
    // The message of a stage's Status, in the run's language (printed as it stands).
    void show(const Status& s, int idiom);
    // The text a message would print, in this console's encoding, without printing it.
    std::string text(int idiom, const Text& t, std::initializer_list<Arg> args = {}) const;
    void flush();
    // True once a write to the console has failed (a closed pipe, a full device): what
    // the user should have seen is lost, and the run must not end as a success.
    bool output_failed() const;

    // Reading. Each call takes one whitespace-delimited token; InputEnded at end of input.
    std::string read_token();
    // "%d": false when the token is not a whole integer within range (it is discarded).
    bool read_int(int& v);
    // "%lf": false when the token is not a finite real number (it is discarded).
    bool read_double(double& v);
    // "%s": a name, taken as typed.
    std::string read_name() { return read_token(); }

    // A menu: `show` prints its choice lines, then one integer is read. The choices are
    // shown again while the answer is not a number, is negative (unless
    // `negative_ok`) or is above `highest`.
    int menu(const std::function<void()>& show, int highest, bool negative_ok = false);
    // A free integer: `prompt` is printed and the answer read, again while it is not a
    // number or lies outside `lowest`..`highest`.
    int ask_int(const std::function<void()>& prompt, int lowest = INT_MIN, int highest = INT_MAX);
    // A free real: asked again while not a number, below `lowest`, or equal to it when
    // `lowest_excluded`.
    double ask_double(const std::function<void()>& prompt, double lowest = -1e308,
                      bool lowest_excluded = false);

    // Waits for one key press: from the terminal without echo, or one byte of the input
    // stream (the end of input counts as the key).
    void wait_key();

  private:
    std::istream& in_;
    std::ostream& out_;
    bool utf8_;
    bool terminal_keys_;
    bool bom_checked_ = false;  // the start of the answers was looked at for a byte order mark
};
