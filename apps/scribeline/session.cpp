#include "apps/scribeline/session.hpp"

#include "platform/desktop.hpp"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace scribeline::app {

namespace {

using nlohmann::json;

enum class Kind { String, Integer, NonNegative, Point, Points, Fields, Answer, Button };

struct FieldRule {
    const char* name;
    Kind kind;
    bool required;
};

struct ActionRule {
    const char* action;
    std::vector<FieldRule> fields;
};

// Every action and the fields it takes, besides "do".
const std::vector<ActionRule>& Rules() {
    static const std::vector<ActionRule> rules = {
        {"command", {}},
        {"toolbar", {{"key", Kind::String, true}}},
        {"menu", {{"item", Kind::String, true}}},
        {"select",
         {{"control", Kind::String, true},
          {"index", Kind::NonNegative, false},
          {"option", Kind::String, false}}},
        {"choose",
         {{"control", Kind::String, true},
          {"item", Kind::String, false},
          {"index", Kind::NonNegative, false}}},
        {"type", {{"control", Kind::String, true}, {"text", Kind::String, true}}},
        {"scroll", {{"control", Kind::String, true}, {"value", Kind::Integer, true}}},
        {"push", {{"control", Kind::String, true}, {"index", Kind::NonNegative, false}}},
        {"key", {{"keys", Kind::String, true}}},
        {"move", {{"at", Kind::Point, true}}},
        {"leftDown", {{"at", Kind::Point, true}}},
        {"leftUp", {{"at", Kind::Point, true}}},
        {"rightDown", {{"at", Kind::Point, true}}},
        {"rightUp", {{"at", Kind::Point, true}}},
        {"click", {{"at", Kind::Point, true}}},
        {"rightClick", {{"at", Kind::Point, true}}},
        {"wheel", {{"at", Kind::Point, true}, {"delta", Kind::Integer, false}}},
        {"drag",
         {{"path", Kind::Points, true},
          {"button", Kind::Button, false},
          {"stepMs", Kind::NonNegative, false}}},
        {"clicks", {{"at", Kind::Points, true}, {"everyMs", Kind::NonNegative, false}}},
        {"wait", {{"ms", Kind::NonNegative, true}}},
        {"answer",
         {{"title", Kind::String, false},
          {"result", Kind::Answer, false},
          {"keepOpenMs", Kind::NonNegative, false}}},
        {"close", {}},
        {"picture", {{"of", Kind::String, true}, {"file", Kind::String, false}}},
        {"defineFields", {{"fields", Kind::Fields, true}, {"answer", Kind::Answer, false}}},
        {"gridValue", {{"field", Kind::String, true}, {"value", Kind::String, true}}},
    };
    return rules;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) {
        out += (out.empty() ? "" : ", ") + n;
    }
    return out;
}

std::string TypeName(const json& value) {
    if (value.is_number_integer() || value.is_number_unsigned()) {
        return "an integer";
    }
    if (value.is_number()) {
        return "a number";
    }
    if (value.is_string()) {
        return "a string";
    }
    if (value.is_boolean()) {
        return "a boolean";
    }
    if (value.is_array()) {
        return "an array";
    }
    if (value.is_object()) {
        return "an object";
    }
    return "null";
}

class Parser {
public:
    explicit Parser(Session& session) : session_(session) {}

    [[noreturn]] void fail(const Step& step, const std::string& field,
                           const std::string& problem) const {
        throw SessionError(StepError(session_, step, field, problem));
    }

    [[noreturn]] void failTop(const std::string& field, const std::string& problem) const {
        throw SessionError(session_.source + ": field \"" + field + "\": " + problem);
    }

    static bool isInt(const json& v) { return v.is_number_integer() || v.is_number_unsigned(); }

    int integer(const Step& step, const std::string& field, const json& v) const {
        if (!isInt(v)) {
            fail(step, field, "expected an integer, found " + TypeName(v));
        }
        const auto n = v.get<long long>();
        if (n < -1'000'000'000LL || n > 1'000'000'000LL) {
            fail(step, field, "the integer " + std::to_string(n) + " is out of range");
        }
        return static_cast<int>(n);
    }

    Point point(const Step& step, const std::string& field, const json& v) const {
        if (!v.is_array() || v.size() != 2 || !isInt(v[0]) || !isInt(v[1])) {
            fail(step, field, "expected a pixel position [x, y] of two integers");
        }
        return Point{integer(step, field, v[0]), integer(step, field, v[1])};
    }

    static int answer(const std::string& word) {
        static const std::map<std::string, int> answers = {
            {"ok", idr::Ok}, {"cancel", idr::Cancel}, {"yes", idr::Yes}, {"no", idr::No}};
        const auto it = answers.find(word);
        return it == answers.end() ? 0 : it->second;
    }

