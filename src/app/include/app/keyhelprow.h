#pragma once
// A row of Help ▸ Keyboard and mouse: keys and what they do. A row without
// keys is a heading over the rows after it (Does is its text).

#include <QString>

namespace wbx {

struct TKeyHelpRow {
    QString Keys;  // as the platform writes them ("Ctrl+Q")
    QString Does;

    bool operator==(const TKeyHelpRow&) const = default;
};

}  // namespace wbx
