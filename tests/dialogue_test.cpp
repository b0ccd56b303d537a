// Whole stretches of the dialogue, compared byte for byte with the texts the program
// must print (code page 850 bytes, as a Windows console receives them).
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "run/console.h"
#include "run/opening.h"

namespace {

struct Session {
    std::istringstream in;
    std::ostringstream out;
    Console con;
    explicit Session(const std::string& answers, bool utf8 = false)
        : in(answers), con(in, out, utf8) {}
};

std::string banner() {
    const std::string h61(61, '\xCD');
    const std::string blank(61, ' ');
    auto row = [](const std::string& inner) { return "\n\t\xBA" + inner + "\xBA"; };
    std::string s = "\n\n\t\xC9" + h61 + "\xBB";
    s += row(blank);
    s += row(std::string(23, ' ') + "LANDMOSAIC" + std::string(28, ' '));
    s += row(blank) + row(blank) + row(blank);
    s += row(std::string(34, ' ') + "Open landscape tools" + std::string(7, ' '));
    s += row(blank) + row(blank);
    s += row(std::string(39, ' ') + "Version May 2023" + std::string(6, ' '));
    s += row(blank);
    s += "\n\t\xC8" + h61 + "\xBC\n\n";
    return s;
}

const std::string kLanguageMenu =
    "\n\tLanguage: \n\t\t0 ====> English\n\t\t1 ====> French\n\t\t2 ====> Spanish\n\t\t";

const std::string kDescriptionEn =
    "\n\n\tThis program studies the regional disposition of various geomorphological "
    "\n\tformations as they appear on a map. First, it calculates the number of"
    "\n\tformations on the geomorphological map, providing among other things, the"
    "\n\toverall percentage of occupation."
    "\n\tThen, it studies the distribution and arrangement of each of these formations"
    "\n\tusing cell mesh or a moving window. ";

const std::string kDiskChoices = "\n\t\t0 ====> C:\\images\n\t\t1 ====> D:\\images";
const std::string kFormatMenu = "\n\t\t0 ====> raster\n\t\t1 ====> bitmap\n\t\t2 ====> ascii\n\t\t";

}  // namespace

TEST(Banner, IsSixtyThreeCharactersWideInCodePage850) {
    Session s("");
    show_banner(s.con);
    EXPECT_EQ(s.out.str(), banner());
    // Every line of the box is a tab then 63 characters.
    std::istringstream lines(s.out.str());
    std::string line;
    int rows = 0;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        EXPECT_EQ(line.size(), 64u) << "row " << rows;
        ++rows;
    }
    EXPECT_EQ(rows, 12);
}

TEST(Banner, ShowsUtf8LinesElsewhere) {
    Session s("", /*utf8=*/true);
    show_banner(s.con);
    const std::string& out = s.out.str();
    EXPECT_EQ(out.rfind("\n\n\t\xE2\x95\x94\xE2\x95\x90", 0), 0u);  // ╔═
    EXPECT_NE(out.find("\xE2\x95\x97"), std::string::npos);         // ╗
    EXPECT_NE(out.find("\xE2\x95\x9A"), std::string::npos);         // ╚
    EXPECT_NE(out.find("\xE2\x95\x9D\n\n"), std::string::npos);     // ╝
    EXPECT_EQ(out.find('\xCD'), std::string::npos);
}

TEST(LanguageMenu, IsAskedAgainWithItsHeadingUntilAValidAnswer) {
    // 7 is above the highest choice, -1 below the lowest, abc no number at all.
    Session s("7 -1 abc 1");
    RunAnswers run;
    choose_language(s.con, run);
    EXPECT_EQ(run.idiom, 1);
    EXPECT_EQ(s.out.str(), kLanguageMenu + kLanguageMenu + kLanguageMenu + kLanguageMenu);
}

TEST(Description, InEachLanguage) {
    const std::string fr =
        "\n\n\tCe programme \x82tudie la disposition r\x82gionale de divers \x82l\x82ments "
        "g\x82omorphologiques "
        "\n\tg\x82omorphologiques tels qu'ils apparaissent sur une carte. Le programme recherche"
        "\n\ttout d'abord le nombre de formations g\x82omorphologiques de la carte,"
        "\n\tfournissant entre autres, leur pourcentage global d'occupation. "
        "\n\tIl \x82tudie ensuite la distribution et l'arrangement de chacune de ces formations "
        "\n\t\x85 l'aide d'un maillage cellulaire ou d'une fen\x88tre mobile.";
    const std::string es =
        "\n\n\tEste programa estudia la disposici\xA2n regional de diversas formaciones "
        "\n\tgeomorfol\xA2gicas tal como aparecen en un mapa. El programa primero busca "
        "\n\tel numero de formaciones presentes en el mapa, proporcionando entre otras "
        "\n\tcosas, el porcentaje de ocupaci\xA2n total. Luego, el programa estudia la"
        "\n\tdistribuci\xA2n y el arreglo de cada una de estas formaciones, utilizando "
        "\n\tmalla de celdas o una ventana m\xA2vil. ";
    const std::string expected[3] = {kDescriptionEn, fr, es};
    for (int idiom = 0; idiom < 3; ++idiom) {
        Session s("");
        RunAnswers run;
        run.idiom = idiom;
        describe_program(s.con, run);
        EXPECT_EQ(s.out.str(), expected[idiom]) << "idiom " << idiom;
    }
}

