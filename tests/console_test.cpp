// The console layer: message formatting, the code page 850 translation and the
// reading of answers.
#include "dialogue/console.h"

#include <gtest/gtest.h>

#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#endif

#include "text/catalogue.h"

TEST(Formatting, AccentsAndValuesFillTheirPlaceholdersInOrder) {
    // %c placeholders take the accent bytes, the others the values, each in turn.
    const Msg m{"a%cb%dc%cd%se%.3lf", {'\x85', '\x82'}};
    EXPECT_EQ(format_text(m.text, {m.acc.data(), m.acc.size()}, {42, "name", 1.0 / 3}),
              "a\x85"
              "b42c\x82"
              "dnamee0.333");
}

TEST(Formatting, RealsRoundLikeCPrintf) {
    EXPECT_EQ(format_text("%.2lf|%.3lf|%lf|%.2lf", {}, {66.666666, 0.0105, 500000.0, 2.675}),
              "66.67|0.011|500000.000000|2.67");
    EXPECT_EQ(format_text("%.2lf", {}, {33.333333}), "33.33");
    EXPECT_EQ(format_text("%d %lld", {}, {-7, 12345678901LL}), "-7 12345678901");
}

TEST(Formatting, TranslatesOnlyThePlaceholderBytesToUtf8) {
    std::istringstream in;
    std::ostringstream out;
    Console con(in, out, /*utf8=*/true);
    // A typed name keeps its bytes, even those that are accent codes in code page 850.
    const std::string typed = "caf\xC3\xA1-\x82";
    con.say(1, txt::folder_prompt, {typed});
    EXPECT_EQ(out.str(), "\n\n\tNom de l'archive situ\xC3\xA9 dans " + typed + " : ");
}

TEST(Formatting, EveryAccentHasItsLetter) {
    const char* expected[][2] = {{"\x85", "à"}, {"\x87", "ç"}, {"\x88", "ê"}, {"\x8A", "è"},
                                 {"\x8C", "î"}, {"\xA0", "á"}, {"\x82", "é"}, {"\xA1", "í"},
                                 {"\xA2", "ó"}, {"\xA3", "ú"}, {"\x97", "ù"}, {"\xA4", "ñ"},
                                 {"\xA8", "¿"}, {"\xC9", "╔"}, {"\xBB", "╗"}, {"\xBC", "╝"},
                                 {"\xC8", "╚"}, {"\xBA", "║"}, {"\xCD", "═"}};
    for (auto& e : expected) EXPECT_EQ(cp850_to_utf8(static_cast<unsigned char>(e[0][0])), e[1]);
    EXPECT_EQ(cp850_to_utf8('A'), "A");
    EXPECT_EQ(cp850_to_utf8(0xE9), "\xE9");
}

TEST(Catalogue, NoConsoleTextHoldsAByteAbove127OfItsOwn) {
    const Text* texts[] = {&txt::disk_heading, &txt::folder_prompt,      &txt::image_prompt,
                           &txt::help_heading, &txt::rank_prompt,        &txt::treat_menu,
                           &txt::shape_menu,   &txt::cell_heading,       &txt::circle_pixel_size,
                           &txt::confirmation, &txt::result_name_prompt, &txt::bmp_pixel_size,
                           &txt::item_count,   &txt::input_ended};
    for (const Text* t : texts)
        for (const Msg* m : {&t->en, &t->fr, &t->es}) {
            int placeholders = 0;
            for (const char* p = m->text; *p; ++p) {
                EXPECT_LT(static_cast<unsigned char>(*p), 0x80) << m->text;
                if (p[0] == '%' && p[1] == 'c') ++placeholders;
            }
            int accents = 0;
            while (accents < 13 && m->acc[accents] != 0) ++accents;
            EXPECT_EQ(placeholders, accents) << m->text;
        }
}

