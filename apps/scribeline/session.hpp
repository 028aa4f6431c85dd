// A session file: what a person does with the digitizer, step by step, as JSON (the format is
// described in docs/session.md). Parsing checks the syntax and the type of every field; names
// of controls, toolbar keys and menu items are checked against the loaded window before the
// first step is played (see session_runner.hpp).
#pragma once

#include "platform/types.hpp"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scribeline::app {

// A session that cannot be played. The text names the file, the step and the field.
class SessionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One field for the field definition dialog.
struct FieldSpec {
    std::string name;
    std::string type;   // a type name of the dialog ("Short Integer", ..., "Text", "Date")
    std::string length; // may be empty: the dialog's default
};

struct Step {
    int number = 0;     // 1-based, as the error texts and the report count
    std::string action; // the "do" field
    // The name the action works on: toolbar key, menu item, control, message box title,
    // picture target ("globe" or "map"), key chord, field name.
    std::string name;
    std::string text;              // "type": the text; "gridValue": the value; "picture": file
    std::optional<int> index;      // "select": option index; "choose": list index
    int value = 0;                 // "scroll": value; "wheel": delta; "answer": result
    int ms = 0;                    // "wait"; "drag" and "clicks": time between points
    int keepOpenMs = 0;            // "answer"
    bool titled = false;           // "answer": a title was given
    std::vector<Point> points;     // mouse positions, render window client pixels
    std::vector<FieldSpec> fields; // "defineFields"
    bool accept = true;            // "defineFields": OK (true) or Cancel
};

struct CameraSpec {
    double latitude = 0.0;
    double longitude = 0.0;
    double range = 0.0;
    double tilt = 0.0;
    double azimuth = 0.0;
};

struct Session {
    std::string source; // the file name used in error texts
    std::string description;
    std::optional<CameraSpec> camera;
    bool pictures = false;
    std::vector<Step> steps;
};

// Raises SessionError.
[[nodiscard]] Session ParseSession(const std::string& text, const std::string& source);
[[nodiscard]] Session LoadSession(const std::filesystem::path& file);

// "<source>: step <n> (\"<action>\"), field \"<field>\": <problem>"
[[nodiscard]] std::string StepError(const Session& session, const Step& step,
                                    const std::string& field, const std::string& problem);

} // namespace scribeline::app