TEST(InputChoice, DiskMenuRepeatsItsChoicesOnlyAndBuildsThePath) {
    // 3 is out of range, -1 is asked again too; then choice 0.
    Session s("3 -1 0 dem map1 5 1");
    RunAnswers run;
    choose_input(s.con, run);
    const std::string choices = kDiskChoices + "\n\t\t2 ====> defined by the user\n\t\t";
    std::string expected = "\n\n\tName of the Disk:" + choices + choices + choices;
    expected += std::string("\n\n\tName of the File Folder located in the Directory ") +
                kDiskFolder0 + " : ";
    expected += "\n\tName of the image to be studied (without any extension) ? ";
    expected += "\n\tImage type: " + kFormatMenu + kFormatMenu;
    EXPECT_EQ(s.out.str(), expected);
    EXPECT_EQ(run.format, 1);
    EXPECT_EQ(run.nomim1, std::string(kDiskFolder0) + "dem" + kSeparator + "map1");
    EXPECT_EQ(run.nomim3, std::string(kDiskFolder0) + "dem" + kSeparator);
}

TEST(InputChoice, TypedPrefixIsTakenAsItIs) {
    {
        Session s("2 E:\\maps\\ set img 0");
        RunAnswers run;
        choose_input(s.con, run);
        EXPECT_EQ(run.nomim3, std::string("E:\\maps\\set") + kSeparator);
    }
    {
        Session s("2 E: set img 0");
        RunAnswers run;
        choose_input(s.con, run);
        EXPECT_EQ(run.nomim3, std::string("E:set") + kSeparator);
        EXPECT_NE(s.out.str().find("\n\tName of the disk ? \n\n\tName of the File Folder located "
                                   "in the Directory E: : "),
                  std::string::npos);
    }
}

TEST(InputChoice, FrenchAndSpanishTexts) {
    {
        Session s("1 dossier carte 2");
        RunAnswers run;
        run.idiom = 1;
        choose_input(s.con, run);
        std::string expected = "\n\n\tDisque \x85 utiliser :" + kDiskChoices +
                               "\n\t\t2 ====> d\x82"
                               "fini par l'utilisateur\n\t\t";
        expected += std::string("\n\n\tNom de l'archive situ\x82 dans ") + kDiskFolder1 + " : ";
        expected += "\n\tNom de l'image \x85 \x82tudier (sans aucune extension) ? ";
        expected += "\n\tFormat de l'image : " + kFormatMenu;
        EXPECT_EQ(s.out.str(), expected);
    }
    {
        Session s("0 carpeta mapa 0");
        RunAnswers run;
        run.idiom = 2;
        choose_input(s.con, run);
        std::string expected = "\n\n\tNombre del Disco:" + kDiskChoices +
                               "\n\t\t2 ====> definido por el usuario\n\t\t";
        expected += std::string("\n\n\tNombre del archivo ubicado en ") + kDiskFolder0 + " : ";
        expected += "\n\tNombre de la imagen a estudiar (sin ninguna extensi\xA2n) ? ";
        expected += "\n\tFormato de la imagen: " + kFormatMenu;
        EXPECT_EQ(s.out.str(), expected);
    }
}

TEST(InputChoice, LongNamesAreKeptWhole) {
    const std::string folder(200, 'f');
    const std::string image(150, 'i');
    Session s("2 /tmp/ " + folder + " " + image + " 0");
    RunAnswers run;
    choose_input(s.con, run);
    EXPECT_EQ(run.nomim1, "/tmp/" + folder + kSeparator + image);
}

TEST(AnswersEnding, EveryCutOfTheOpeningDialogueEndsWithStatusOne) {
    // A run cut after any answer of the first steps ends by itself, in the run's language.
    const std::string answers[] = {"1", "2", "/tmp/", "nowhere", "map", "0"};
    for (std::size_t cut = 0; cut < 6; ++cut) {
        std::string text;
        for (std::size_t k = 0; k < cut; ++k) text += answers[k] + "\n";
        Session s(text);
        EXPECT_EQ(opening(s.con), 1) << "cut " << cut;
        const std::string& out = s.out.str();
        if (cut == 0) {
            EXPECT_TRUE(out.ends_with("\n\n\tThe answers ended before the dialogue was over.\n"));
        } else {
            EXPECT_TRUE(
                out.ends_with("\n\n\tLes r\x82ponses se sont arr\x88t\x82"
                              "es avant la fin du dialogue.\n"))
                << "cut " << cut;
        }
    }
}

TEST(AnswersEnding, SpanishMessage) {
    Session s("2 0");
    EXPECT_EQ(opening(s.con), 1);
    EXPECT_TRUE(
        s.out.str().ends_with("\n\n\tLas respuestas terminaron antes del final del di\xA0logo.\n"));
}
