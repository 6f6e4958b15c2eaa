#pragma once

// Profile (INI) files as Windows reads and writes them: "[section]" headers,
// "key=value" lines, names compared without regard to case, blanks around
// names and values ignored, a value in matching quotes read without them.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvenix {

class IniDocument {
public:
    explicit IniDocument(std::string_view text);

    // The value of key in section, or nothing when either is missing.
    std::optional<std::string> get(std::string_view section, std::string_view key) const;

    // Sets key in section: replaces the key's line where it exists, adds it
    // after the section's last entry otherwise, and adds the section at the end
    // of the document when there is none.
    void set(std::string_view section, std::string_view key, std::string_view value);

    // The document as text, lines ended by "\r\n".
    std::string text() const;

private:
    struct Line {
        std::string raw;
        std::string section;  // non-empty for a "[section]" line
        std::string key;      // non-empty for a "key=value" line
    };
    std::vector<Line> lines_;

    static Line parse_line(std::string raw);
};

bool ini_names_equal(std::string_view a, std::string_view b);

}  // namespace tarvenix