    void field(Step& step, const FieldRule& rule, const json& v) const {
        const std::string name = rule.name;
        switch (rule.kind) {
        case Kind::String:
            if (!v.is_string()) {
                fail(step, name, "expected a string, found " + TypeName(v));
            }
            if (name == "text" || name == "file" || name == "value") {
                step.text = v.get<std::string>();
            } else if (name == "option" || (name == "item" && step.action != "menu")) {
                step.text = v.get<std::string>();
                if (step.text.empty()) {
                    fail(step, name, "must not be empty");
                }
            } else {
                step.name = v.get<std::string>();
                if (step.name.empty() && name != "title") {
                    fail(step, name, "must not be empty");
                }
                step.titled = step.titled || name == "title";
            }
            break;
        case Kind::Integer:
            step.value = integer(step, name, v);
            break;
        case Kind::NonNegative: {
            const int n = integer(step, name, v);
            if (n < 0) {
                fail(step, name, "must not be negative");
            }
            if (name == "index") {
                step.index = n;
            } else if (name == "keepOpenMs") {
                step.keepOpenMs = n;
            } else {
                step.ms = n;
            }
            break;
        }
        case Kind::Point:
            step.points = {point(step, name, v)};
            break;
        case Kind::Points:
            if (!v.is_array() || v.empty()) {
                fail(step, name, "expected a non-empty array of pixel positions [x, y]");
            }
            for (const json& p : v) {
                step.points.push_back(point(step, name, p));
            }
            if (step.action == "drag" && step.points.size() < 2) {
                fail(step, name, "a drag needs at least two positions");
            }
            break;
        case Kind::Button:
            if (!v.is_string() || (v != "left" && v != "right")) {
                fail(step, name, "expected \"left\" or \"right\"");
            }
            step.name = v.get<std::string>();
            break;
        case Kind::Answer: {
            const int result = v.is_string() ? answer(v.get<std::string>()) : 0;
            const bool dialog = step.action == "defineFields";
            if (result == 0 || (dialog && result != idr::Ok && result != idr::Cancel)) {
                fail(step, name,
                     dialog ? "expected \"ok\" or \"cancel\""
                            : "expected \"ok\", \"cancel\", \"yes\" or \"no\"");
            }
            step.value = result;
            step.accept = result == idr::Ok;
            break;
        }
        case Kind::Fields:
            if (!v.is_array()) {
                fail(step, name, "expected an array of fields");
            }
            for (std::size_t i = 0; i < v.size(); ++i) {
                const json& f = v[i];
                const std::string where = name + "[" + std::to_string(i) + "]";
                if (!f.is_object()) {
                    fail(step, where, "expected an object with \"name\", \"type\", \"length\"");
                }
                FieldSpec field;
                for (const auto& [key, item] : f.items()) {
                    if (key != "name" && key != "type" && key != "length") {
                        fail(step, where + "." + key, "unknown field");
                    }
                    if (!item.is_string()) {
                        fail(step, where + "." + key, "expected a string, found " + TypeName(item));
                    }
                }
                if (!f.contains("name") || !f.contains("type")) {
                    fail(step, where + (f.contains("name") ? ".type" : ".name"), "missing");
                }
                field.name = f["name"].get<std::string>();
                field.type = f["type"].get<std::string>();
                field.length = f.value("length", "");
                step.fields.push_back(field);
            }
            break;
        }
    }

    Step step(int number, const json& v) const {
        Step step;
        step.number = number;
        if (!v.is_object()) {
            fail(step, "do", "expected a step object, found " + TypeName(v));
        }
        if (!v.contains("do")) {
            fail(step, "do", "missing");
        }
        if (!v["do"].is_string()) {
            fail(step, "do", "expected a string, found " + TypeName(v["do"]));
        }
        step.action = v["do"].get<std::string>();
        const auto& rules = Rules();
        const auto rule = std::find_if(rules.begin(), rules.end(), [&](const ActionRule& r) {
            return step.action == r.action;
        });
        if (rule == rules.end()) {
            std::vector<std::string> names;
            for (const auto& r : rules) {
                names.emplace_back(r.action);
            }
            fail(step, "do", "unknown action; the actions are: " + Join(names));
        }
        for (const auto& [key, item] : v.items()) {
            if (key == "do") {
                continue;
            }
            const auto f = std::find_if(rule->fields.begin(), rule->fields.end(),
                                        [&](const FieldRule& r) { return key == r.name; });
            if (f == rule->fields.end()) {
                std::vector<std::string> names;
                for (const auto& r : rule->fields) {
                    names.emplace_back(r.name);
                }
                fail(step, key,
                     names.empty() ? "unknown field; this action takes none"
                                   : "unknown field; this action takes: " + Join(names));
            }
            field(step, *f, item);
        }
        for (const auto& r : rule->fields) {
            if (r.required && !v.contains(r.name)) {
                fail(step, r.name, "missing");
            }
        }
        defaults(step, v);
        return step;
    }

