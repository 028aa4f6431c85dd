#include "frontends/qt/icons.hpp"

#include <QByteArray>
#include <QPainter>
#include <QSvgRenderer>

#include <map>
#include <string>

namespace scribeline::frontend {

namespace {

// 24 x 24 drawings in a flat style: dark outline strokes, one accent colour per family
// (blue for the view, green for the globe and digitizing, red for stopping).
const std::map<std::string, const char*>& Drawings() {
    static const std::map<std::string, const char*> drawings = {
        {"scribeline",
         R"(<circle cx="11" cy="13" r="9" fill="#3b82c4" stroke="#1d3f66" stroke-width="1.5"/>
            <path d="M4 11c3 1 5-2 8-1s3 4 7 3M5 17c3-1 6 1 10-1" fill="none" stroke="#8fd18a"
             stroke-width="2"/>
            <path d="M14 16l8-12 2 1.5-8 12-3 1z" fill="#f2c14e" stroke="#5a4300"
             stroke-width="1"/>)"},
        {"zoom_in",
         R"(<circle cx="10" cy="10" r="6.5" fill="#e8f1fb" stroke="#1d3f66" stroke-width="2"/>
            <path d="M15 15l6 6" stroke="#1d3f66" stroke-width="3" stroke-linecap="round"/>
            <path d="M7 10h6M10 7v6" stroke="#1d3f66" stroke-width="2"/>)"},
        {"zoom_out",
         R"(<circle cx="10" cy="10" r="6.5" fill="#e8f1fb" stroke="#1d3f66" stroke-width="2"/>
            <path d="M15 15l6 6" stroke="#1d3f66" stroke-width="3" stroke-linecap="round"/>
            <path d="M7 10h6" stroke="#1d3f66" stroke-width="2"/>)"},
        {"full_extent",
         R"(<circle cx="12" cy="12" r="8" fill="#3b82c4" stroke="#1d3f66" stroke-width="1.5"/>
            <path d="M6 10c3 1 4-2 7-1s2 4 6 2" fill="none" stroke="#8fd18a" stroke-width="2"/>
            <path d="M2 6V2h4M18 2h4v4M22 18v4h-4M6 22H2v-4" fill="none" stroke="#1d3f66"
             stroke-width="2"/>)"},
        {"zoom_layer",
         R"(<path d="M3 8l9-5 9 5-9 5z" fill="#8fd18a" stroke="#2d5e2a" stroke-width="1.5"/>
            <path d="M3 12l9 5 9-5" fill="none" stroke="#2d5e2a" stroke-width="1.5"/>
            <path d="M3 16l9 5 9-5" fill="none" stroke="#2d5e2a" stroke-width="1.5"/>)"},
        {"pan",
         R"(<path d="M12 2l3 4h-2v5h5V9l4 3-4 3v-2h-5v5h2l-3 4-3-4h2v-5H6v2l-4-3 4-3v2h5V6H9z"
             fill="#3b82c4" stroke="#1d3f66" stroke-width="1"/>)"},
        // The digitizer's toolbar, by image key.
        {"setgeview",
         R"(<rect x="1.5" y="4.5" width="9" height="12" fill="#fff" stroke="#555"/>
            <path d="M3 8h6M3 11h6M3 14h4" stroke="#8aa" stroke-width="1"/>
            <path d="M11 10.5h4" stroke="#2d7d32" stroke-width="2"/><path d="M14 8l3 2.5-3 2.5z"
             fill="#2d7d32"/><circle cx="19" cy="10.5" r="4.5" fill="#3b82c4" stroke="#1d3f66"/>
            <path d="M15.5 9.5c2 .5 3-1 5 0" stroke="#8fd18a" fill="none" stroke-width="1.5"/>)"},
        {"setarcview",
         R"(<circle cx="5.5" cy="10.5" r="4.5" fill="#3b82c4" stroke="#1d3f66"/>
            <path d="M2 9.5c2 .5 3-1 5 0" stroke="#8fd18a" fill="none" stroke-width="1.5"/>
            <path d="M10 10.5h4" stroke="#2d7d32" stroke-width="2"/><path d="M13 8l3 2.5-3 2.5z"
             fill="#2d7d32"/><rect x="16.5" y="4.5" width="7" height="12" fill="#fff"
             stroke="#555"/><path d="M18 8h4M18 11h4M18 14h3" stroke="#8aa" stroke-width="1"/>)"},
        {"start",
         R"(<path d="M4 19l5-9 5 4 6-9" fill="none" stroke="#2d7d32" stroke-width="2"/>
            <circle cx="4" cy="19" r="2" fill="#fff" stroke="#2d7d32" stroke-width="1.5"/>
            <circle cx="9" cy="10" r="2" fill="#fff" stroke="#2d7d32" stroke-width="1.5"/>
            <circle cx="14" cy="14" r="2" fill="#fff" stroke="#2d7d32" stroke-width="1.5"/>
            <path d="M18 2h5M20.5 0v5" stroke="#1d3f66" stroke-width="2"/>)"},
        {"starting",
         R"(<path d="M4 19l5-9 5 4 6-9" fill="none" stroke="#e08e0b" stroke-width="2"/>
            <circle cx="4" cy="19" r="2.5" fill="#f2c14e" stroke="#a35f00"/>
            <circle cx="9" cy="10" r="2.5" fill="#f2c14e" stroke="#a35f00"/>
            <circle cx="14" cy="14" r="2.5" fill="#f2c14e" stroke="#a35f00"/>)"},
        {"record",
         R"(<circle cx="12" cy="12" r="8" fill="#d93025" stroke="#7a1a14" stroke-width="1.5"/>
            <circle cx="12" cy="12" r="3" fill="#fff" opacity=".7"/>)"},
        {"finish",
         R"(<path d="M3 18l5-8 5 4 5-8" fill="none" stroke="#2d7d32" stroke-width="2"/>
            <path d="M13 17l3 3 6-7" fill="none" stroke="#1d3f66" stroke-width="2.5"/>)"},
        {"pause",
         R"(<rect x="6" y="5" width="4" height="14" rx="1" fill="#1d3f66"/>
            <rect x="14" y="5" width="4" height="14" rx="1" fill="#1d3f66"/>)"},
        {"continue", R"(<path d="M7 4l12 8-12 8z" fill="#2d7d32" stroke="#1b4d1e"/>)"},
        {"stop",
         R"(<path d="M5 21V3" stroke="#555" stroke-width="2"/>
            <path d="M6 4h13l-3 4 3 4H6z" fill="#2d7d32" stroke="#1b4d1e"/>)"},
        {"export",
         R"(<circle cx="15" cy="14" r="7" fill="#3b82c4" stroke="#1d3f66"/>
            <path d="M10 12c2 1 4-1 6 0s2 3 5 2" fill="none" stroke="#8fd18a" stroke-width="1.5"/>
            <rect x="1.5" y="1.5" width="9" height="7" fill="#8fd18a" stroke="#2d5e2a"/>
            <path d="M7 9l4 4" stroke="#1d3f66" stroke-width="2"/><path d="M9 14h3v-3z"
             fill="#1d3f66"/>)"},
        {"dem",
         R"(<path d="M1 20l6-11 4 6 3-4 9 9z" fill="#b58a5a" stroke="#5e4020"/>
            <g fill="#1d3f66"><circle cx="4" cy="4" r="1.3"/><circle cx="10" cy="4" r="1.3"/>
            <circle cx="16" cy="4" r="1.3"/><circle cx="22" cy="4" r="1.3"/></g>)"},
        {"contour",
         R"(<ellipse cx="12" cy="12" rx="10" ry="8" fill="#e9dcc0" stroke="#8a6a3a"/>
            <ellipse cx="12" cy="12" rx="6.5" ry="5" fill="none" stroke="#8a6a3a"/>
            <ellipse cx="12" cy="12" rx="3" ry="2.2" fill="#b58a5a" stroke="#5e4020"/>)"},
        {"abort",
         R"(<circle cx="12" cy="12" r="9" fill="#d93025" stroke="#7a1a14"/>
            <path d="M8 8l8 8M16 8l-8 8" stroke="#fff" stroke-width="2.5"/>)"},
        {"nothing", R"(<rect width="24" height="24" fill="none"/>)"},
        {"warning",
         R"(<path d="M12 2l11 20H1z" fill="#f2c14e" stroke="#7a5a00"/>
            <path d="M12 8v7" stroke="#222" stroke-width="2.5"/><circle cx="12" cy="18.5"
             r="1.4" fill="#222"/>)"},
        // The window's images.
        {"defproperty1",
         R"(<rect x="2.5" y="4.5" width="19" height="15" fill="#fff" stroke="#555"/>
            <path d="M2.5 9.5h19M2.5 14.5h19M9.5 4.5v15" stroke="#999"/>)"},
        {"defproperty2",
         R"(<rect x="2.5" y="4.5" width="19" height="15" fill="#e8f1fb" stroke="#1d3f66"/>
            <path d="M2.5 9.5h19M2.5 14.5h19M9.5 4.5v15" stroke="#3b82c4"/>
            <path d="M14 21l7-7 2 2-7 7h-2z" fill="#f2c14e" stroke="#5a4300" stroke-width=".8"/>)"},
        {"more", R"(<path d="M5 6l6 6-6 6M12 6l6 6-6 6" fill="none" stroke="#1d3f66"
             stroke-width="2.5"/>)"},
        {"less", R"(<path d="M19 6l-6 6 6 6M12 6l-6 6 6 6" fill="none" stroke="#1d3f66"
             stroke-width="2.5"/>)"},
        {"camera",
         R"(<rect x="2" y="7" width="20" height="13" rx="2" fill="#555" stroke="#222"/>
            <path d="M8 7l2-3h4l2 3" fill="#555" stroke="#222"/>
            <circle cx="12" cy="13.5" r="4" fill="#9cc3e6" stroke="#eee" stroke-width="1.5"/>)"},
        {"toolstrip",
         R"(<rect x="1.5" y="6.5" width="21" height="11" rx="2" fill="#f4f4f4" stroke="#666"/>
            <path d="M8.5 7v10M15.5 7v10" stroke="#999"/>)"},
        {"toolstrip_finishfeature",
         R"(<rect x="1.5" y="6.5" width="21" height="11" rx="2" fill="#f4f4f4" stroke="#666"/>
            <path d="M3 14l2 2 3-5" fill="none" stroke="#2d7d32" stroke-width="1.8"/>)"},
        {"toolstrip_finishlayer",
         R"(<rect x="1.5" y="6.5" width="21" height="11" rx="2" fill="#f4f4f4" stroke="#666"/>
            <path d="M10 9v6h4l-1-1.5 1-1.5h-4" fill="#2d7d32" stroke="#1b4d1e"/>)"},
        {"toolstrip_abort",
         R"(<rect x="1.5" y="6.5" width="21" height="11" rx="2" fill="#f4f4f4" stroke="#666"/>
            <path d="M17 9l4 6M21 9l-4 6" stroke="#d93025" stroke-width="1.8"/>)"},
    };
    return drawings;
}

// "location0" .. "location8": where the window goes, as a cell of a 3 by 3 grid.
std::string LocationDrawing(int cell) {
    std::string body =
        R"(<rect x="1.5" y="1.5" width="21" height="21" fill="#fff" stroke="#555"/>)";
    const int x = 2 + (cell % 3) * 7;
    const int y = 2 + (cell / 3) * 7;
    body += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) +
            "\" width=\"6\" height=\"6\" fill=\"#3b82c4\"/>";
    return body;
}

QByteArray Svg(const std::string& key) {
    const auto& drawings = Drawings();
    const auto it = drawings.find(key);
    if (key.size() == 9 && key.rfind("location", 0) == 0 && key[8] >= '0' && key[8] <= '8') {
        QByteArray svg(R"(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" )"
                       R"(viewBox="0 0 24 24">)");
        svg.append(LocationDrawing(key[8] - '0').c_str());
        svg.append("</svg>");
        return svg;
    }
    const char* body = it != drawings.end()
                           ? it->second
                           : R"(<circle cx="12" cy="12" r="10" fill="#ddd" stroke="#888"/>
                                <text x="12" y="17" font-size="14" text-anchor="middle"
                                 fill="#555">?</text>)";
    QByteArray svg(R"(<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" )"
                   R"(viewBox="0 0 24 24">)");
    svg.append(body);
    svg.append("</svg>");
    return svg;
}

} // namespace

QPixmap IconPixmap(const std::string& key, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(Svg(key));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    return pixmap;
}

QIcon Icon(const std::string& key) {
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        icon.addPixmap(IconPixmap(key, size));
    }
    return icon;
}

std::vector<std::string> IconKeys() {
    std::vector<std::string> keys;
    for (const auto& [key, body] : Drawings()) {
        keys.push_back(key);
    }
    for (int cell = 0; cell < 9; ++cell) {
        keys.push_back("location" + std::to_string(cell));
    }
    return keys;
}

} // namespace scribeline::frontend
