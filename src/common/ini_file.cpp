#include "common/ini_file.h"

namespace tarvenix {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s) {
    const auto begin = s.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) {
        return {};
    }
    const auto end = s.find_last_not_of(kBlanks);
    return s.substr(begin, end - begin + 1);
}

char ascii_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ini_names_equal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i])) {
            return false;
        }
    }
    return true;
}

IniDocument::Line IniDocument::parse_line(std::string raw) {
    Line line;
    const std::string_view t = trim(raw);
    if (!t.empty() && t.front() == '[') {
        const auto close = t.find(']');
        if (close != std::string_view::npos) {
            line.section = std::string(trim(t.substr(1, close - 1)));
            if (line.section.empty()) {
                line.section.assign(1, ' ');  // "[]" still opens a (nameless) section
            }
        }
    } else if (!t.empty() && t.front() != ';') {
        const auto eq = t.find('=');
        if (eq != std::string_view::npos && eq > 0) {
            line.key = std::string(trim(t.substr(0, eq)));
        }
    }
    line.raw = std::move(raw);
    return line;
}

IniDocument::IniDocument(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        std::string_view raw =
            text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (!raw.empty() && raw.back() == '\r') {
            raw.remove_suffix(1);
        }
        lines_.push_back(parse_line(std::string(raw)));
        if (end == std::string_view::npos) {
            break;
        }
        pos = end + 1;
    }
}

std::optional<std::string> IniDocument::get(std::string_view section, std::string_view key) const {
    bool in_section = false;
    for (const auto& line : lines_) {
        if (!line.section.empty()) {
            in_section = ini_names_equal(trim(line.section), trim(section));
            continue;
        }
        if (in_section && !line.key.empty() && ini_names_equal(line.key, trim(key))) {
            std::string_view value =
                trim(std::string_view(line.raw).substr(line.raw.find('=') + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string entry = std::string(trim(key)) + "=" + std::string(value);
    std::optional<std::size_t> section_line;
    std::size_t last_entry = 0;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (!line.section.empty()) {
            if (section_line) {
                break;  // the section ended without the key
            }
            if (ini_names_equal(trim(line.section), trim(section))) {
                section_line = i;
                last_entry = i;
            }
            continue;
        }
        if (!section_line) {
            continue;
        }
        if (!line.key.empty() && ini_names_equal(line.key, trim(key))) {
            // The key keeps the spelling it has in the file.
            lines_[i] = parse_line(line.key + "=" + std::string(value));
            return;
        }
        if (!trim(line.raw).empty()) {
            last_entry = i;
        }
    }
    if (section_line) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_entry + 1),
                      parse_line(entry));
        return;
    }
    std::string header(1, '[');  // (not "[" + ...: a false -Wrestrict in GCC 12 at -O3)
    header.append(trim(section)).push_back(']');
    lines_.push_back(parse_line(std::move(header)));
    lines_.push_back(parse_line(entry));
}

std::string IniDocument::text() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line.raw;
        out += "\r\n";
    }
    return out;
}

}  // namespace tarvenix
