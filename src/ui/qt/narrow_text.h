// The editor's texts are narrow 8-bit strings: paths and names in UTF-8,
// texts out of an image in Latin-1.
#pragma once

#include <QString>
#include <string>

namespace varnel::qtui {

// UTF-8 where the bytes are valid UTF-8, Latin-1 otherwise.
QString fromNarrow(const std::string& text);
std::string toNarrow(const QString& text);

}  // namespace varnel::qtui
