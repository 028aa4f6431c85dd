// The contour KML document: head with its styles, one placemark per level, tail.
#include "kml/kml_format.hpp"
#include "terrain/Contour.hpp"

namespace scribeline::terrain {

namespace {

constexpr const char* kCrLf = "\r\n";

void appendStyle(std::string& out, const std::string& id, Colour colour) {
    out += "       <Style id='" + id + "'>";
    out += kCrLf;
    for (const char* line : {"           <IconStyle>", "               <color>ffffff55</color>",
                             "               <scale>0.4</scale>", "               <Icon></Icon>",
                             "           </IconStyle>", "           <LabelStyle>",
                             "               <color>ffeeee55</color>", "           </LabelStyle>",
                             "           <LineStyle>"}) {
        out += line;
        out += kCrLf;
    }
    // The colour shares its line with the width.
    out += "             <color>ff" + KmlColourText(colour) + "</color>";
    out += "             <width>1</width>";
    out += kCrLf;
    out += "           </LineStyle>        ";
    out += kCrLf;
    out += "       </Style>";
    out += kCrLf;
}

bool blank(const std::string& text) {
    return text.find_first_not_of(' ') == std::string::npos;
}

} // namespace

std::string HexByte(int value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const int v = ((value % 256) + 256) % 256;
    std::string out;
    out += kDigits[v / 16];
    out += kDigits[v % 16];
    return out;
}

std::string KmlColourText(Colour colour) {
    return HexByte(blueOf(colour)) + HexByte(greenOf(colour)) + HexByte(redOf(colour));
}

std::vector<Colour> GradientColours(Colour start, Colour end, int n) {
    std::vector<Colour> colours;
    if (n <= 0) {
        return colours;
    }
    auto step = [n](int from, int to, int i) {
        const double value = static_cast<double>(to - from) / n * i + from;
        return static_cast<int>(RoundHalfEven(value));
    };
    for (int i = 0; i < n; ++i) {
        colours.push_back(rgb(step(redOf(start), redOf(end), i),
                              step(greenOf(start), greenOf(end), i),
                              step(blueOf(start), blueOf(end), i)));
    }
    return colours;
}

std::string ContourDocumentHead(int levelCount, bool gradient) {
    std::string out = "<?xml version='1.0' encoding='UTF-8'?>";
    out += "<kml xmlns='";
    out += kKmlNamespace22;
    out += "'>";
    out += " <Document>";
    out += "     <name>Tavi-Isolinea</name>";
    appendStyle(out, "Contours", rgb(255, 255, 255));
    if (gradient) {
        const std::vector<Colour> colours =
            GradientColours(kGradientStart, kGradientEnd, levelCount);
        for (int i = 0; i < levelCount; ++i) {
            appendStyle(out, "Contour" + std::to_string(i), colours[static_cast<std::size_t>(i)]);
        }
    }
    return out;
}

std::string ContourDocumentTail() {
    return " </Document></kml>";
}

std::string ContourDocumentBody(const std::vector<std::string>& levelTexts) {
    std::string out;
    for (std::size_t k = 0; k < levelTexts.size(); ++k) {
        if (blank(levelTexts[k])) {
            continue;
        }
        out += "<Placemark><styleUrl>#Contour" + std::to_string(k) + "</styleUrl><MultiGeometry>";
        out += levelTexts[k];
        out += "</MultiGeometry></Placemark>";
        out += kCrLf;
    }
    return out;
}

} // namespace scribeline::terrain