    void defaults(Step& step, const json& v) const {
        const std::string& a = step.action;
        if (a == "select" && v.contains("index") == v.contains("option")) {
            fail(step, "index", "give exactly one of \"index\" and \"option\"");
        }
        if (a == "choose" && v.contains("index") == v.contains("item")) {
            fail(step, "item", "give exactly one of \"item\" and \"index\"");
        }
        if (a == "wheel" && !v.contains("delta")) {
            step.value = -120;
        }
        if (a == "drag") {
            if (step.name.empty()) {
                step.name = "left";
            }
            if (!v.contains("stepMs")) {
                step.ms = 100;
            }
        }
        if (a == "clicks" && !v.contains("everyMs")) {
            step.ms = 600;
        }
        if ((a == "answer" || a == "defineFields") &&
            !v.contains(a == "answer" ? "result" : "answer")) {
            step.value = idr::Ok;
            step.accept = true;
        }
        if (a == "picture") {
            if (step.name != "globe" && step.name != "map") {
                fail(step, "of", "expected \"globe\" or \"map\"");
            }
            if (step.text.empty()) {
                step.text = step.name + "-step" + std::to_string(step.number) + ".png";
            }
            if (std::filesystem::path(step.text).has_parent_path()) {
                fail(step, "file",
                     "a plain file name is expected; pictures go to the output "
                     "folder");
            }
        }
    }

    void top(const json& doc) {
        if (!doc.is_object()) {
            throw SessionError(session_.source + ": expected a JSON object at the top, found " +
                               TypeName(doc));
        }
        static const std::set<std::string> known = {"scribelineSession", "description", "camera",
                                                    "pictures", "steps"};
        for (const auto& [key, item] : doc.items()) {
            if (known.count(key) == 0) {
                failTop(key, "unknown field; a session takes: scribelineSession, description, "
                             "camera, pictures, steps");
            }
        }
        if (!doc.contains("scribelineSession")) {
            failTop("scribelineSession", "missing");
        }
        if (doc["scribelineSession"] != 1) {
            failTop("scribelineSession", "this runner reads version 1");
        }
        if (doc.contains("description")) {
            if (!doc["description"].is_string()) {
                failTop("description", "expected a string");
            }
            session_.description = doc["description"].get<std::string>();
        }
        if (doc.contains("pictures")) {
            if (!doc["pictures"].is_boolean()) {
                failTop("pictures", "expected true or false");
            }
            session_.pictures = doc["pictures"].get<bool>();
        }
        if (doc.contains("camera")) {
            camera(doc["camera"]);
        }
        if (!doc.contains("steps")) {
            failTop("steps", "missing");
        }
        if (!doc["steps"].is_array()) {
            failTop("steps", "expected an array of steps");
        }
        int n = 0;
        for (const json& s : doc["steps"]) {
            session_.steps.push_back(step(++n, s));
        }
    }

    void camera(const json& c) {
        if (!c.is_object()) {
            failTop("camera", "expected an object");
        }
        CameraSpec field;
        static const std::vector<std::pair<const char*, double CameraSpec::*>> members = {
            {"latitude", &CameraSpec::latitude},
            {"longitude", &CameraSpec::longitude},
            {"range", &CameraSpec::range},
            {"tilt", &CameraSpec::tilt},
            {"azimuth", &CameraSpec::azimuth}};
        for (const auto& [key, item] : c.items()) {
            const auto m = std::find_if(members.begin(), members.end(),
                                        [&](const auto& p) { return key == p.first; });
            if (m == members.end()) {
                failTop("camera." + key,
                        "unknown field; a camera takes: latitude, longitude, range, tilt, azimuth");
            }
            if (!item.is_number()) {
                failTop("camera." + key, "expected a number, found " + TypeName(item));
            }
            field.*(m->second) = item.get<double>();
        }
        for (const char* required : {"latitude", "longitude", "range"}) {
            if (!c.contains(required)) {
                failTop(std::string("camera.") + required, "missing");
            }
        }
        if (field.latitude < -90 || field.latitude > 90 || field.longitude < -180 ||
            field.longitude > 180) {
            failTop("camera", "latitude must lie in -90..90 and longitude in -180..180");
        }
        if (field.range <= 0) {
            failTop("camera.range", "must be positive (metres)");
        }
        session_.camera = field;
    }

private:
    Session& session_;
};

} // namespace

std::string StepError(const Session& session, const Step& step, const std::string& field,
                      const std::string& problem) {
    std::string where = session.source + ": step " + std::to_string(step.number);
    if (!step.action.empty()) {
        where += " (\"" + step.action + "\")";
    }
    return where + ", field \"" + field + "\": " + problem;
}

Session ParseSession(const std::string& text, const std::string& source) {
    Session session;
    session.source = source;
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // Where the parser stopped, as a person finds it in an editor.
        const std::size_t at = std::min(e.byte == 0 ? 0 : e.byte - 1, text.size());
        int line = 1;
        int column = 1;
        for (std::size_t i = 0; i < at; ++i) {
            if (text[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw SessionError(source + ": not valid JSON at line " + std::to_string(line) +
                           ", column " + std::to_string(column));
    }
    Parser(session).top(doc);
    return session;
}

Session LoadSession(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw SessionError(file.string() + ": cannot be read");
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseSession(text.str(), file.filename().string());
}

} // namespace scribeline::app
