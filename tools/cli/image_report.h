// What varnel-cli tells about a loaded image: a JSON object and a summary.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "loaded_image.h"

namespace varnel::cli {

// Texts of the image are Latin-1; JSON wants UTF-8.
std::string latin1ToUtf8(std::string_view text);

// A JSON value as one line of text. Strings that are not UTF-8 (file names
// may be anything) are written with replacement characters, never refused.
std::string jsonLine(const nlohmann::ordered_json& value);

// A located value of the image as JSON, or null when it was not located.
nlohmann::ordered_json wordOrNull(const BiosImage& image, ImageRef ref);
nlohmann::ordered_json byteOrNull(const BiosImage& image, ImageRef ref);

// One JSON object, on one line, describing the record after the load.
std::string infoJson(const LoadedImage& loaded);

// A readable summary, several lines.
std::string infoText(const LoadedImage& loaded);

}  // namespace varnel::cli
