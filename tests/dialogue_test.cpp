// Whole stretches of the dialogue, compared byte for byte with the texts the program
// must print (code page 850 bytes, as a Windows console receives them).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "dialogue/console.h"
#include "dialogue/opening.h"
#include "file_fixtures.h"

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

namespace {

const std::string kDescriptionTreatmentEn =
    "\n\n\tTwo types of treatments are available. The first uses a cellular mesh and"
    "\n\tthe second uses a moving window that scans the image from the top left corner "
    "\n\tto the lower right corner. In the first case, the result is reported in the "
    "\n\tcuadratic cell; in the second case, the result is registered on the pixel that "
    "\n\tcorresponds to the center of the mobile window. "
    "\n\tThe size of the mobile cell or window is calculated according to the rank R ";
const std::string kYesNoEn = "\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
const std::string kTreatEn = "\n\n\tChoice of type of treatment: ";
const std::string kTreatMenuEn = "\n\t\t0 ====> cell mesh\n\t\t1 ====> moving window\n\t\t";
const std::string kShapeEn =
    "\n\tTwo forms of moving window are available: quadrangular or circular."
    "\n\tThe size of the window is calculated according to its rank R "
    "\n\tIf it is a square, the edges m (in pixels) of the window are equal to "
    "\n\t\tm = (R x 2) + 1. "
    "\n\tIf it is a circle, the radius of the circle rc will be equal to rc = R + 0.5 "
    "\n\n\tMoving window shape: ";
const std::string kShapeMenuEn = "\n\t\t0 ====> square\n\t\t1 ====> circle\n\t\t";

LoadedMap map_with_pixel(double dpix_size, bool utm) {
    LoadedMap map;
    map.nb_lig = 40;
    map.nb_col = 40;
    map.dpix_size = dpix_size;
    map.pix_size = static_cast<int>(dpix_size);
    map.UTM_coord = utm;
    return map;
}

// A folder of its own for the report files the dialogue creates.
struct ReportFolder {
    std::filesystem::path root;
    explicit ReportFolder(const std::string& tag)
        : root(std::filesystem::temp_directory_path() /
               ("landmosaic_dialogue_" + tag + "_" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
    }
    ~ReportFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::string prefix() const { return root.string() + kSeparator; }
};

}  // namespace

// A circle rejected, then a cell mesh accepted: the second pass asks the description,
// the rank help, the rank and the treatment again, but not the shape.
TEST(SizeLoop, RejectionAsksEverythingAgainAndACellMeshSkipsTheShape) {
    Session s("1 19 1 1 1  5 1 16 0 0");
    RunAnswers run;
    const LoadedMap map = map_with_pixel(30.0, false);
    Window win;
    choose_window(s.con, run, map, win);
    std::string expected = kDescriptionTreatmentEn;
    expected += "\n\n\tHelp for the definition of the rank value ? " + kYesNoEn;
    expected += "\n\n\tChoice of the rank R from the user: ";
    expected += kTreatEn + kTreatMenuEn + kShapeEn + kShapeMenuEn;
    expected +=
        "\n\tCircular moving window characteristics: "
        "\n\t\tRadius rc (in pixels) = R + 0.5 = 19.50 "
        "\n\t\tcircular surface (in pixels) = 1201 "
        "\n\t\taccording to the pixel size (30 x 30 meters)"
        "\n\t\tthe surface of the circular moving window is 108.090 ha (1.081 km2) ";
    expected += "\n\n\tAre these sizes suitable? " + kYesNoEn;
    // Second pass: 5 at the help menu shows its choices again.
    expected += kDescriptionTreatmentEn;
    expected += "\n\n\tHelp for the definition of the rank value ? " + kYesNoEn + kYesNoEn;
    expected += "\n\n\tChoice of the rank R from the user: ";
    expected += kTreatEn + kTreatMenuEn;
    expected +=
        "\n\tCell mesh characteristics: "
        "\n\t\tm (in pixels) = (R x 2) + 1 = (16 x 2) + 1"
        "\n\t\twindow size in pixels (m x m) = 33 x 33 "
        "\n\t\tsurface in pixels = 1089 "
        "\n\t\taccording to the pixel size (30 x 30 meters)"
        "\n\t\tthe surface of a cell is 98.010 ha (0.980 km2) ";
    expected += "\n\n\tAre these sizes suitable? " + kYesNoEn;
    EXPECT_EQ(s.out.str(), expected);
    EXPECT_EQ(run.range_win, 16);
    EXPECT_EQ(run.treat_type, 0);
    EXPECT_EQ(run.win_shape, 1);  // kept from the first pass
    EXPECT_EQ(run.size_OK, 0);
    EXPECT_EQ(win.side, 33);
}

TEST(SizeLoop, FrenchSquareWindow) {
    Session s("1 2 1 0 0");
    RunAnswers run;
    run.idiom = 1;
    const LoadedMap map = map_with_pixel(100.0, false);
    Window win;
    choose_window(s.con, run, map, win);
    std::string expected =
        "\n\n\tDeux types de traitements sont disponibles. Le premier utilise un maillage "
        "cellulaire"
        "\n\tet le second utilise une fen\x88tre mobile qui scanne l'image du coin sup\x82rieur "
        "\n\tgauche vers le coin inf\x82rieur droit. Dans le premier cas, le r\x82sultat "
        "\n\tobtenu est rapport\x82 dans la cellule ; dans le second cas, le r\x82sultat est "
        "\n\treport\x82 sur le pixel correspondant au centre de la fen\x88tre mobile. "
        "\n\tLa taille de la cellule ou de la fen\x88tre mobile est calcul\x82"
        "e en fonction du rang R "
        "\n\n\tAide \x85 la d\x82"
        "finition et \x85 la recherche de la valeur du rang : "
        "\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t"
        "\n\n\tChoix du rang R par l'usager : "
        "\n\n\tChoix du type de traitement : "
        "\n\t\t0 ====> maille cellulaire\n\t\t1 ====> fen\x88tre mobile\n\t\t"
        "\n\tDeux formes de fenetre mobile sont disponibles : quadrangulaire ou circulaire."
        "\n\tLa taille de la fen\x88tre se calcule en fonction de son rang R "
        "\n\tS'il s'agit d'un carr\x82, les ar\x88tes m (en pixels) de la fen\x88tre sont "
        "\n\t\x82gales \x85 m = (R x 2) + 1. "
        "\n\tS'il s'agit d'un cercle le rayon du cercle rc sera \x82gal \x85 rc = R + 0.5 "
        "\n\n\tForme de la fenetre mobile : "
        "\n\t\t0 ====> carr\x82\n\t\t1 ====> cercle\n\t\t"
        "\n\tParam\x8Atres de la fen\x88tre mobile quadratique : "
        "\n\t\tm (en pixels) = (R x 2) + 1 = (2 x 2) + 1"
        "\n\t\ttaille de la fen\x88tre en pixels = 5 x 5 "
        "\n\t\tsurface en pixels = 25 "
        "\n\t\ten accord avec la taille du pixel (100 x 100 m\x8Atres)"
        "\n\t\tla surface de la fen\x88tre mobile est de 25.000 ha (0.250 km2) "
        "\n\n\tCes dimensions conviennent-elles ? "
        "\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t";
    EXPECT_EQ(s.out.str(), expected);
}

TEST(SizeLoop, SpanishRankHelpAndCircle) {
    Session s("0 10 0.5 0 1 1 0");
    RunAnswers run;
    run.idiom = 2;
    const LoadedMap map = map_with_pixel(100.0, false);
    Window win;
    choose_window(s.con, run, map, win);
    std::string expected =
        "\n\n\tHay dos tipos de tratamientos disponibles. El primero usa una malla cuadrada "
        "\n\ty el segundo utiliza una ventana m\xA2vil que barre la imagen desde la esquina "
        "superior "
        "\n\tizquierda a la esquina inferior derecha. En el primer caso, el resultado "
        "\n\tse registra en la celda; en el segundo caso, el resultado obtenido se guarda"
        "\n\ten el p\xA1xel central de la ventana m\xA2vil ."
        "\n\tEl tama\xA4o de la celda o de la ventana m\xA2vil se calcula seg\xA3n el rango R "
        "\n\n\tAyuda para definir e investigar el valor del rango: "
        "\n\t\t0 ====> si\n\t\t1 ====> no\n\t\t"
        "\n\tLa estimaci\xA2n del rango depende del tama\xA4o m del borde del p\xA1xel"
        "\n\ty de la superficie S de la ventana m\xA2vil "
        "\n\n\t\tborde del p\xA1xel (en metros) ? "
        "\t\tsuperficie de la ventana (en km2) ? "
        "\n\t\tR para una ventana cuadrada : 35 "
        "\n\t\tR para una ventana circular : 40 "
        "\n\n\t\xA8Rango R de la ventana m\xA2vil definido por el usuario? "
        "\n\n\tElecci\xA2n del tipo de tratamiento: "
        "\n\t\t0 ====> malla de celdas\n\t\t1 ====> ventana m\xA2vil\n\t\t"
        "\n\tDos formas de ventana m\xA2vil disponibles: cuadrangular o circular "
        "\n\tEl tama\xA4o de la ventana se calcula seg\xA3n su rango R "
        "\n\tSi es un cuadrado, los bordes m (en p\xA1xeles) de la ventana son iguales "
        "\n\ta m = (R x 2) + 1. "
        "\n\tSi es un c\xA1rculo, el radio del c\xA1rculo rc ser\xA0 igual a rc = R + 0.5 "
        "\n\n\tForma de ventana m\xA2vil: "
        "\n\t\t0 ====> cuadrado\n\t\t1 ====> c\xA1rculo\n\t\t"
        "\n\tPar\xA0metros de la ventana m\xA2vil circular: "
        "\n\t\tRadio rc (en p\xA1xeles) = R + 0.5 = 0.50 "
        "\n\t\tSuperficie circular (en p\xA1xeles) = 1 "
        "\n\t\tEn relaci\xA2n con el tama\xA4o del p\xA1xel (100 x 100 metros)"
        "\n\t\tla superficie de la ventana m\xA2vil circular es de 1.000 ha (0.010 km2) "
        "\n\n\t\xA8Son adecuados estos tama\xA4os? "
        "\n\t\t0 ====> si\n\t\t1 ====> no\n\t\t";
    EXPECT_EQ(s.out.str(), expected);
    EXPECT_EQ(run.range_win, 0);
    EXPECT_EQ(win.num_pix_circ, 1);
}

// The report file is created as soon as its name is known; the corner coordinates are
// asked only when an ascii grid is to be written from a map that gave none.
TEST(Outputs, ReportNameFormatAndCoordinates) {
    ReportFolder folder("outputs");
    std::filesystem::path report = folder.root / "res_info.txt";
    {
        std::ofstream old(report);
        old << "an older report";
    }
    {
        Session s("res 3 2 east 612345.5 4412345.25");
        RunAnswers run;
        run.nomim3 = folder.prefix();
        LoadedMap map = map_with_pixel(30.0, false);
        Report rep;
        choose_outputs(s.con, run, map, rep);
        EXPECT_EQ(s.out.str(), "\n\n\tGeneric name of the result ? \n\timage format: " +
                                   kFormatMenu + kFormatMenu +
                                   "\n\tUTM Coordinates: \n\t\tX_min ? \n\t\tX_min ? "
                                   "\t\tY_min ? ");
        EXPECT_EQ(run.nomim3, folder.prefix() + "res");
        EXPECT_EQ(run.nom_info, report.string());
        EXPECT_EQ(run.res_form, 2);
        EXPECT_TRUE(map.UTM_coord);
        EXPECT_EQ(map.X_min, 612345.5);
        EXPECT_EQ(map.Y_min, 4412345.25);
        ASSERT_NE(rep.f3, nullptr);
        // The older report is replaced only when the new one is closed whole.
        EXPECT_EQ(tf::slurp(report), "an older report");
        EXPECT_TRUE(rep.close());
    }
    EXPECT_EQ(std::filesystem::file_size(report), 0u);
    {
        // A map read from an ascii grid knows its corner: nothing more is asked.
        Session s("autre 2");
        RunAnswers run;
        run.idiom = 1;
        run.nomim3 = folder.prefix();
        LoadedMap map = map_with_pixel(30.0, true);
        map.X_min = 1.0;
        Report rep;
        choose_outputs(s.con, run, map, rep);
        EXPECT_EQ(s.out.str(),
                  "\n\n\tNom g\x82n\x82rique du resultat ? \n\tformat des images : " + kFormatMenu);
        EXPECT_EQ(map.X_min, 1.0);
        EXPECT_FALSE(std::filesystem::exists(folder.root / "autre_info.txt"));
        EXPECT_TRUE(rep.close());
        EXPECT_TRUE(std::filesystem::exists(folder.root / "autre_info.txt"));
    }
    {
        Session s("otro 2 1 2");
        RunAnswers run;
        run.idiom = 2;
        run.nomim3 = folder.prefix();
        LoadedMap map = map_with_pixel(30.0, false);
        Report rep;
        choose_outputs(s.con, run, map, rep);
        EXPECT_EQ(s.out.str(),
                  "\n\n\t\xA8Nombre gen\x82rico del resultado? \n\tformato de las im\xA0genes: " +
                      kFormatMenu + "\n\tCoordenadas UTM: \n\t\tX_min ? \t\tY_min ? ");
    }
}