TEST(Reading, TokensFollowTheIntegerAndRealRules) {
    std::istringstream in("12 +3 -4 abc 12abc 3.5 99999999999 1e2 2.5 x");
    std::ostringstream out;
    Console con(in, out, false);
    int v = 0;
    EXPECT_TRUE(con.read_int(v));
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(con.read_int(v));
    EXPECT_EQ(v, 3);
    EXPECT_TRUE(con.read_int(v));
    EXPECT_EQ(v, -4);
    EXPECT_FALSE(con.read_int(v));  // abc
    EXPECT_FALSE(con.read_int(v));  // 12abc
    EXPECT_FALSE(con.read_int(v));  // 3.5
    EXPECT_FALSE(con.read_int(v));  // beyond 32 bits
    double d = 0;
    EXPECT_TRUE(con.read_double(d));
    EXPECT_EQ(d, 100.0);
    EXPECT_TRUE(con.read_double(d));
    EXPECT_EQ(d, 2.5);
    EXPECT_FALSE(con.read_double(d));  // x
    EXPECT_THROW(con.read_int(v), InputEnded);
}

TEST(Reading, MenusAndFreeNumbersAreAskedAgain) {
    std::istringstream in("x 5 -2 1  -1  zz 0.5 -3 7  -2");
    std::ostringstream out;
    Console con(in, out, false);
    EXPECT_EQ(con.menu([&] { con.print("<m>"); }, 1), 1);
    EXPECT_EQ(out.str(), "<m><m><m><m>");
    out.str("");
    EXPECT_EQ(con.menu([&] { con.print("<n>"); }, 1, /*negative_ok=*/true), -1);
    EXPECT_EQ(out.str(), "<n>");
    out.str("");
    EXPECT_EQ(con.ask_int([&] { con.print("<r>"); }, 0), 7);  // zz, 0.5, -3 refused
    EXPECT_EQ(out.str(), "<r><r><r><r>");
    EXPECT_THROW(con.menu([&] {}, 1), InputEnded);  // -2 refused, then the end
}

TEST(Reading, KeyPressTakesOneByteAndTheEndCountsAsAKey) {
    std::istringstream in("5\nab");
    std::ostringstream out;
    Console con(in, out, false);
    int v = 0;
    EXPECT_TRUE(con.read_int(v));
    con.wait_key();  // the line feed after 5
    EXPECT_EQ(in.peek(), 'a');
    con.wait_key();
    con.wait_key();
    con.wait_key();  // end of input: no wait, no error
    SUCCEED();
}

#ifndef _WIN32
// At a terminal the final key is read without echo from the terminal itself. Any key
// ends the wait, Ctrl-C included, and the terminal is left as it was found.
TEST(Reading, KeyPressAtATerminalTakesAnyKeyAndRestoresTheTerminal) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave_name = ptsname(master);
    const int watch = open(slave_name.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(watch, 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The child takes the terminal as its own, as a user's shell would give it.
        setsid();
        const int slave = open(slave_name.c_str(), O_RDWR);
        if (slave < 0 || ioctl(slave, TIOCSCTTY, 0) != 0 || dup2(slave, STDIN_FILENO) < 0) _exit(2);
        std::istringstream in;
        std::ostringstream out;
        Console con(in, out, true, /*terminal_keys=*/true);
        con.wait_key();
        _exit(0);
    }
    // Once the child waits for its key, the terminal is out of line mode.
    termios t{};
    for (int k = 0; k < 500; ++k) {
        ASSERT_EQ(tcgetattr(watch, &t), 0);
        if ((t.c_lflag & ICANON) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    ASSERT_EQ(write(master, "\x03", 1), 1);  // Ctrl-C
    int status = 0;
    pid_t done = 0;
    for (int k = 0; k < 500 && done == 0; ++k) {
        done = waitpid(pid, &status, WNOHANG);
        if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (done == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the key did not end the wait";
    } else {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "the key ended the program instead of the wait";
    }
    ASSERT_EQ(tcgetattr(watch, &t), 0);
    EXPECT_NE(t.c_lflag & ICANON, 0u);
    EXPECT_NE(t.c_lflag & ECHO, 0u);
    EXPECT_NE(t.c_lflag & ISIG, 0u);
    close(watch);
    close(master);
}
#endif
