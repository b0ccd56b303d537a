// The catalogue: every text the program prints or writes, in one place.
//
// A Text holds one message in English, French and Spanish. Letters outside ASCII are
// %c placeholders; the braces after a string list, in order, the code page 850 bytes
// that fill them. Texts that are the same in every language are plain strings.
// Report lines are written to a file as they stand (plain ASCII, and the one byte
// 0xE9 of the French closing paragraph).
#pragma once

#include "text/format_text.h"
#include "text/letters.h"

namespace txt {

// ---------------------------------------------------------------- banner
inline constexpr const char* banner_top_first = "\n\n\t%c%c%c%c%c%c%c%c%c%c%c%c";
inline constexpr const char* banner_bottom_first = "\n\t%c%c%c%c%c%c%c%c%c%c%c%c";
inline constexpr const char* banner_border_middle = "%c%c%c%c%c%c%c%c%c%c%c%c%c";
inline constexpr const char* banner_top_last = "%c%c%c%c%c%c%c%c%c%c%c%c";
inline constexpr const char* banner_bottom_last = "%c%c%c%c%c%c%c%c%c%c%c%c\n\n";
inline constexpr const char* banner_blank_row =
    "\n\t%c                                                             %c";
inline constexpr const char* banner_name_row =
    "\n\t%c                       LANDMOSAIC                            %c";
inline constexpr const char* banner_credit_row =
    "\n\t%c                                  Open landscape tools       %c";
inline constexpr const char* banner_version_row =
    "\n\t%c                                       Version May 2023      %c";

// ---------------------------------------------------------------- dialogue, same in all languages
inline constexpr const char* language_heading = "\n\tLanguage: ";
inline constexpr const char* language_english = "\n\t\t0 ====> English";
inline constexpr const char* language_french = "\n\t\t1 ====> French";
inline constexpr const char* language_spanish = "\n\t\t2 ====> Spanish";
inline constexpr const char* menu_end = "\n\t\t";
inline constexpr const char* disk_choices = "\n\t\t0 ====> C:\\images\n\t\t1 ====> D:\\images";
inline constexpr const char* format_choices_01 = "\n\t\t0 ====> raster\n\t\t1 ====> bitmap";
inline constexpr const char* format_choice_2 = "\n\t\t2 ====> ascii\n\t\t";
inline constexpr const char* x_min_prompt = "\n\t\tX_min ? ";
inline constexpr const char* y_min_prompt = "\t\tY_min ? ";

// ---------------------------------------------------------------- step 3: description
inline constexpr Text description[6] = {
    {{"\n\n\tThis program studies the regional disposition of various geomorphological "},
     {"\n\n\tCe programme %ctudie la disposition r%cgionale de divers %cl%cments "
      "g%comorphologiques ",
      {etono, etono, etono, etono, etono}},
     {"\n\n\tEste programa estudia la disposici%cn regional de diversas formaciones ", {otono}}},
    {{"\n\tformations as they appear on a map. First, it calculates the number of"},
     {"\n\tg%comorphologiques tels qu'ils apparaissent sur une carte. Le programme recherche",
      {etono}},
     {"\n\tgeomorfol%cgicas tal como aparecen en un mapa. El programa primero busca ", {otono}}},
    {{"\n\tformations on the geomorphological map, providing among other things, the"},
     {"\n\ttout d'abord le nombre de formations g%comorphologiques de la carte,", {etono}},
     {"\n\tel numero de formaciones presentes en el mapa, proporcionando entre otras "}},
    {{"\n\toverall percentage of occupation."},
     {"\n\tfournissant entre autres, leur pourcentage global d'occupation. "},
     {"\n\tcosas, el porcentaje de ocupaci%cn total. Luego, el programa estudia la", {otono}}},
    {{"\n\tThen, it studies the distribution and arrangement of each of these formations"},
     {"\n\tIl %ctudie ensuite la distribution et l'arrangement de chacune de ces formations ",
      {etono}},
     {"\n\tdistribuci%cn y el arreglo de cada una de estas formaciones, utilizando ", {otono}}},
    {{"\n\tusing cell mesh or a moving window. "},
     {"\n\t%c l'aide d'un maillage cellulaire ou d'une fen%ctre mobile.", {fatono, circonf}},
     {"\n\tmalla de celdas o una ventana m%cvil. ", {otono}}},
};

// ---------------------------------------------------------------- step 4: disk
inline constexpr Text disk_heading{{"\n\n\tName of the Disk:"},
                                   {"\n\n\tDisque %c utiliser :", {fatono}},
                                   {"\n\n\tNombre del Disco:"}};
inline constexpr Text disk_choice_2{{"\n\t\t2 ====> defined by the user\n\t\t"},
                                    {"\n\t\t2 ====> d%cfini par l'utilisateur\n\t\t", {etono}},
                                    {"\n\t\t2 ====> definido por el usuario\n\t\t"}};
inline constexpr Text disk_prompt{
    {"\n\tName of the disk ? "}, {"\n\tNom du disque ? "}, {"\n\tNombre del disco ? "}};

// ---------------------------------------------------------------- steps 5 to 7
inline constexpr Text folder_prompt{
    {"\n\n\tName of the File Folder located in the Directory %s : "},
    {"\n\n\tNom de l'archive situ%c dans %s : ", {etono}},
    {"\n\n\tNombre del archivo ubicado en %s : "}};
inline constexpr Text image_prompt{
    {"\n\tName of the image to be studied (without any extension) ? "},
    {"\n\tNom de l'image %c %ctudier (sans aucune extension) ? ", {fatono, etono}},
    {"\n\tNombre de la imagen a estudiar (sin ninguna extensi%cn) ? ", {otono}}};
inline constexpr Text format_heading{
    {"\n\tImage type: "}, {"\n\tFormat de l'image : "}, {"\n\tFormato de la imagen: "}};

// ---------------------------------------------------------------- step 9a: treatment description
inline constexpr Text treatment_description[6] = {
    {{"\n\n\tTwo types of treatments are available. The first uses a cellular mesh and"},
     {"\n\n\tDeux types de traitements sont disponibles. Le premier utilise un maillage "
      "cellulaire"},
     {"\n\n\tHay dos tipos de tratamientos disponibles. El primero usa una malla cuadrada "}},
    {{"\n\tthe second uses a moving window that scans the image from the top left corner "},
     {"\n\tet le second utilise une fen%ctre mobile qui scanne l'image du coin sup%crieur ",
      {circonf, etono}},
     {"\n\ty el segundo utiliza una ventana m%cvil que barre la imagen desde la esquina superior ",
      {otono}}},
    {{"\n\tto the lower right corner. In the first case, the result is reported in the "},
     {"\n\tgauche vers le coin inf%crieur droit. Dans le premier cas, le r%csultat ",
      {etono, etono}},
     {"\n\tizquierda a la esquina inferior derecha. En el primer caso, el resultado "}},
    {{"\n\tcuadratic cell; in the second case, the result is registered on the pixel that "},
     {"\n\tobtenu est rapport%c dans la cellule ; dans le second cas, le r%csultat est ",
      {etono, etono}},
     {"\n\tse registra en la celda; en el segundo caso, el resultado obtenido se guarda"}},
    {{"\n\tcorresponds to the center of the mobile window. "},
     {"\n\treport%c sur le pixel correspondant au centre de la fen%ctre mobile. ",
      {etono, circonf}},
     {"\n\ten el p%cxel central de la ventana m%cvil .", {itono, otono}}},
    {{"\n\tThe size of the mobile cell or window is calculated according to the rank R "},
     {"\n\tLa taille de la cellule ou de la fen%ctre mobile est calcul%ce en fonction du rang R ",
      {circonf, etono}},
     {"\n\tEl tama%co de la celda o de la ventana m%cvil se calcula seg%cn el rango R ",
      {tilde, otono, utono}}},
};

// ---------------------------------------------------------------- step 9b: rank help
inline constexpr Text help_heading{
    {"\n\n\tHelp for the definition of the rank value ? "},
    {"\n\n\tAide %c la d%cfinition et %c la recherche de la valeur du rang : ",
     {fatono, etono, fatono}},
    {"\n\n\tAyuda para definir e investigar el valor del rango: "}};
inline constexpr Text yes_no_menu{{"\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t"},
                                  {"\n\t\t0 ====> oui\n\t\t1 ====> non\n\t\t"},
                                  {"\n\t\t0 ====> si\n\t\t1 ====> no\n\t\t"}};
inline constexpr Text help_explanation[2] = {
    {{"\n\tThe rank estimate depends on the size m of the edge of the pixel "},
     {"\n\tL'estimation du rang d%cpend de la taille m du bord du pixel ", {etono}},
     {"\n\tLa estimaci%cn del rango depende del tama%co m del borde del p%cxel",
      {otono, tilde, itono}}},
    {{"\n\tand the surface S of the cuadratic cell or mobile window. "},
     {"\n\tet de la surface S de la cellule ou de la fen%ctre mobile. ", {circonf}},
     {"\n\ty de la superficie S de la ventana m%cvil ", {otono}}},
};
inline constexpr Text help_pixel_edge{{"\n\n\t\tPixel edge (en meters) ? ? "},
                                      {"\n\n\t\tbord de pixel (en m%ctres) ? ? ", {egrave}},
                                      {"\n\n\t\tborde del p%cxel (en metros) ? ", {itono}}};
inline constexpr Text help_surface{
    {"\t\tsurface of the cell or moving window (in km2) ? "},
    {"\t\tsurface de la cellule ou de la fen%ctre (en km2) ? ", {circonf}},
    {"\t\tsuperficie de la ventana (en km2) ? "}};
inline constexpr Text help_r_square{
    {"\n\t\tR for a cell or a cuadratic moving window : %d "},
    {"\n\t\tR pour une cellule ou une fen%ctre carr%ce : %d ", {circonf, etono}},
    {"\n\t\tR para una ventana cuadrada : %d "}};
inline constexpr Text help_r_circle{
    {"\n\t\tR for a circular moving window            : %d "},
    {"\n\t\tR pour un fen%ctre mobile circulaire       : %d ", {circonf}},
    {"\n\t\tR para una ventana circular : %d "}};

// ---------------------------------------------------------------- steps 9c to 9e
inline constexpr Text rank_prompt{
    {"\n\n\tChoice of the rank R from the user: "},
    {"\n\n\tChoix du rang R par l'usager : "},
    {"\n\n\t%cRango R de la ventana m%cvil definido por el usuario? ", {inter, otono}}};
inline constexpr Text treat_heading{{"\n\n\tChoice of type of treatment: "},
                                    {"\n\n\tChoix du type de traitement : "},
                                    {"\n\n\tElecci%cn del tipo de tratamiento: ", {otono}}};
inline constexpr Text treat_menu{
    {"\n\t\t0 ====> cell mesh\n\t\t1 ====> moving window\n\t\t"},
    {"\n\t\t0 ====> maille cellulaire\n\t\t1 ====> fen%ctre mobile\n\t\t", {circonf}},
    {"\n\t\t0 ====> malla de celdas\n\t\t1 ====> ventana m%cvil\n\t\t", {otono}}};
inline constexpr Text shape_description[5] = {
    {{"\n\tTwo forms of moving window are available: quadrangular or circular."},
     {"\n\tDeux formes de fenetre mobile sont disponibles : quadrangulaire ou circulaire."},
     {"\n\tDos formas de ventana m%cvil disponibles: cuadrangular o circular ", {otono}}},
    {{"\n\tThe size of the window is calculated according to its rank R "},
     {"\n\tLa taille de la fen%ctre se calcule en fonction de son rang R ", {circonf}},
     {"\n\tEl tama%co de la ventana se calcula seg%cn su rango R ", {tilde, utono}}},
    {{"\n\tIf it is a square, the edges m (in pixels) of the window are equal to "},
     {"\n\tS'il s'agit d'un carr%c, les ar%ctes m (en pixels) de la fen%ctre sont ",
      {etono, circonf, circonf}},
     {"\n\tSi es un cuadrado, los bordes m (en p%cxeles) de la ventana son iguales ", {itono}}},
    {{"\n\t\tm = (R x 2) + 1. "},
     {"\n\t%cgales %c m = (R x 2) + 1. ", {etono, fatono}},
     {"\n\ta m = (R x 2) + 1. "}},
    {{"\n\tIf it is a circle, the radius of the circle rc will be equal to rc = R + 0.5 "},
     {"\n\tS'il s'agit d'un cercle le rayon du cercle rc sera %cgal %c rc = R + 0.5 ",
      {etono, fatono}},
     {"\n\tSi es un c%crculo, el radio del c%crculo rc ser%c igual a rc = R + 0.5 ",
      {itono, itono, atono}}},
};
inline constexpr Text shape_heading{{"\n\n\tMoving window shape: "},
                                    {"\n\n\tForme de la fenetre mobile : "},
                                    {"\n\n\tForma de ventana m%cvil: ", {otono}}};
inline constexpr Text shape_menu{{"\n\t\t0 ====> square\n\t\t1 ====> circle\n\t\t"},
                                 {"\n\t\t0 ====> carr%c\n\t\t1 ====> cercle\n\t\t", {etono}},
                                 {"\n\t\t0 ====> cuadrado\n\t\t1 ====> c%crculo\n\t\t", {itono}}};

// ---------------------------------------------------------------- step 9f: sizes
inline constexpr Text cell_heading{{"\n\tCell mesh characteristics: "},
                                   {"\n\tParam%ctres de la cellule quadratique : ", {egrave}},
                                   {"\n\tPar%cmetros de la celda cuadr%ctica: ", {atono, atono}}};
inline constexpr Text m_line{{"\n\t\tm (in pixels) = (R x 2) + 1 = (%d x 2) + 1"},
                             {"\n\t\tm (en pixels) = (R x 2) + 1 = (%d x 2) + 1"},
                             {"\n\t\tm = (R x 2) + 1 = (%d x 2) + 1"}};
inline constexpr Text size_line{{"\n\t\twindow size in pixels (m x m) = %d x %d "},
                                {"\n\t\ttaille de la fen%ctre en pixels = %d x %d ", {circonf}},
                                {"\n\t\ttama%co de la ventana = %d x %d ", {tilde}}};
inline constexpr Text pixels_line{{"\n\t\tsurface in pixels = %d "},
                                  {"\n\t\tsurface en pixels = %d "},
                                  {"\n\t\tsuperficie (en p%cxeles) = %d ", {itono}}};
inline constexpr Text pixel_size_line{
    {"\n\t\taccording to the pixel size (%d x %d meters)"},
    {"\n\t\ten accord avec la taille du pixel (%d x %d m%ctres)", {egrave}},
    {"\n\t\tde acuerdo con el tama%co del p%cxel (%d x %d metros)", {tilde, itono}}};
inline constexpr Text cell_surface{{"\n\t\tthe surface of a cell is %.3lf ha (%.3lf km2) "},
                                   {"\n\t\tla surface de la cellule est de %.3lf ha (%.3lf km2) "},
                                   {"\n\t\tla superficie de la celda es de %.3lf ha (%.3lf km2) "}};
inline constexpr Text square_heading{
    {"\n\tQuadratic moving window characteristics: "},
    {"\n\tParam%ctres de la fen%ctre mobile quadratique : ", {egrave, circonf}},
    {"\n\tPar%cmetros de la ventana m%cvil cuadr%ctica: ", {atono, otono, atono}}};
inline constexpr Text square_surface{
    {"\n\t\tthe surface of the moving window is %.3lf ha (%.3lf km2) "},
    {"\n\t\tla surface de la fen%ctre mobile est de %.3lf ha (%.3lf km2) ", {circonf}},
    {"\n\t\tla superficie de la ventana m%cvil es de %.3lf ha (%.3lf km2) ", {otono}}};
inline constexpr Text circle_heading{
    {"\n\tCircular moving window characteristics: "},
    {"\n\tParam%ctres de la fen%ctre mobile circulaire : ", {egrave, circonf}},
    {"\n\tPar%cmetros de la ventana m%cvil circular: ", {atono, otono}}};
inline constexpr Text radius_line{{"\n\t\tRadius rc (in pixels) = R + 0.5 = %.2lf "},
                                  {"\n\t\tRayon rc (en pixels) = R + 0.5 = %.2lf "},
                                  {"\n\t\tRadio rc (en p%cxeles) = R + 0.5 = %.2lf ", {itono}}};
inline constexpr Text circle_pixels{{"\n\t\tcircular surface (in pixels) = %d "},
                                    {"\n\t\tSurface circulaire (en pixels) = %d "},
                                    {"\n\t\tSuperficie circular (en p%cxeles) = %d ", {itono}}};
inline constexpr Text circle_pixel_size{
    {"\n\t\taccording to the pixel size (%d x %d meters)"},
    {"\n\t\tEn relation avec la taille du pixel (%d x %d m%ctres)", {egrave}},
    {"\n\t\tEn relaci%cn con el tama%co del p%cxel (%d x %d metros)", {otono, tilde, itono}}};
inline constexpr Text circle_surface{
    {"\n\t\tthe surface of the circular moving window is %.3lf ha (%.3lf km2) "},
    {"\n\t\tla surface de la fen%ctre mobile circulaire est de %.3lf ha (%.3lf km2) ", {circonf}},
    {"\n\t\tla superficie de la ventana m%cvil circular es de %.3lf ha (%.3lf km2) ", {otono}}};
inline constexpr Text confirmation{{"\n\n\tAre these sizes suitable? "},
                                   {"\n\n\tCes dimensions conviennent-elles ? "},
                                   {"\n\n\t%cSon adecuados estos tama%cos? ", {inter, tilde}}};

// ---------------------------------------------------------------- steps 10, 11, 15
inline constexpr Text result_name_prompt{
    {"\n\n\tGeneric name of the result ? "},
    {"\n\n\tNom g%cn%crique du resultat ? ", {etono, etono}},
    {"\n\n\t%cNombre gen%crico del resultado? ", {inter, etono}}};
// A result name that cannot be used: said, then the name is asked again.
inline constexpr Text result_name_refused{
    {"\n\tThe result name %s cannot be used: %s \n"},
    {"\n\tLe nom de r%csultat %s ne peut pas %ctre utilis%c : %s \n", {etono, circonf, etono}},
    {"\n\tEl nombre de resultado %s no se puede usar: %s \n"}};
inline constexpr Text reason_name_empty{
    {"it is empty"}, {"il est vide"}, {"est%c vac%co", {atono, itono}}};
inline constexpr Text reason_name_separator{{"it holds a folder separator"},
                                            {"il contient un s%cparateur de dossiers", {etono}},
                                            {"contiene un separador de carpetas"}};
inline constexpr Text reason_name_dots{{"it holds .."}, {"il contient .."}, {"contiene .."}};
inline constexpr Text reason_name_control{{"it holds a control character"},
                                          {"il contient un caract%cre de commande", {egrave}},
                                          {"contiene un car%ccter de control", {atono}}};
inline constexpr Text result_name_clash{
    {"\n\tThe result file %s would replace the map file %s \n"},
    {"\n\tLe fichier r%csultat %s remplacerait le fichier de la carte %s \n", {etono}},
    {"\n\tEl archivo de resultado %s reemplazar%ca el archivo del mapa %s \n", {itono}}};
inline constexpr Text result_format_heading{{"\n\timage format: "},
                                            {"\n\tformat des images : "},
                                            {"\n\tformato de las im%cgenes: ", {atono}}};
inline constexpr Text coordinates_heading{
    {"\n\tUTM Coordinates: "}, {"\n\tCoordonn%ces UTM : ", {etono}}, {"\n\tCoordenadas UTM: "}};
inline constexpr Text end_message{
    {"\n\n\tto exit the program, hit any key on the keyboard \n\t"},
    {"\n\n\tpour sortir du programme, frapper une touche quelconque du clavier \n\t"},
    {"\n\n\tpara salir del programa, presione cualquier tecla en el teclado \n\t"}};

// ---------------------------------------------------------------- map loading
inline constexpr Text raw_header_missing{
    {"\n\tNo File  %s \n"}, {"\n\tAbsence de fichier  %s \n"}, {"\n\tEl archivo %s no existe  \n"}};
inline constexpr Text ask_lines{{"\n\t\tNumber of lines? "},
                                {"\n\t\tNombre de lignes ? "},
                                {"\n\t\tN%cmero de l%cneas? ", {utono, itono}}};
inline constexpr Text ask_columns{{"\n\t\tNumber of columns? "},
                                  {"\n\t\tNombre de colonnes ? "},
                                  {"\n\t\tN%cmero de columnas? ", {utono}}};
inline constexpr Text ask_pixel_size{{"\n\t\tPixel size? "},
                                     {"\n\t\tTaille du pixel ? "},
                                     {"\n\t\t%cTama%co del pixel? ", {inter, tilde}}};
inline constexpr Text raw_pixels_missing{
    {"\n\tNo File  %s \n"}, {"\n\tPas de Fichier  %s \n"}, {"\n\tNo existe la Fila  %s \n"}};
inline constexpr Text bmp_pixel_size{
    {"\n\tpixel size (decimal value in meters) ? "},
    {"\n\ttaille du pixel (valeur d%ccimale en m%ctres) ? ", {etono, egrave}},
    {"\n\t%ctama%co del p%cxel (valor decimal en metros)? ", {inter, tilde, itono}}};
inline constexpr Text ascii_missing{{"\n\tFile %s unknown\n"},
                                    {"\n\tAbsence de Fichier %s unknown\n"},
                                    {"\n\tNo existe la Fila %s \n"}};
inline constexpr Text ascii_progress{
    {"\tline %d             \r"}, {"\tligne %d             \r"}, {"\tlinea %d             \r"}};
inline constexpr Text size_first{
    {"\n\tTHIS IMAGE HAS:  "}, {"\n\tCETTE IMAGE A : "}, {"\n\tESTA IMAGEN TIENE: "}};
inline constexpr Text size_lines{
    {"\n\t            %d LINES"}, {"\n\t            %d LIGNES"}, {"\n\t            %d LINEAS"}};
inline constexpr Text size_columns{{"\n\t        AND %d COLUMNS"},
                                   {"\n\t         ET %d COLONNES"},
                                   {"\n\t          Y %d COLUMNAS"}};

// Refused input files: the file is named, then the reason (one of the reasons below).
inline constexpr Text file_refused{{"\n\tFile %s refused: %s \n"},
                                   {"\n\tFichier %s refus%c : %s \n", {etono}},
                                   {"\n\tArchivo %s rechazado: %s \n"}};
inline constexpr Text reason_cannot_open{{"the file cannot be opened"},
                                         {"le fichier ne peut pas %ctre ouvert", {circonf}},
                                         {"el archivo no se puede abrir"}};
inline constexpr Text reason_header_unreadable{
    {"its header cannot be read"},
    {"son en-t%cte ne peut pas %ctre lu", {circonf, circonf}},
    {"su encabezado no se puede leer"}};
inline constexpr Text reason_bad_sizes{
    {"%d lines and %d columns is not a valid size"},
    {"%d lignes et %d colonnes n'est pas une taille valide"},
    {"%d l%cneas y %d columnas no es un tama%co v%clido", {itono, tilde, atono}}};
inline constexpr Text reason_too_large{
    {"%d lines and %d columns do not fit in memory"},
    {"%d lignes et %d colonnes ne tiennent pas en m%cmoire", {etono}},
    {"%d l%cneas y %d columnas no caben en la memoria", {itono}}};
inline constexpr Text reason_too_short{
    {"the file is too short"}, {"le fichier est trop court"}, {"el archivo es demasiado corto"}};
inline constexpr Text reason_not_bitmap{{"it is not a bitmap (wrong signature)"},
                                        {"ce n'est pas un bitmap (mauvaise signature)"},
                                        {"no es un bitmap (firma incorrecta)"}};
inline constexpr Text reason_bitmap_form{
    {"unsupported bitmap form (8-bit with 256 colours or 24-bit only)"},
    {"forme de bitmap non prise en charge (8 bits avec 256 couleurs ou 24 bits seulement)"},
    {"forma de bitmap no admitida (solo 8 bits con 256 colores o 24 bits)"}};
inline constexpr Text reason_compressed{
    {"compressed bitmaps are not supported"},
    {"les bitmaps compress%cs ne sont pas pris en charge", {etono}},
    {"los bitmaps comprimidos no se admiten"}};
inline constexpr Text reason_colour{
    {"a 24-bit bitmap must be grey (blue = green = red)"},
    {"un bitmap 24 bits doit %ctre gris (bleu = vert = rouge)", {circonf}},
    {"un bitmap de 24 bits debe ser gris (azul = verde = rojo)"}};
inline constexpr Text reason_few_cells{
    {"it holds fewer cells than its header declares"},
    {"il contient moins de cellules que son en-t%cte n'en d%cclare", {circonf, etono}},
    {"contiene menos celdas de las que declara su encabezado"}};
inline constexpr Text reason_not_integer{{"a cell is not an integer: %s"},
                                         {"une cellule n'est pas un entier : %s"},
                                         {"una celda no es un entero: %s"}};
inline constexpr Text reason_not_regular{{"it is not a regular file"},
                                         {"ce n'est pas un fichier ordinaire"},
                                         {"no es un archivo regular"}};
inline constexpr Text reason_raw_short{{"it holds %lld bytes, %lld expected"},
                                       {"il contient %lld octets, %lld attendus"},
                                       {"contiene %lld bytes, %lld esperados"}};
// A raw pixel file longer than its header says: the first bytes are read.
inline constexpr Text raw_long_warning{
    {"\n\tWarning: file %s holds %lld bytes, %lld expected; the bytes after them are ignored \n"},
    {"\n\tAttention : le fichier %s contient %lld octets, %lld attendus ; les octets suivants "
     "sont ignor%cs \n",
     {etono}},
    {"\n\tAtenci%cn: el archivo %s contiene %lld bytes, %lld esperados; los bytes siguientes se "
     "ignoran \n",
     {otono}}};
// An ASCII grid with cells after the declared ones.
inline constexpr Text ascii_extra_warning{
    {"\n\tWarning: file %s holds more cells than its header declares; they are ignored \n"},
    {"\n\tAttention : le fichier %s contient plus de cellules que son en-t%cte n'en d%cclare ; "
     "elles sont ignor%ces \n",
     {circonf, etono, etono}},
    {"\n\tAtenci%cn: el archivo %s contiene m%cs celdas de las que declara su encabezado; se "
     "ignoran \n",
     {otono, atono}}};
// A run under the whole-window rule where many windows count pixels of no class in
// their surface.
inline constexpr Text unclassified_windows_warning{
    {"\n\tWarning: %s %% of the windows hold unclassified pixels (255), counted in their "
     "surface; --min-valid PCT values the pixels of a class over their classified pixels \n"},
    {"\n\tAttention : %s %% des fen%ctres contiennent des pixels non class%cs (255), compt%cs "
     "dans leur surface ; --min-valid PCT %cvalue les pixels d'une classe sur leurs pixels "
     "class%cs \n",
     {circonf, etono, etono, etono, etono}},
    {"\n\tAtenci%cn: el %s %% de las ventanas contiene pixeles no clasificados (255), contados "
     "en su superficie; --min-valid PCT eval%ca los pixeles de una clase sobre sus pixeles "
     "clasificados \n",
     {otono, utono}}};
// The same for the cells of a mesh.
inline constexpr Text unclassified_cells_warning{
    {"\n\tWarning: %s %% of the cells hold unclassified pixels (255), counted in their "
     "surface; --min-valid PCT values the pixels of a class over their classified pixels \n"},
    {"\n\tAttention : %s %% des cellules contiennent des pixels non class%cs (255), compt%cs "
     "dans leur surface ; --min-valid PCT %cvalue les pixels d'une classe sur leurs pixels "
     "class%cs \n",
     {etono, etono, etono, etono}},
    {"\n\tAtenci%cn: el %s %% de las celdas contiene pixeles no clasificados (255), contados "
     "en su superficie; --min-valid PCT eval%ca los pixeles de una clase sobre sus pixeles "
     "clasificados \n",
     {otono, utono}}};
inline constexpr Text header_not_written{
    {"\n\tThe header file %s could not be written \n"},
    {"\n\tLe fichier d'en-t%cte %s n'a pas pu %ctre %ccrit \n", {circonf, circonf, etono}},
    {"\n\tNo se pudo escribir el archivo de encabezado %s \n"}};

// ---------------------------------------------------------------- item inventory
inline constexpr const char* hist_explor_line = "\n\thist_explor[%d] = %d ";
inline constexpr const char* item_line = "\n\titem %d code %d pixels %d percent %.2lf ";
inline constexpr Text highest_code{{"\n\n\tMax. Value of the histogram = %d \n"},
                                   {"\n\n\tValeur Max. de l'histogramme = %d \n"},
                                   {"\n\n\tValor Max. del histograma = %d \n"}};
inline constexpr Text item_count{{"\n\n\tNumber of items = %d \n"},
                                 {"\n\n\tNombre d'items = %d \n"},
                                 {"\n\n\tN%cmero de items = %d \n", {utono}}};

// ---------------------------------------------------------------- treatment
inline constexpr Text treatment_heading{
    {"\n\n\tTreatment\n\n"}, {"\n\n\tTraitement\n\n"}, {"\n\n\tTratamiento\n\n"}};
inline constexpr Text treatment_progress{{"\t\tline %d              \r"},
                                         {"\t\tligne %d             \r"},
                                         {"\t\tlinea %d             \r"}};
inline constexpr const char* max_histo_line = "\n\n\tmax_histo = %d \n";
inline constexpr const char* histo_div_line = "\n\thisto_div[%d] = %d ";

// ---------------------------------------------------------------- mesh drawing
inline constexpr Text mesh_question{{"\n\n\tdo you want to draw the cell mesh on the image %s: "},
                                    {"\n\n\tvoulez-vous dessiner la maille sur l'image %s : "},
                                    {"\n\n\tdesean dibujar la malla de celdas en la imagen %s: "}};
inline constexpr Text mesh_drawing{
    {"\n\tmesh drawing "}, {"\n\tdessin de la maille "}, {"\n\tdibujo de la malla "}};

// ---------------------------------------------------------------- result images
// Printed on the console before each image written as an ASCII grid.
inline constexpr const char* ascii_grid_gap = "\n\n";

// ---------------------------------------------------------------- failures of the run
inline constexpr Text input_ended{
    {"\n\n\tThe answers ended before the dialogue was over.\n"},
    {"\n\n\tLes r%cponses se sont arr%ct%ces avant la fin du dialogue.\n", {etono, circonf, etono}},
    {"\n\n\tLas respuestas terminaron antes del final del di%clogo.\n", {atono}}};
inline constexpr Text out_of_memory{
    {"\n\tNot enough memory for a grid of %d columns and %d lines \n"},
    {"\n\tPas assez de m%cmoire pour une grille de %d colonnes et %d lignes \n", {etono}},
    {"\n\tNo hay memoria suficiente para una malla de %d columnas y %d l%cneas \n", {itono}}};
inline constexpr Text memory_exhausted{{"\n\tNot enough memory \n"},
                                       {"\n\tPas assez de m%cmoire \n", {etono}},
                                       {"\n\tNo hay memoria suficiente \n"}};
inline constexpr Text report_not_created{
    {"\n\tThe report file %s cannot be created \n"},
    {"\n\tLe fichier de rapport %s ne peut pas %ctre cr%c%c \n", {circonf, etono, etono}},
    {"\n\tNo se puede crear el archivo de informe %s \n"}};
inline constexpr Text result_not_written{
    {"\n\tThe result file %s could not be written \n"},
    {"\n\tLe fichier r%csultat %s n'a pas pu %ctre %ccrit \n", {etono, circonf, etono}},
    {"\n\tNo se pudo escribir el archivo de resultado %s \n"}};
inline constexpr Text run_cancelled{
    {"\n\tThe run was cancelled: no result file was written \n"},
    {"\n\tLe traitement a %ct%c interrompu : aucun fichier r%csultat n'a %ct%c %ccrit \n",
     {etono, etono, etono, etono, etono, etono}},
    {"\n\tEl tratamiento fue interrumpido: no se escribi%c ning%cn archivo de resultado \n",
     {otono, utono}}};

// ---------------------------------------------------------------- report file (plain ASCII)
struct ReportLine {
    const char* lang[3];
    const char* in(int idiom) const { return lang[idiom == 1 ? 1 : idiom == 2 ? 2 : 0]; }
};
inline constexpr ReportLine report_title{{"\n\n\t\tPROGRAM LANDMOSAIC",
                                          "\n\n\t\tPROGRAMME LANDMOSAIC",
                                          "\n\n\t\tPROGRAMA LANDMOSAIC_CIRCLE"}};
inline constexpr ReportLine report_image_heading{
    {"\n\n\tProgram applied to the image: ", "\n\n\tProgramme applique a l'image : ",
     "\n\n\tPrograma applicado a la imagen: "}};
inline constexpr ReportLine report_image_name{{"\n\t\t%s ", "\n\t\t%s ", "\n\t\t%s "}};
inline constexpr ReportLine report_features{
    {"\n\n\tMain features: ", "\n\n\tCaracteristiques generales : ",
     "\n\n\tPrincipales caracteristicas: "}};
inline constexpr ReportLine report_size{{"\n\t\tLines = %d\tColumns = %d ",
                                         "\n\t\tLignes = %d\tColonnes = %d ",
                                         "\n\t\tLineas = %d\tColumnas = %d "}};
inline constexpr ReportLine report_pixel_size{
    {"\n\t\tPixel size = %d ", "\n\t\tTaille du pixel = %d ", "\n\t\tTamano del pixel = %d "}};
inline constexpr ReportLine report_surface{{"\n\t\twhole surface %.3lf km2 ",
                                            "\n\t\tSurface totale %.3lf km2 ",
                                            "\n\t\tSuperficie total %.3lf km2 "}};
inline constexpr ReportLine report_item_count{{"\n\n\tNumber of items = %d \n",
                                               "\n\n\tNombre d'items = %d \n",
                                               "\n\n\tNumero de items = %d \n"}};
inline constexpr ReportLine report_item{{"\n\t\titem %d code %d pixels %d percent %.2lf ",
                                         "\n\t\titem %d code %d pixels %d percent %.2lf ",
                                         "\n\t\titem %d codigo %d pixels %d percent %.2lf "}};
inline constexpr ReportLine report_window_heading{
    {"\n\n\tMoving window characteristics: ", "\n\n\tCaracteristiques de la fenetre mobile : ",
     "\n\n\tCaracteristicas de la ventana movil: "}};
inline constexpr ReportLine report_square_form{
    {"\n\t\tChosen form: square", "\n\t\tForme choisie : carree", "\n\t\tForma elegida: cuadrado"}};
inline constexpr ReportLine report_square_heading{
    {"\n\t\tCuadricular moving window characteristics: ",
     "\n\t\tCaracteristiques de la fenetre carree : ",
     "\n\t\tCaracteristicas de la venetana cuadrada: "}};
inline constexpr ReportLine report_square_rank{
    {"\n\n\t\tm (in pixels) = (R x 2) + 1 = (%d x 2) + 1",
     "\n\n\t\tm (en pixels) = (R x 2) + 1 = (%d x 2) + 1",
     "\n\n\t\tm (en pixels) = (R x 2) + 1 = (%d x 2) + 1"}};
inline constexpr ReportLine report_square_size{
    {"\n\t\twindow size in pixels (m x m) = %d x %d ",
     "\n\t\tTaille de la fenetre en pixels (m x m) = %d x %d ",
     "\n\t\tTamano de la ventana en pixeles (m x m) = %d x %d "}};
inline constexpr ReportLine report_square_pixels{{"\n\t\tsurface in pixels = %d ",
                                                  "\n\t\tSurface en pixels = %d ",
                                                  "\n\t\tSuperficie en pixeles = %d "}};
inline constexpr ReportLine report_square_pixel_size{
    {"\n\t\taccording to the pixel size (%d x %d meters)",
     "\n\t\ten relation avec la taille du pixel (%d x %d meters)",
     "\n\t\tDe acuerdo con el tamano del pixel (%d x %d metros)"}};
inline constexpr ReportLine report_square_surface{
    {"\n\t\tthe surface of the mobil window is %.3lf ha (%.3lf km2) ",
     "\n\t\tla surface de la fenetre mobile est de %.3lf ha (%.3lf km2) ",
     "\n\t\tla superficie de la ventana movil cuadrada es de %.3lf ha (%.3lf km2) "}};
inline constexpr ReportLine report_circle_form{
    {"\n\t\tChosen form: circle", "\n\t\tForme choisie : cercle", "\n\t\tForme elegida: circulo"}};
inline constexpr ReportLine report_circle_heading{
    {"\n\t\tCircular moving window characteristics: ",
     "\n\t\tCaracteristiques de la fenetre mobile circulaire : ",
     "\n\t\tCaracteristicas de la ventana movil circular: "}};
inline constexpr ReportLine report_circle_radius{
    {"\n\t\t\tRadius rc (in pixels) = R + 0.5 = %.2lf ",
     "\n\t\t\tRayon rc (in pixels) = R + 0.5 = %.2lf ",
     "\n\t\t\tRadio rc (en pixeles) = R + 0.5 = %.2lf "}};
inline constexpr ReportLine report_circle_pixels{
    {"\n\t\t\tcircular surface (in pixels) = %d ", "\n\t\t\tSurface circulaire (en pixels) = %d ",
     "\n\t\t\tSuperficie circular (en pixeles) = %d "}};
inline constexpr ReportLine report_circle_pixel_size{
    {"\n\t\t\taccording to the pixel size (%d x %d meters)",
     "\n\t\t\ten accord avec la taille du pixel (%d x %d metres)",
     "\n\t\t\tDe acuerdo con el tamano del pixel (%d x %d metros)"}};
inline constexpr ReportLine report_circle_surface{
    {"\n\t\t\tthe surface of the circular moving window is %.3lf ha (%.3lf km2) ",
     "\n\t\t\tla surface de la fenetre mobile circulaire est de %.3lf ha (%.3lf km2) ",
     "\n\t\t\tla superficie de la ventana movil circular es de %.3lf ha (%.3lf km2) "}};
inline constexpr ReportLine report_closing[5] = {
    {{"\n\n\tAl final, the program will create two images. The first one ",
      "\n\n\tLe programme engendre deux images. La premiere correspond a la ",
      "\n\n\tEl programa genera dos imagenes. La primera corresponde a la "}},
    {{"\n\tcorresponds to the diversity registered using a percentage scale.",
      "\n\tdiversite enregistree sur une echelle en pourcentage.",
      "\n\tdiversidad registrada en una escala en porcentage."}},
    {{"\n\tThe second image is another illustation of the diversity based ",
      "\n\tLa seconde image est un autres type d'illustration de la diversite ",
      "\n\tLa segunda image es un otro tipo de ilustracion de la diversidad "}},
    {{"\n\ton the notion of homogeneity considered as the surface inside ",
      "\n\tqui se base sur la notion d'homogeneite en consid\xE9rant la taille du ",
      "\n\tque se basa sobre la nocion de homogeneidad tomando en cuenta "}},
    {{"\n\tthe moving window occuped by the greater element. \n",
      "\n\tplus grand element rencontre dans la fenetre mobile. \n",
      "\n\tel tamano del mas grande elemento encontrado en la ventana movil. \n"}},
};
inline constexpr ReportLine report_diversity_image{{"\n\t\tdiversity image: %s ",
                                                    "\n\t\timage de la diversite : %s ",
                                                    "\n\t\timagen de la diversidad: %s "}};
inline constexpr ReportLine report_homogeneity_image{{"\n\t\thomogeneity image: %s ",
                                                      "\n\t\timage de l'homogeneite : %s ",
                                                      "\n\t\timagen de la homogeneidad: %s "}};
inline constexpr ReportLine report_metric_image{{"\n\t\t%s image: %s ",
                                                 "\n\t\timage %s : %s ",
                                                 "\n\t\timagen %s: %s "}};
inline constexpr ReportLine report_min_valid{
    {"\n\n\tValid pixels: a pixel of a class gets values when at least %s %% of its window "
     "holds classified pixels; shares of the classified pixels ",
     "\n\n\tPixels valides : un pixel d'une classe recoit des valeurs quand au moins %s %% de "
     "sa fenetre porte des pixels classes ; parts des pixels classes ",
     "\n\n\tPixeles validos: un pixel de una clase recibe valores cuando al menos el %s %% de "
     "su ventana tiene pixeles clasificados; partes de los pixeles clasificados "}};

}  // namespace txt

// The texts of the batch runs (GDAL maps, the command line, its progress bar).
#include "text/catalogue_batch.h"
#include "text/catalogue_page.h"
