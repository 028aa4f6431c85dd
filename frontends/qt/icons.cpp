#include "frontends/qt/icons.hpp"

#include <QByteArray>
#include <QPainter>
#include <QSvgRenderer>

#include <map>

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
    };
    return drawings;
}

QByteArray Svg(const std::string& key) {
    const auto& drawings = Drawings();
    const auto it = drawings.find(key);
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
    return keys;
}

} // namespace scribeline::frontend
