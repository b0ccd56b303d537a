// The catalogue's texts of the summary page. The page is UTF-8: their letters outside
// ASCII, code page 850 bytes as everywhere in the catalogue, are translated when the page
// is made (page_words). Part of the catalogue: include text/catalogue.h, which includes
// this file.
#pragma once

#include "text/format_text.h"
#include "text/letters.h"

namespace txt::page {

inline constexpr Text lang{
    {"en"},
    {"fr"},
    {"es"}};
inline constexpr Text title{
    {"Diversity and homogeneity of the landscape"},
    {"Diversit%c et homog%cn%cit%c du paysage", {etono, etono, etono, etono}},
    {"Diversidad y homogeneidad del paisaje"}};
inline constexpr Text map{
    {"Map"},
    {"Carte"},
    {"Mapa"}};
inline constexpr Text map_file{
    {"Map file"},
    {"Fichier de la carte"},
    {"Archivo del mapa"}};
// Filled with: columns, lines.
inline constexpr Text size{
    {"%s columns %c %s lines", {times}},
    {"%s colonnes %c %s lignes", {times}},
    {"%s columnas %c %s l%cneas", {times, itono}}};
inline constexpr Text pixel_size{
    {"Pixel size"},
    {"Taille du pixel"},
    {"Tama%co del p%cxel", {tilde, itono}}};
inline constexpr Text surface{
    {"Surface"},
    {"Surface"},
    {"Superficie"}};
inline constexpr Text crs{
    {"Coordinate system"},
    {"Syst%cme de coordonn%ces", {egrave, etono}},
    {"Sistema de coordenadas"}};
inline constexpr Text crs_unknown{
    {"not recorded"},
    {"non indiqu%c", {etono}},
    {"no indicado"}};
inline constexpr Text corner{
    {"Lower left corner"},
    {"Coin inf%crieur gauche", {etono}},
    {"Esquina inferior izquierda"}};
inline constexpr Text treatment{
    {"Treatment"},
    {"Traitement"},
    {"Tratamiento"}};
inline constexpr Text cell_mesh{
    {"cell mesh"},
    {"maillage cellulaire"},
    {"malla de celdas"}};
inline constexpr Text moving_window{
    {"moving window"},
    {"fen%ctre mobile", {circonf}},
    {"ventana m%cvil", {otono}}};
inline constexpr Text window{
    {"Window"},
    {"Fen%ctre", {circonf}},
    {"Ventana"}};
inline constexpr Text cell{
    {"square cell"},
    {"cellule carr%ce", {etono}},
    {"celda cuadrada"}};
inline constexpr Text square{
    {"square"},
    {"carr%ce", {etono}},
    {"cuadrada"}};
inline constexpr Text circle{
    {"circle"},
    {"cercle"},
    {"c%crculo", {itono}}};
inline constexpr Text rank{
    {"Rank R"},
    {"Rang R"},
    {"Rango R"}};
// Filled with: pixels, hectares.
inline constexpr Text window_size{
    {"%s pixels, %s ha"},
    {"%s pixels, %s ha"},
    {"%s p%cxeles, %s ha", {itono}}};
inline constexpr Text window_surface{
    {"Window surface"},
    {"Surface de la fen%ctre", {circonf}},
    {"Superficie de la ventana"}};
inline constexpr Text cell_surface{
    {"Cell surface"},
    {"Surface de la cellule"},
    {"Superficie de la celda"}};
inline constexpr Text diversity{
    {"Diversity"},
    {"Diversit%c", {etono}},
    {"Diversidad"}};
inline constexpr Text diversity_note{
    {"number of classes in the window (0: the window holds no class)"},
    {"nombre de classes dans la fen%ctre (0 : la fen%ctre ne contient aucune classe)", {circonf, circonf}},
    {"n%cmero de clases en la ventana (0: la ventana no contiene ninguna clase)", {utono}}};
inline constexpr Text homogeneity{
    {"Homogeneity"},
    {"Homog%cn%cit%c", {etono, etono, etono}},
    {"Homogeneidad"}};
inline constexpr Text homogeneity_note{
    {"share of the window covered by its largest class"},
    {"part de la fen%ctre couverte par sa classe la plus %ctendue", {circonf, etono}},
    {"parte de la ventana cubierta por su clase m%cs extensa", {atono}}};
inline constexpr Text colour{
    {"Colour"},
    {"Couleur"},
    {"Color"}};
inline constexpr Text value{
    {"Value"},
    {"Valeur"},
    {"Valor"}};
inline constexpr Text share_of_map{
    {"Share of the map"},
    {"Part de la carte"},
    {"Parte del mapa"}};
inline constexpr Text no_value{
    {"no value"},
    {"sans valeur"},
    {"sin valor"}};
inline constexpr Text mesh_lines{
    {"mesh lines"},
    {"lignes du maillage"},
    {"l%cneas de la malla", {itono}}};
// Filled with: factor, block edge twice.
inline constexpr Text reduced_mode{
    {"Picture reduced 1:%d: each of its pixels shows the most common value of a block of %d %c %d "
      "map pixels.", {times}},
    {"Image r%cduite au 1:%d : chacun de ses pixels montre la valeur la plus fr%cquente d'un bloc "
      "de %d %c %d pixels de la carte.", {etono, etono, times}},
    {"Imagen reducida 1:%d: cada uno de sus p%cxeles muestra el valor m%cs frecuente de un bloque "
      "de %d %c %d p%cxeles del mapa.", {itono, atono, times, itono}}};
inline constexpr Text reduced_mean{
    {"Picture reduced 1:%d: each of its pixels shows the mean value of a block of %d %c %d map "
      "pixels.", {times}},
    {"Image r%cduite au 1:%d : chacun de ses pixels montre la valeur moyenne d'un bloc de %d %c "
      "%d pixels de la carte.", {etono, times}},
    {"Imagen reducida 1:%d: cada uno de sus p%cxeles muestra el valor medio de un bloque de %d %c "
      "%d p%cxeles del mapa.", {itono, times, itono}}};
inline constexpr Text mesh_hidden{
    {"The mesh lines are too close together to be shown at this scale."},
    {"Les lignes du maillage sont trop serr%ces pour %ctre montr%ces %c cette %cchelle.", {etono, circonf, etono, fatono, etono}},
    {"Las l%cneas de la malla est%cn demasiado juntas para mostrarse a esta escala.", {itono, atono}}};
inline constexpr Text inventory{
    {"Inventory"},
    {"Inventaire"},
    {"Inventario"}};
// Filled with: count.
inline constexpr Text classes{
    {"%s classes"},
    {"%s classes"},
    {"%s clases"}};
inline constexpr Text code{
    {"Class"},
    {"Classe"},
    {"Clase"}};
inline constexpr Text pixels{
    {"Pixels"},
    {"Pixels"},
    {"P%cxeles", {itono}}};
inline constexpr Text share{
    {"Share"},
    {"Part"},
    {"Parte"}};
// Filled with: count, share.
inline constexpr Text others{
    {"%s other classes: %s"},
    {"%s autres classes : %s"},
    {"%s clases m%cs: %s", {atono}}};
inline constexpr Text histogram{
    {"Diversity histogram"},
    {"Histogramme de la diversit%c", {etono}},
    {"Histograma de la diversidad"}};
inline constexpr Text histogram_x{
    {"number of classes in the window"},
    {"nombre de classes dans la fen%ctre", {circonf}},
    {"n%cmero de clases en la ventana", {utono}}};
inline constexpr Text histogram_y{
    {"share of the pixels of diversity 1 or more"},
    {"part des pixels de diversit%c 1 ou plus", {etono}},
    {"parte de los p%cxeles de diversidad 1 o m%cs", {itono, atono}}};
inline constexpr Text histogram_mesh{
    {"mesh lines left out"},
    {"lignes du maillage exclues"},
    {"l%cneas de la malla excluidas", {itono}}};
inline constexpr Text nothing_evaluated{
    {"No window holds a class: nothing to chart."},
    {"Aucune fen%ctre ne contient de classe : rien %c repr%csenter.", {circonf, fatono, etono}},
    {"Ninguna ventana contiene una clase: nada que representar."}};
inline constexpr Text results{
    {"Results written"},
    {"R%csultats %ccrits", {etono, etono}},
    {"Resultados escritos"}};
inline constexpr Text made_by{
    {"Made by LANDMOSAIC"},
    {"R%calis%c avec LANDMOSAIC", {etono, etono}},
    {"Realizado con LANDMOSAIC"}};
// Filled with: percent.
inline constexpr Text holes{
    {"Windows holding unclassified pixels"},
    {"Fen%ctres contenant des pixels non class%cs", {circonf, etono}},
    {"Ventanas con p%cxeles no clasificados", {itono}}};
inline constexpr Text holes_hint{
    {"%s of the windows count pixels of no class in their surface: both values are low there. "
      "--min-valid PCT values the pixels of a class over their classified pixels."},
    {"%s des fen%ctres comptent des pixels sans classe dans leur surface : les deux valeurs y "
      "sont basses. --min-valid PCT %cvalue les pixels d'une classe sur leurs pixels class%cs.", {circonf, etono, etono}},
    {"El %s de las ventanas cuenta p%cxeles sin clase en su superficie: ambos valores son bajos "
      "all%c. --min-valid PCT eval%ca los p%cxeles de una clase sobre sus p%cxeles clasificados.", {itono, itono, utono, itono, itono}}};
inline constexpr Text holes_cell{
    {"Cells holding unclassified pixels"},
    {"Cellules contenant des pixels non class%cs", {etono}},
    {"Celdas con p%cxeles no clasificados", {itono}}};
inline constexpr Text holes_hint_cell{
    {"%s of the cells count pixels of no class in their surface: both values are low there. "
      "--min-valid PCT values the pixels of a class over their classified pixels."},
    {"%s des cellules comptent des pixels sans classe dans leur surface : les deux valeurs y "
      "sont basses. --min-valid PCT %cvalue les pixels d'une classe sur leurs pixels class%cs.", {etono, etono}},
    {"El %s de las celdas cuenta p%cxeles sin clase en su superficie: ambos valores son bajos "
      "all%c. --min-valid PCT eval%ca los p%cxeles de una clase sobre sus p%cxeles clasificados.", {itono, itono, utono, itono, itono}}};
// Filled with: classified km2, whole map km2.
inline constexpr Text classified_of{
    {"%s km%c classified of %s km%c", {squared, squared}},
    {"%s km%c class%cs sur %s km%c", {squared, etono, squared}},
    {"%s km%c clasificados de %s km%c", {squared, squared}}};
inline constexpr Text cell_heading{
    {"Cell"},
    {"Cellule"},
    {"Celda"}};
inline constexpr Text diversity_note_cell{
    {"number of classes in the cell (0: the cell holds no class)"},
    {"nombre de classes dans la cellule (0 : la cellule ne contient aucune classe)"},
    {"n%cmero de clases en la celda (0: la celda no contiene ninguna clase)", {utono}}};
inline constexpr Text homogeneity_note_cell{
    {"share of the cell covered by its largest class"},
    {"part de la cellule couverte par sa classe la plus %ctendue", {etono}},
    {"parte de la celda cubierta por su clase m%cs extensa", {atono}}};
inline constexpr Text histogram_x_cell{
    {"number of classes in the cell"},
    {"nombre de classes dans la cellule"},
    {"n%cmero de clases en la celda", {utono}}};
inline constexpr Text class_name{
    {"Name"},
    {"Nom"},
    {"Nombre"}};
inline constexpr Text scale{
    {"Scale"},
    {"%cchelle", {etono_cap}},
    {"Escala"}};

}  // namespace txt::page
