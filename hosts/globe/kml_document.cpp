#include "hosts/globe/kml_document.hpp"

#include "platform/numbers.hpp"

#include <pugixml.hpp>

#include <charconv>
#include <cmath>
#include <map>
#include <optional>

namespace scribeline::globe {

namespace {

std::string_view LocalName(const pugi::xml_node& node) {
    const std::string_view name = node.name();
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node Child(const pugi::xml_node& node, std::string_view localName) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element && LocalName(c) == localName) {
            return c;
        }
    }
    return {};
}

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

std::string TextOf(const pugi::xml_node& node) {
    return std::string(Trim(node.text().get()));
}

// Style values, each present only when the document sets it.
struct PartialStyle {
    std::optional<KmlColour> lineColour;
    std::optional<double> lineWidth;
    std::optional<KmlColour> polyColour;
    std::optional<bool> polyFill;
    std::optional<bool> polyOutline;
    std::optional<KmlColour> iconColour;

    void ApplyTo(KmlStyle& style) const {
        style.lineColour = lineColour.value_or(style.lineColour);
        style.lineWidth = lineWidth.value_or(style.lineWidth);
        style.polyColour = polyColour.value_or(style.polyColour);
        style.polyFill = polyFill.value_or(style.polyFill);
        style.polyOutline = polyOutline.value_or(style.polyOutline);
        style.iconColour = iconColour.value_or(style.iconColour);
    }
};

// Style values are cosmetic: one the client cannot read is left at its default, as clients
// do, rather than refusing the whole document.
std::optional<KmlColour> ParseColour(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '#') {
        text.remove_prefix(1);
    }
    std::uint32_t value = 0;
    if (text.size() != 8) {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    KmlColour c;
    c.alpha = static_cast<std::uint8_t>(value >> 24);
    c.blue = static_cast<std::uint8_t>(value >> 16);
    c.green = static_cast<std::uint8_t>(value >> 8);
    c.red = static_cast<std::uint8_t>(value);
    return c;
}

std::optional<double> ParseNumber(std::string_view text) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> ParseFlag(std::string_view text) {
    text = Trim(text);
    if (text == "1" || text == "true") {
        return true;
    }
    if (text == "0" || text == "false") {
        return false;
    }
    return std::nullopt;
}

PartialStyle ParseStyle(const pugi::xml_node& style) {
    PartialStyle s;
    if (const auto line = Child(style, "LineStyle")) {
        if (const auto c = Child(line, "color")) {
            s.lineColour = ParseColour(c.text().get());
        }
        if (const auto w = Child(line, "width")) {
            if (const auto v = ParseNumber(w.text().get()); v && *v >= 0.0) {
                s.lineWidth = v;
            }
        }
    }
    if (const auto poly = Child(style, "PolyStyle")) {
        if (const auto c = Child(poly, "color")) {
            s.polyColour = ParseColour(c.text().get());
        }
        if (const auto f = Child(poly, "fill")) {
            s.polyFill = ParseFlag(f.text().get());
        }
        if (const auto o = Child(poly, "outline")) {
            s.polyOutline = ParseFlag(o.text().get());
        }
    }
    if (const auto icon = Child(style, "IconStyle")) {
        if (const auto c = Child(icon, "color")) {
            s.iconColour = ParseColour(c.text().get());
        }
    }
    return s;
}

// Coordinate tuples "lon,lat[,alt]" separated by white space. Spaces after a comma are
// tolerated, as some writers put them there.
std::vector<KmlCoordinate> ParseCoordinates(std::string_view text, std::ptrdiff_t offset) {
    std::vector<KmlCoordinate> out;
    const auto fail = [offset](const std::string& why) {
        throw KmlError("coordinates at offset " + std::to_string(offset) + ": " + why);
    };
    std::size_t i = 0;
    const auto skipSpace = [&]() {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) {
            ++i;
        }
    };
    const auto readNumber = [&]() {
        skipSpace();
        const std::size_t start = i;
        while (i < text.size() && text[i] != ',' && text[i] != ' ' && text[i] != '\t' &&
               text[i] != '\r' && text[i] != '\n') {
            ++i;
        }
        const auto v = ParseNumber(text.substr(start, i - start));
        if (!v) {
            std::string why(1, '"');
            why.append(text.substr(start, i - start));
            why.append("\" is not a number");
            fail(why);
        }
        return *v;
    };
    skipSpace();
    while (i < text.size()) {
        double values[3] = {0.0, 0.0, 0.0};
        int count = 0;
        while (true) {
            if (count == 3) {
                fail("a tuple has more than three numbers");
            }
            values[count++] = readNumber();
            skipSpace();
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (count < 2) {
            fail("a tuple needs a longitude and a latitude");
        }
        if (std::abs(values[1]) > 90.0) {
            fail("latitude " + FormatFixed(values[1], 6) + " is beyond the poles");
        }
        out.push_back({values[0], values[1], values[2]});
        skipSpace();
    }
    return out;
}

AltitudeMode ModeOf(const pugi::xml_node& geometry) {
    pugi::xml_node m = Child(geometry, "altitudeMode");
    if (!m) {
        // The extension namespace's modes read like their base ones.
        for (pugi::xml_node c = geometry.first_child(); c; c = c.next_sibling()) {
            if (std::string_view(c.name()) == "gx:altitudeMode") {
                m = c;
            }
        }
    }
    const std::string mode = m ? TextOf(m) : std::string();
    if (mode == "absolute") {
        return AltitudeMode::Absolute;
    }
    if (mode == "relativeToGround" || mode == "relativeToSeaFloor") {
        return AltitudeMode::RelativeToGround;
    }
    return AltitudeMode::ClampToGround;
}

