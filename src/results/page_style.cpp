#include "results/page_style.h"

namespace page {

namespace {

constexpr const char* kStyle = R"CSS(
:root{--ink:#1c2430;--muted:#5a6474;--line:#d9dee6;--card:#fff;--bg:#f3f5f8}
*{box-sizing:border-box}
html{-webkit-text-size-adjust:100%}
body{margin:0;background:var(--bg);color:var(--ink);font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Helvetica Neue",Arial,sans-serif}
main{max-width:1120px;margin:0 auto;padding:14px}
header{margin:4px 0 12px}
h1{font-size:1.45em;line-height:1.2;margin:0 0 2px;overflow-wrap:anywhere}
h2{font-size:1.05em;margin:0 0 8px}
.sub{color:var(--muted);margin:0}
.card{background:var(--card);border:1px solid var(--line);border-radius:8px;padding:12px 14px;margin:0 0 12px;min-width:0}
.facts{display:grid;grid-template-columns:repeat(auto-fit,minmax(150px,1fr));gap:2px 18px;margin:0}
.facts div{min-width:0}
.facts div.wide{grid-column:span 2}
.facts dt{color:var(--muted);font-size:.8em}
.facts dd{margin:0 0 6px;font-weight:600;overflow-wrap:anywhere}
.grid2{display:grid;grid-template-columns:repeat(auto-fit,minmax(300px,1fr));gap:12px}
.grid2>.card{margin:0}
.stack{display:grid;gap:12px;margin:0 0 12px}
figure{margin:0}
.pic{display:flex;justify-content:center;margin:0 0 8px}
.frame{width:min(100%,calc(62vh*var(--ar)))}
svg.scale{display:block;width:100%;height:auto;margin:3px 0 0}
img.map{display:block;width:100%;height:auto;border:1px solid var(--line);background-color:#fff;background-image:repeating-linear-gradient(45deg,#eceff3 0 3px,#fff 3px 7px);-webkit-print-color-adjust:exact;print-color-adjust:exact}
img.px{image-rendering:pixelated}
figcaption{font-size:.85em;color:var(--muted);margin:0 0 6px}
.legend{display:grid;grid-template-columns:repeat(auto-fill,minmax(128px,1fr));gap:2px 12px;font-size:.82em;margin:0;padding:0;list-style:none}
.legend li{display:flex;align-items:center;gap:6px;min-width:0}
.legend .v{font-weight:600;min-width:2.2em;line-height:1.15}
.legend .s{margin-left:auto;color:var(--muted);font-variant-numeric:tabular-nums;white-space:nowrap}
.legend-head{font-size:.75em;color:var(--muted);margin:4px 0 2px}
.sw{display:inline-block;width:14px;height:14px;border:1px solid #0003;border-radius:2px;flex:none;-webkit-print-color-adjust:exact;print-color-adjust:exact}
.sw.none{background-color:#fff;background-image:repeating-linear-gradient(45deg,#c9ced6 0 2px,#fff 2px 5px)}
.note{font-size:.78em;color:var(--muted);margin:6px 0 0}
.ramp{display:block;width:100%;max-width:380px;height:auto;margin:2px 0 4px}
table.inv{width:100%;border-collapse:collapse;font-size:.85em;font-variant-numeric:tabular-nums}
.inv th{text-align:left;color:var(--muted);font-weight:600;border-bottom:1px solid var(--line);padding:2px 6px}
.inv td{padding:1px 6px;border-bottom:1px solid #eef1f5}
.inv td.n{text-align:right;white-space:nowrap}
.inv td.bar{width:42%}
.inv .b{display:block;height:10px;background:#3a7ca5;border-radius:2px;min-width:1px;-webkit-print-color-adjust:exact;print-color-adjust:exact}
.inv tr.others{display:none}
svg.hist{display:block;width:100%;height:auto}
svg text{font-family:inherit}
ul.files{margin:0;padding-left:18px;font-size:.82em}
ul.files li{overflow-wrap:anywhere}
code{font-family:ui-monospace,SFMono-Regular,Menlo,Consolas,monospace;font-size:.95em}
footer{font-size:.75em;color:var(--muted);text-align:right}
@media (max-width:600px){main{padding:8px}.card{padding:10px}body{font-size:14px}.inv td.bar{width:30%}}
@page{size:A4;margin:9mm}
@media print{
body{background:#fff;font-size:8.5pt;line-height:1.3}
main{max-width:none;padding:0}
header{margin:0 0 2mm}
h1{font-size:14pt}
h2{font-size:9.5pt;margin:0 0 1.5mm}
.card{border:0;border-radius:0;padding:0;margin:0 0 2.5mm;break-inside:avoid}
.facts{grid-template-columns:repeat(4,1fr);gap:0 4mm}
.facts dd{margin:0 0 1mm}
.grid2{grid-template-columns:1fr 1fr;gap:5mm}
.stack{gap:2.5mm;margin:0 0 2.5mm}
.frame{width:min(100%,calc(78mm*var(--ar)))}
.legend{grid-template-columns:repeat(auto-fill,minmax(27mm,1fr));font-size:7pt}
.inv{font-size:7pt}
.inv td,.inv th{padding:0 4px}
.inv tr.minor{display:none}
.inv tr.others{display:table-row}
.inv .b{height:2.2mm}
ul.files{font-size:7pt}
footer{display:none}
}
)CSS";

}  // namespace

const char* style() { return kStyle; }

}  // namespace page
