// What varnel-cli tells about a loaded image: a JSON object and a summary.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "loaded_image.h"

namespace varnel::cli {

// Texts of the image are Latin-1; JSON wants UTF-8.
std::string latin1ToUtf8(std::string_view text);

// UTF-8 text fit for a terminal: control characters (C0, DEL and C1, which
// an image's texts may hold to clear the screen or forge lines) written as
// \xHH or \uHHHH escapes.
std::string terminalText(std::string_view utf8);

// A JSON value as one line of text. Strings that are not UTF-8 (file names
// may be anything) are written with replacement characters, never refused.
std::string jsonLine(const nlohmann::ordered_json& value);

// One field of the JSON object below, by its name; a name that is no field
// is a programming error (std::logic_error).
nlohmann::ordered_json infoField(const LoadedImage& loaded, std::string_view name);

// One JSON object, on one line, describing the record after the load.
std::string infoJson(const LoadedImage& loaded);
// The object of `info --json` for a file that could not be read: its name
// and the editor's message.
std::string infoErrorJson(const LoadedImage& loaded);

// A readable summary, several lines.
std::string infoText(const LoadedImage& loaded);

}  // namespace varnel::cli
