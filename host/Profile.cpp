#include "Profile.h"

#include <cctype>
#include <cstdlib>

namespace Host {
namespace {

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE (after its byte-order mark) as UTF-8; a lone surrogate becomes
// U+FFFD rather than ending the read.
std::string FromUtf16(const std::string& bytes)
{
    std::string out;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        uint32_t unit = static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
        if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
            const uint32_t low = static_cast<unsigned char>(bytes[at + 2]) |
                                 (static_cast<unsigned char>(bytes[at + 3]) << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                at += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = 0xFFFD;
        AppendUtf8(out, unit);
    }
    return out;
}

std::string Trim(const std::string& text)
{
    size_t start = 0, end = text.size();
    while (start < end && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(start, end - start);
}

// A quoted text starting at text[*at] == '"'; moves *at past the closing
// quote. False when it is not closed.
bool ReadQuoted(const std::string& text, size_t* at, std::string* value)
{
    value->clear();
    for (size_t i = *at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            *at = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            *value += next == 'n' ? '\n' : next == 'r' ? '\r' : next == '0' ? '\0' : next;
        } else {
            *value += c;
        }
    }
    return false;
}

std::string Quote(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            quoted += '\\';
        if (c == '\n')
            quoted += "\\n";
        else if (c == '\r')
            quoted += "\\r";
        else
            quoted += c;
    }
    return quoted + "\"";
}

} // namespace

std::vector<ProfileKey> ReadProfile(const std::string& bytes, std::vector<ProfileError>* errors)
{
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        text = FromUtf16(bytes);
    else if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text = bytes.substr(3);
    else
        text = bytes;

    // Lines with their numbers; a line ending in a backslash (inside hex
    // data) goes on in the next one.
    std::vector<std::pair<int, std::string>> lines;
    int number = 0;
    bool continued = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        ++number;
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (continued)
            lines.back().second += Trim(line);
        else
            lines.emplace_back(number, line);
        continued = !lines.back().second.empty() && lines.back().second.back() == '\\' &&
                    lines.back().second.find("=hex") != std::string::npos;
        if (continued)
            lines.back().second.pop_back();
        if (end == text.size())
            break;
    }

    std::vector<ProfileKey> keys;
    bool header = false;
    for (const auto& entry : lines) {
        const int line = entry.first;
        const std::string content = Trim(entry.second);
        if (content.empty() || content[0] == ';')
            continue;
        if (!header) {
            if (content != "REGEDIT4" && content != "Windows Registry Editor Version 5.00") {
                errors->push_back({line, "not a registry profile: the first line must be \"REGEDIT4\" "
                                         "or \"Windows Registry Editor Version 5.00\""});
                return keys;
            }
            header = true;
            continue;
        }
        if (content[0] == '[') {
            if (content.back() != ']') {
                errors->push_back({line, "a key line must end in ']'"});
                continue;
            }
            ProfileKey key;
            key.line = line;
            std::string name = content.substr(1, content.size() - 2);
            if (!name.empty() && name[0] == '-') {
                key.remove = true;
                name.erase(0, 1);
            }
            const std::string::size_type slash = name.find('\\');
            key.root = name.substr(0, slash);
            key.path = slash == std::string::npos ? std::string() : name.substr(slash + 1);
            while (!key.path.empty() && key.path.back() == '\\')
                key.path.pop_back();
            keys.push_back(key);
            continue;
        }
        if (keys.empty()) {
            errors->push_back({line, "a value before the first [key] line"});
            continue;
        }
        ProfileValue value;
        value.line = line;
        size_t at = 0;
        if (content[0] == '@') {
            at = 1;
        } else if (content[0] == '"') {
            if (!ReadQuoted(content, &at, &value.name)) {
                errors->push_back({line, "the value name's quote is not closed"});
                continue;
            }
        } else {
            errors->push_back({line, "expected a [key], a \"name\"=value line or a ; comment"});
            continue;
        }
        const std::string rest = Trim(content.substr(at));
        if (rest.empty() || rest[0] != '=') {
            errors->push_back({line, "expected '=' after the value name"});
            continue;
        }
        const std::string data = Trim(rest.substr(1));
        if (data == "-") {
            value.kind = ProfileValue::Delete;
        } else if (!data.empty() && data[0] == '"') {
            size_t end = 0;
            if (!ReadQuoted(data, &end, &value.text) || !Trim(data.substr(end)).empty()) {
                errors->push_back({line, "the value's text is not one closed \"quoted\" text"});
                continue;
            }
        } else if (data.compare(0, 6, "dword:") == 0) {
            const std::string digits = data.substr(6);
            char* end = nullptr;
            const unsigned long parsed = std::strtoul(digits.c_str(), &end, 16);
            if (digits.empty() || digits.size() > 8 || *end != '\0') {
                errors->push_back({line, "dword: needs up to 8 hexadecimal digits"});
                continue;
            }
            value.kind = ProfileValue::Dword;
            value.dword = static_cast<uint32_t>(parsed);
        } else if (data.compare(0, 3, "hex") == 0) {
            value.kind = ProfileValue::Hex;
            value.text = data.substr(0, data.find(':'));
        } else {
            errors->push_back({line, "unknown value form '" + data + "'"});
            continue;
        }
        keys.back().values.push_back(value);
    }
    if (!header)
        errors->push_back({1, "empty profile: no \"REGEDIT4\" line"});
    return keys;
}

std::string WriteProfile(const std::vector<ProfileKey>& keys)
{
    std::string text = "REGEDIT4\r\n";
    for (const ProfileKey& key : keys) {
        text += "\r\n[" + key.root + (key.path.empty() ? "" : "\\" + key.path) + "]\r\n";
        for (const ProfileValue& value : key.values)
            text += (value.name.empty() ? "@" : Quote(value.name)) + "=" + Quote(value.text) + "\r\n";
    }
    return text + "\r\n";
}

} // namespace Host