std::vector<KmlCoordinate> CoordinatesOf(const pugi::xml_node& node) {
    const pugi::xml_node c = Child(node, "coordinates");
    if (!c) {
        return {};
    }
    return ParseCoordinates(c.text().get(), c.offset_debug());
}

void CollectGeometry(const pugi::xml_node& node, std::vector<KmlGeometry>& out) {
    const std::string_view name = LocalName(node);
    KmlGeometry g;
    g.altitudeMode = ModeOf(node);
    if (name == "Point") {
        g.kind = KmlGeometry::Kind::Point;
        g.coordinates = CoordinatesOf(node);
    } else if (name == "LineString") {
        g.kind = KmlGeometry::Kind::LineString;
        g.coordinates = CoordinatesOf(node);
    } else if (name == "LinearRing") {
        g.kind = KmlGeometry::Kind::LinearRing;
        g.coordinates = CoordinatesOf(node);
    } else if (name == "Polygon") {
        g.kind = KmlGeometry::Kind::Polygon;
        if (const auto outer = Child(Child(node, "outerBoundaryIs"), "LinearRing")) {
            g.coordinates = CoordinatesOf(outer);
        }
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (LocalName(c) == "innerBoundaryIs") {
                if (const auto ring = Child(c, "LinearRing")) {
                    g.innerRings.push_back(CoordinatesOf(ring));
                }
            }
        }
    } else if (name == "MultiGeometry") {
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) {
                CollectGeometry(c, out);
            }
        }
        return;
    } else {
        return; // models, tracks and other kinds are not shown
    }
    out.push_back(std::move(g));
}

class Reader {
public:
    KmlDocument Read(const pugi::xml_node& root) {
        CollectStyles(root);
        KmlDocument doc;
        doc.name = FirstName(root);
        Walk(root, doc);
        return doc;
    }

private:
    std::map<std::string, PartialStyle, std::less<>> styles_;
    std::map<std::string, std::string, std::less<>> styleMaps_; // id -> normal style url

    void CollectStyles(const pugi::xml_node& node) {
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element) {
                continue;
            }
            const std::string_view name = LocalName(c);
            const std::string id = c.attribute("id").as_string();
            if (name == "Style" && !id.empty()) {
                styles_[id] = ParseStyle(c);
            } else if (name == "StyleMap" && !id.empty()) {
                for (pugi::xml_node pair = c.first_child(); pair; pair = pair.next_sibling()) {
                    if (LocalName(pair) == "Pair" && TextOf(Child(pair, "key")) == "normal") {
                        styleMaps_[id] = TextOf(Child(pair, "styleUrl"));
                    }
                }
            } else if (name != "Placemark") {
                CollectStyles(c);
            }
        }
    }

    [[nodiscard]] const PartialStyle* Shared(std::string_view url, int depth = 0) const {
        const auto hash = url.find('#');
        if (hash == std::string_view::npos || depth > 4) {
            return nullptr;
        }
        const std::string_view id = url.substr(hash + 1);
        if (const auto s = styles_.find(id); s != styles_.end()) {
            return &s->second;
        }
        if (const auto m = styleMaps_.find(id); m != styleMaps_.end()) {
            return Shared(m->second, depth + 1);
        }
        return nullptr;
    }

    static std::string FirstName(const pugi::xml_node& root) {
        for (pugi::xml_node c = root.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element) {
                continue;
            }
            const std::string_view n = LocalName(c);
            if (n == "name") {
                return TextOf(c);
            }
            if (n == "Document" || n == "Folder" || n == "Placemark") {
                if (const auto name = Child(c, "name")) {
                    return TextOf(name);
                }
                return FirstName(c);
            }
        }
        return "Untitled";
    }

    void Walk(const pugi::xml_node& node, KmlDocument& doc) {
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element) {
                continue;
            }
            const std::string_view name = LocalName(c);
            if (name == "Placemark") {
                doc.placemarks.push_back(ReadPlacemark(c));
            } else if (name == "Document" || name == "Folder") {
                Walk(c, doc);
            }
        }
    }

    KmlPlacemark ReadPlacemark(const pugi::xml_node& node) {
        KmlPlacemark p;
        p.name = TextOf(Child(node, "name"));
        if (const auto url = Child(node, "styleUrl")) {
            if (const PartialStyle* shared = Shared(TextOf(url))) {
                shared->ApplyTo(p.style);
            }
        }
        if (const auto inline_ = Child(node, "Style")) {
            ParseStyle(inline_).ApplyTo(p.style);
        }
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_element) {
                CollectGeometry(c, p.geometries);
            }
        }
        return p;
    }
};

} // namespace

std::size_t KmlDocument::CoordinateCount() const {
    std::size_t n = 0;
    for (const KmlPlacemark& p : placemarks) {
        for (const KmlGeometry& g : p.geometries) {
            n += g.coordinates.size();
            for (const auto& ring : g.innerRings) {
                n += ring.size();
            }
        }
    }
    return n;
}

KmlDocument ParseKml(std::string_view text) {
    pugi::xml_document xml;
    const pugi::xml_parse_result result =
        xml.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
    if (!result) {
        throw KmlError(std::string("malformed XML at offset ") + std::to_string(result.offset) +
                       ": " + result.description());
    }
    const pugi::xml_node root = xml.document_element();
    if (!root || LocalName(root) != "kml") {
        throw KmlError("the root element is not <kml>");
    }
    return Reader().Read(root);
}

} // namespace scribeline::globe
