// The catalogue's texts of the batch runs: maps read through GDAL, the command line's
// options, usage errors, warnings and progress bar. Part of the catalogue: include
// text/catalogue.h, which includes this file.
#pragma once

#include "text/format_text.h"
#include "text/letters.h"

namespace txt {

// ---------------------------------------------------------------- maps read through GDAL
inline constexpr Text reason_no_gdal{
    {"this format is read through GDAL, which this build does not have"},
    {"ce format se lit avec GDAL, absent de cette version du programme"},
    {"este formato se lee con GDAL, ausente en esta versi%cn del programa", {otono}}};
inline constexpr Text reason_gdal_open{{"GDAL cannot read it"},
                                       {"GDAL ne peut pas le lire"},
                                       {"GDAL no puede leerlo"}};
inline constexpr Text reason_no_band{{"it has no band %d (bands: %d)"},
                                     {"il n'a pas de bande %d (bandes : %d)"},
                                     {"no tiene banda %d (bandas: %d)"}};
inline constexpr Text reason_real_band{
    {"band %d holds real numbers, not class codes"},
    {"la bande %d contient des nombres r%cels, pas des codes de classe", {etono}},
    {"la banda %d contiene n%cmeros reales, no c%cdigos de clase", {utono, otono}}};
inline constexpr Text reason_bad_value{
    {"value %s at line %lld, column %lld is neither a class code 0 to 254 nor the no-data "
     "value"},
    {"la valeur %s ligne %lld, colonne %lld n'est ni un code de classe de 0 %c 254 ni la "
     "valeur sans donn%ce",
     {fatono, etono}},
    {"el valor %s en la l%cnea %lld, columna %lld no es un c%cdigo de clase de 0 a 254 ni el "
     "valor sin dato",
     {itono, otono}}};
inline constexpr Text reason_not_square{
    {"its pixels are not square (%s by %s)"},
    {"ses pixels ne sont pas carr%cs (%s sur %s)", {etono}},
    {"sus p%cxeles no son cuadrados (%s por %s)", {itono}}};
inline constexpr Text reason_rotated{
    {"its pixels are rotated (geotransform terms %s and %s)"},
    {"ses pixels sont tourn%cs (termes %s et %s de la g%cotransformation)", {etono, etono}},
    {"sus p%cxeles est%cn girados (t%crminos %s y %s de la geotransformaci%cn)",
     {itono, atono, etono, otono}}};
inline constexpr Text reason_no_pixel_size{
    {"it carries no pixel size (give one with --pixel-size)"},
    {"il ne porte pas de taille de pixel (la donner avec --pixel-size)"},
    {"no lleva tama%co de p%cxel (darlo con --pixel-size)", {tilde, itono}}};
inline constexpr Text reason_no_header{
    {"its header %s is missing (write it, or run the dialogue once)"},
    {"son en-t%cte %s manque (l'%ccrire, ou lancer le dialogue une fois)", {circonf, etono}},
    {"falta su encabezado %s (escribirlo, o usar el di%clogo una vez)", {atono}}};

// A result of the command line that would replace the map or its header.
inline constexpr Text output_is_map{
    {"the result %s would replace the map %s: choose another result base with -o"},
    {"le r%csultat %s remplacerait la carte %s : choisir une autre base avec -o", {etono}},
    {"el resultado %s reemplazar%ca el mapa %s: elegir otra base con -o", {itono}}};

// A container of subdatasets given as the map.
inline constexpr Text reason_subdatasets{
    {"it holds subdatasets, not a band of its own: give one of them as the map (%s)"},
    {"il contient des sous-jeux de donn%ces, pas de bande propre : donner l'un d'eux comme "
     "carte (%s)",
     {etono}},
    {"contiene subconjuntos de datos, no una banda propia: dar uno de ellos como mapa (%s)"}};

// A map too wide for the memory a run may take.
inline constexpr Text reason_row_over_budget{
    {"a row of %lld pixels needs %lld MB with the window and the formats, more than the "
     "%lld MB the run may take (--memory)"},
    {"une ligne de %lld pixels demande %lld Mo avec la fen%ctre et les formats, plus que les "
     "%lld Mo permis (--memory)",
     {circonf}},
    {"una fila de %lld p%cxeles necesita %lld MB con la ventana y los formatos, m%cs que los "
     "%lld MB permitidos (--memory)",
     {itono, atono}}};

// Results that cannot fit in their folder, known before any is written.
inline constexpr Text no_room{
    {"\n\tThe folder %s has no room for the results: they need %lld bytes, it has %lld \n"},
    {"\n\tLe dossier %s n'a pas la place des r%csultats : ils demandent %lld octets, il en a "
     "%lld \n",
     {etono}},
    {"\n\tLa carpeta %s no tiene sitio para los resultados: necesitan %lld bytes, tiene %lld "
     "\n"}};

// Two outputs of one run that are the same file.
inline constexpr Text outputs_clash{
    {"the output %s would replace the output %s of the same run: choose other names"},
    {"la sortie %s remplacerait la sortie %s de la m%cme ex%ccution : choisir d'autres noms",
     {circonf, etono}},
    {"la salida %s reemplazar%ca la salida %s de la misma ejecuci%cn: elegir otros nombres",
     {itono, otono}}};

// ---------------------------------------------------------------- command line: options
// An option given a value it does not take: the option, the value as given, what it takes.
inline constexpr Text option_value{
    {"%s '%s' is not allowed: it takes %s"},
    {"%s '%s' n'est pas accept%c : l'option prend %s", {etono}},
    {"%s '%s' no se admite: la opci%cn admite %s", {otono}}};
inline constexpr Text allowed_whole_range{{"a whole number from %lld to %lld"},
                                          {"un nombre entier de %lld %c %lld", {fatono}},
                                          {"un n%cmero entero de %lld a %lld", {utono}}};
inline constexpr Text allowed_whole_min{{"a whole number, %lld or more"},
                                        {"un nombre entier, %lld ou plus"},
                                        {"un n%cmero entero, %lld o m%cs", {utono, atono}}};
inline constexpr Text allowed_number_range{{"a number from %s to %s"},
                                           {"un nombre de %s %c %s", {fatono}},
                                           {"un n%cmero de %s a %s", {utono}}};
inline constexpr Text allowed_number_above{
    {"a number above %s, up to %s"},
    {"un nombre sup%crieur %c %s, jusqu'%c %s", {etono, fatono, fatono}},
    {"un n%cmero mayor que %s, hasta %s", {utono}}};
inline constexpr Text allowed_choice{{"one of %s"}, {"l'une des valeurs %s"}, {"uno de %s"}};
inline constexpr Text allowed_creation_option{{"NAME=VALUE"}, {"NOM=VALEUR"}, {"NOMBRE=VALOR"}};
// A creation option GDAL's driver does not take, with GDAL's own reason.
inline constexpr Text creation_option_refused{
    {"--co '%s' is refused by GDAL: %s"},
    {"--co '%s' est refus%ce par GDAL : %s", {etono}},
    {"GDAL rechaza --co '%s': %s"}};
// After a refused -f png.
inline constexpr Text png_hint{
    {"PNG pictures come with --quicklook"},
    {"les images PNG s'obtiennent avec --quicklook"},
    {"las im%cgenes PNG se obtienen con --quicklook", {atono}}};
inline constexpr Text option_required{{"%s is required"},
                                      {"%s est obligatoire"},
                                      {"%s es obligatorio"}};
inline constexpr Text option_needs{{"%s needs %s"},
                                   {"%s demande aussi %s"},
                                   {"%s necesita tambi%cn %s", {etono}}};
inline constexpr Text option_excludes{{"%s and %s exclude each other: give one of them"},
                                      {"%s et %s s'excluent : en donner un seul"},
                                      {"%s y %s se excluyen: dar uno solo"}};
// The last line of every usage error.
// What the parser of the options says of a command line it cannot read.
inline constexpr Text usage_unexpected{{"The following argument was not expected: %s"},
                                       {"L'argument suivant n'%ctait pas attendu : %s", {etono}},
                                       {"El siguiente argumento no se esperaba: %s"}};
inline constexpr Text usage_unexpected_many{
    {"The following arguments were not expected: %s"},
    {"Les arguments suivants n'%ctaient pas attendus : %s", {etono}},
    {"Los siguientes argumentos no se esperaban: %s"}};
inline constexpr Text usage_value_missing{
    {"%s needs a value"}, {"%s demande une valeur"}, {"%s necesita un valor"}};
inline constexpr Text usage_flag_value{{"%s takes no value (%s given)"},
                                       {"%s ne prend pas de valeur (%s donn%c)", {etono}},
                                       {"%s no lleva valor (%s dado)"}};
inline constexpr Text usage_dash_map{
    {"%s reads as an option: put -- before a map whose name starts with '-' (%s [options] -- %s)"},
    {"%s se lit comme une option : mettre -- avant une carte dont le nom commence par '-' (%s "
     "[options] -- %s)"},
    {"%s se lee como una opci%cn: poner -- antes de un mapa cuyo nombre empieza por '-' (%s "
     "[opciones] -- %s)",
     {otono}}};
// The metrics of --metrics that cannot be read.
inline constexpr Text metric_share_code{
    {"unknown metric '%s': a share takes a class code 0 to 254 (share:CODE)"},
    {"m%ctrique inconnue '%s' : une part prend un code de classe de 0 %c 254 (share:CODE)",
     {etono, fatono}},
    {"m%ctrica desconocida '%s': una proporci%cn lleva un c%cdigo de clase de 0 a 254 "
     "(share:CODE)",
     {etono, otono, otono}}};
inline constexpr Text metric_unknown{
    {"unknown metric '%s'; the metrics are %s"},
    {"m%ctrique inconnue '%s' ; les m%ctriques sont %s", {etono, etono}},
    {"m%ctrica desconocida '%s'; las m%ctricas son %s", {etono, etono}}};
inline constexpr Text metric_twice{{"metric '%s' is named twice"},
                                   {"la m%ctrique '%s' est nomm%ce deux fois", {etono, etono}},
                                   {"la m%ctrica '%s' se nombra dos veces", {etono, etono}}};
inline constexpr Text metric_none{
    {"no metric named; the metrics are %s"},
    {"aucune m%ctrique nomm%ce ; les m%ctriques sont %s", {etono, etono, etono}},
    {"ninguna m%ctrica nombrada; las m%ctricas son %s", {etono, etono}}};

inline constexpr Text usage_hint{{"Run with --help for more information."},
                                 {"Lancer avec --help pour en savoir plus."},
                                 {"Ejecutar con --help para m%cs informaci%cn.", {atono, otono}}};

// ---------------------------------------------------------------- a run's request
// Usage faults found by the run itself: of the request as a whole, or once the map is open.
inline constexpr Text usage_map_required{{"a map is required"},
                                         {"une carte est obligatoire"},
                                         {"se necesita un mapa"}};
inline constexpr Text usage_rank_or_surface{{"--rank or --surface is required"},
                                            {"--rank ou --surface est obligatoire"},
                                            {"--rank o --surface es obligatorio"}};
inline constexpr Text usage_rank_range{{"--rank must be 0 to %lld"},
                                       {"--rank doit aller de 0 %c %lld", {fatono}},
                                       {"--rank debe ir de 0 a %lld"}};
inline constexpr Text usage_mesh_lines{
    {"--mesh-lines draws the cell mesh: it goes with --window mesh only"},
    {"--mesh-lines trace le maillage des cellules : il ne va qu'avec --window mesh"},
    {"--mesh-lines dibuja la malla de celdas: solo va con --window mesh"}};
inline constexpr Text usage_no_gdal{
    {"this build has no GDAL: choose a result format with -f raw|bmp|asc"},
    {"cette version n'a pas GDAL : choisir un format de r%csultat avec -f raw|bmp|asc", {etono}},
    {"esta versi%cn no tiene GDAL: elegir un formato de resultado con -f raw|bmp|asc", {otono}}};
inline constexpr Text usage_band{{"--band must be 1 or more"},
                                 {"--band doit valoir 1 ou plus"},
                                 {"--band debe ser 1 o m%cs", {atono}}};
inline constexpr Text usage_metric_format{
    {"the metric %s needs GeoTIFF results (-f tif): the %s format holds only diversity and "
     "homogeneity"},
    {"la m%ctrique %s demande des r%csultats GeoTIFF (-f tif) : le format %s ne contient que la "
     "diversit%c et l'homog%cn%cit%c",
     {etono, etono, etono, etono, etono, etono}},
    {"la m%ctrica %s necesita resultados GeoTIFF (-f tif): el formato %s solo contiene la "
     "diversidad y la homogeneidad",
     {etono}}};
inline constexpr Text usage_min_valid{
    {"--min-valid must be a percent above 0, at most 100"},
    {"--min-valid doit %ctre un pourcentage sup%crieur %c 0, au plus 100",
     {circonf, etono, fatono}},
    {"--min-valid debe ser un porcentaje mayor que 0, como m%cximo 100", {atono}}};
inline constexpr Text usage_advised_rank{
    {"the rank advised for that surface, %lld, is outside 0 to %lld"},
    {"le rang conseill%c pour cette surface, %lld, est hors de 0 %c %lld", {etono, fatono}},
    {"el rango aconsejado para esa superficie, %lld, est%c fuera de 0 a %lld", {atono}}};
inline constexpr Text usage_ascii_orientation{
    {"ascii results need a map whose rows run north to south and columns west to east: "
     "choose -f tif"},
    {"les r%csultats ascii demandent une carte dont les lignes vont du nord au sud et les "
     "colonnes d'ouest en est : choisir -f tif",
     {etono}},
    {"los resultados ascii necesitan un mapa cuyas filas van de norte a sur y las columnas de "
     "oeste a este: elegir -f tif"}};
inline constexpr Text usage_ascii_corner{
    {"ascii results from a map without coordinates need --x-min and --y-min"},
    {"les r%csultats ascii d'une carte sans coordonn%ces demandent --x-min et --y-min",
     {etono, etono}},
    {"los resultados ascii de un mapa sin coordenadas necesitan --x-min y --y-min"}};

inline constexpr Text usage_no_gdal_default{
    {"this build has no GDAL, so no GeoTIFF results: choose a format with -f raw|bmp|asc"},
    {"cette version n'a pas GDAL, donc pas de r%csultats GeoTIFF : choisir un format avec "
     "-f raw|bmp|asc",
     {etono}},
    {"esta versi%cn no tiene GDAL, as%c que no hay resultados GeoTIFF: elegir un formato con "
     "-f raw|bmp|asc",
     {otono, itono}}};
inline constexpr Text usage_quicklook_metrics{
    {"--quicklook needs diversity and homogeneity among the --metrics"},
    {"--quicklook demande diversity et homogeneity parmi les --metrics"},
    {"--quicklook necesita diversity y homogeneity entre las --metrics"}};
inline constexpr Text usage_no_json{{"this build cannot write --json summaries"},
                                    {"cette version ne peut pas %ccrire de r%csum%c --json",
                                     {etono, etono, etono}},
                                    {"esta versi%cn no puede escribir res%cmenes --json",
                                     {otono, utono}}};

// ---------------------------------------------------------------- command line: warnings
inline constexpr Text threads_lowered{
    {"--threads %lld: this machine has %lld cores, so %lld threads are used"},
    {"--threads %lld : cette machine a %lld coeurs, %lld fils d'ex%ccution sont utilis%cs",
     {etono, etono}},
    {"--threads %lld: esta m%cquina tiene %lld n%ccleos, se usan %lld hilos", {atono, utono}}};
inline constexpr Text georef_ignored{
    {"%s is ignored: the map %s carries its own georeference"},
    {"%s est ignor%c : la carte %s porte son propre g%cor%cf%crencement",
     {etono, etono, etono, etono}},
    {"%s se ignora: el mapa %s lleva su propia georreferencia"}};
inline constexpr Text window_too_large{
    {"the window (%lld x %lld pixels) is larger than the map (%lld lines, %lld columns): every "
     "result pixel is no value; rank %lld or less fits"},
    {"la fen%ctre (%lld x %lld pixels) d%cpasse la carte (%lld lignes, %lld colonnes) : tout "
     "le r%csultat est sans valeur ; un rang de %lld ou moins convient",
     {circonf, etono, etono}},
    {"la ventana (%lld x %lld p%cxeles) es mayor que el mapa (%lld l%cneas, %lld columnas): "
     "todo el resultado queda sin valor; sirve un rango de %lld o menos",
     {itono, itono}}};

// ---------------------------------------------------------------- command line: progress bar
// The bar's first line, as soon as the map is open: lines, columns, pixels.
inline constexpr Text progress_map_size{
    {"map of %lld lines x %lld columns: %lld pixels"},
    {"carte de %lld lignes x %lld colonnes : %lld pixels"},
    {"mapa de %lld l%cneas x %lld columnas: %lld p%cxeles", {itono, itono}}};
// After the bar: the time the run still needs, as H:MM:SS.
inline constexpr Text progress_time_left{{"%s left"},
                                         {"encore %s"},
                                         {"quedan %s"}};

// ---------------------------------------------------------------- command line: map and folders
inline constexpr Text map_missing{
    {"cannot open map '%s': no such file"},
    {"impossible d'ouvrir la carte '%s' : ce fichier n'existe pas"},
    {"no se puede abrir el mapa '%s': el archivo no existe"}};
inline constexpr Text map_missing_suggest{
    {"cannot open map '%s': no such file (there is %s)"},
    {"impossible d'ouvrir la carte '%s' : ce fichier n'existe pas (il y a %s)"},
    {"no se puede abrir el mapa '%s': el archivo no existe (existe %s)"}};
inline constexpr Text map_is_folder{{"cannot open map '%s': it is a folder"},
                                    {"impossible d'ouvrir la carte '%s' : c'est un dossier"},
                                    {"no se puede abrir el mapa '%s': es una carpeta"}};
inline constexpr Text output_folder_missing{
    {"the output folder %s does not exist"},
    {"le dossier de sortie %s n'existe pas"},
    {"la carpeta de salida %s no existe"}};
inline constexpr Text reason_colour_bands{
    {"its bands are %s: a colour picture, not a classified map (one band of class codes); "
     "--band N reads one of them anyway"},
    {"ses bandes sont %s : une image en couleurs, pas une carte classifi%ce (une bande de "
     "codes de classe) ; --band N en lit une quand m%cme",
     {etono, circonf}},
    {"sus bandas son %s: una imagen en color, no un mapa clasificado (una banda de c%cdigos "
     "de clase); --band N lee una de ellas de todos modos",
     {otono}}};

// ---------------------------------------------------------------- summary of earlier results
inline constexpr Text summary_no_report{
    {"the report %s cannot be read"},
    {"le rapport %s ne peut pas %ctre lu", {circonf}},
    {"el informe %s no se puede leer"}};
inline constexpr Text summary_not_a_report{
    {"%s is not the report of a run"},
    {"%s n'est pas le rapport d'un traitement"},
    {"%s no es el informe de un tratamiento"}};
inline constexpr Text summary_no_image{
    {"the result image %s (.raw, .bmp, .asc or .tif) cannot be found"},
    {"l'image r%csultat %s (.raw, .bmp, .asc ou .tif) est introuvable", {etono}},
    {"la imagen de resultado %s (.raw, .bmp, .asc o .tif) no se encuentra"}};
inline constexpr Text summary_wrong_size{
    {"the result image %s is not of the size the report gives (%d x %d)"},
    {"l'image r%csultat %s n'a pas la taille que donne le rapport (%d x %d)", {etono}},
    {"la imagen de resultado %s no tiene el tama%co que da el informe (%d x %d)", {tilde}}};
inline constexpr Text summary_format_unread{
    {"%s cannot be read back: this build reads .raw, .bmp and .asc result images only"},
    {"%s ne peut pas %ctre relu : cette version ne relit que les images r%csultat .raw, .bmp "
     "et .asc",
     {circonf, etono}},
    {"%s no se puede releer: esta versi%cn solo relee im%cgenes de resultado .raw, .bmp y .asc",
     {otono, atono}}};
inline constexpr Text summary_no_pictures{
    {"the run made no pictures of its diversity and homogeneity"},
    {"le traitement n'a pas fait d'images de sa diversit%c et de son homog%cn%cit%c",
     {etono, egrave, etono, etono}},
    {"el tratamiento no hizo im%cgenes de su diversidad y su homogeneidad", {atono}}};
inline constexpr Text summary_no_picture{
    {"the run made no picture of %s"},
    {"le traitement n'a pas fait d'image de %s"},
    {"el tratamiento no hizo imagen de %s"}};
inline constexpr Text summary_no_png{
    {"PNG pictures are not available in this build"},
    {"les images PNG ne sont pas disponibles dans cette version"},
    {"las im%cgenes PNG no est%cn disponibles en esta versi%cn", {atono, atono, otono}}};

}  // namespace txt
