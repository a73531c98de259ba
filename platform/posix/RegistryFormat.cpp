#include "platform/posix/RegistryFormat.h"

#include <cstdio>
#include <vector>

namespace Ulmora {
namespace Platform {

namespace {

const uint32_t kRegSz = 1;
const uint32_t kRegBinary = 3;
const uint32_t kRegDword = 4;

std::string Quote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

// A REG_SZ is written in quotes when that keeps its bytes exactly: one NUL,
// at the end, and no line breaks.
bool Quotable(const std::string& data)
{
    if (data.empty() || data.back() != '\0')
        return false;
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == '\0' || data[i] == '\n' || data[i] == '\r')
            return false;
    }
    return true;
}

void AppendHex(std::string& out, const std::string& data)
{
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0)
            out += ',';
        const unsigned char byte = static_cast<unsigned char>(data[i]);
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A quoted text starting at `pos` (at its opening quote); moves `pos` past
// the closing quote.
bool ParseQuoted(const std::string& line, size_t& pos, std::string& text)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    text.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos >= line.size())
                return false;
            c = line[pos];
        }
        text += c;
    }
    return false;
}

bool ParseHexBytes(const std::string& text, std::string& data)
{
    data.clear();
    size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos >= text.size())
            break;
        if (pos + 1 >= text.size())
            return false;
        const int high = HexDigit(text[pos]);
        const int low = HexDigit(text[pos + 1]);
        if (high < 0 || low < 0)
            return false;
        data += static_cast<char>(high * 16 + low);
        pos += 2;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        if (pos < text.size()) {
            if (text[pos] != ',')
                return false;
            ++pos;
        }
    }
    return true;
}

bool ParseData(const std::string& text, RegistryValue& value)
{
    if (!text.empty() && text[0] == '"') {
        size_t pos = 0;
        std::string content;
        if (!ParseQuoted(text, pos, content) || pos != text.size())
            return false;
        value.type = kRegSz;
        value.data = content + '\0';
        return true;
    }
    if (text.compare(0, 6, "dword:") == 0) {
        const std::string digits = text.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        uint32_t number = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0)
                return false;
            number = number * 16 + static_cast<uint32_t>(d);
        }
        value.type = kRegDword;
        value.data.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            value.data[static_cast<size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
        return true;
    }
    if (text.compare(0, 4, "hex:") == 0) {
        value.type = kRegBinary;
        return ParseHexBytes(text.substr(4), value.data);
    }
    if (text.compare(0, 4, "hex(") == 0) {
        const size_t close = text.find("):");
        if (close == std::string::npos || close == 4)
            return false;
        uint32_t type = 0;
        for (size_t i = 4; i < close; ++i) {
            const int d = HexDigit(text[i]);
            if (d < 0 || type > 0x0FFFFFFFu)
                return false;
            type = type * 16 + static_cast<uint32_t>(d);
        }
        value.type = type;
        return ParseHexBytes(text.substr(close + 2), value.data);
    }
    return false;
}

std::string NormalizeLoose(const std::string& path)
{
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start) {
            if (!out.empty())
                out += '\\';
            out.append(path, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

} // namespace

std::string RegistryFold(const std::string& name)
{
    std::string out = name;
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

RegistryKey& RegistryCreateKey(RegistryTree& tree, const std::string& path)
{
    // Parents first, so that every prefix of an existing key exists.
    size_t end = 0;
    for (;;) {
        end = path.find('\\', end);
        const std::string prefix = path.substr(0, end);
        RegistryKey& key = tree.keys[RegistryFold(prefix)];
        if (key.path.empty())
            key.path = prefix;
        if (end == std::string::npos)
            return key;
        ++end;
    }
}

void RegistryDeleteTree(RegistryTree& tree, const std::string& path, bool keepSelf)
{
    const std::string folded = RegistryFold(path);
    const std::string prefix = folded.empty() ? std::string() : folded + '\\';
    auto it = tree.keys.lower_bound(prefix);
    while (it != tree.keys.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
        if (it->first == folded) {
            ++it; // the key itself is handled below
            continue;
        }
        it = tree.keys.erase(it);
    }
    auto self = tree.keys.find(folded);
    if (self == tree.keys.end())
        return;
    if (keepSelf || folded.empty())
        self->second.values.clear();
    else
        tree.keys.erase(self);
}

bool ParseRegistryFile(const std::string& text, const std::string& rootName, RegistryTree& tree,
                       std::string& error)
{
    // Split into logical lines: CR LF or LF, and hex data continued with a
    // trailing backslash.
    std::vector<std::string> lines;
    std::vector<size_t> numbers;
    size_t start = 0, number = 0;
    std::string pending;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!pending.empty()) {
            const size_t first = line.find_first_not_of(" \t");
            line = pending + (first == std::string::npos ? std::string() : line.substr(first));
            pending.clear();
        }
        const bool continued = !line.empty() && line.back() == '\\' && line[0] != '[' &&
                               line.find("=hex") != std::string::npos;
        if (continued) {
            line.pop_back();
            pending = line;
            continue;
        }
        lines.push_back(line);
        numbers.push_back(number);
    }
    if (!pending.empty()) {
        error = "data continued past the end of the file";
        return false;
    }

    RegistryTree parsed;
    RegistryKey* current = nullptr;
    bool header = false;
    const std::string root = RegistryFold(rootName);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::string where = "line " + std::to_string(numbers[i]);
        if (!header) {
            if (line.empty())
                continue;
            if (line != "REGEDIT4") {
                error = where + ": the file does not begin with REGEDIT4";
                return false;
            }
            header = true;
            continue;
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                error = where + ": not a key line";
                return false;
            }
            const std::string full = line.substr(1, line.size() - 2);
            const size_t slash = full.find('\\');
            const std::string head = full.substr(0, slash);
            if (RegistryFold(head) != root) {
                error = where + ": key outside " + rootName;
                return false;
            }
            const std::string path =
                NormalizeLoose(slash == std::string::npos ? std::string() : full.substr(slash + 1));
            current = &RegistryCreateKey(parsed, path);
            continue;
        }
        if (current == nullptr) {
            error = where + ": value before the first key";
            return false;
        }
        RegistryValue value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, value.name)) {
            error = where + ": not a value line";
            return false;
        }
        if (pos >= line.size() || line[pos] != '=' || !ParseData(line.substr(pos + 1), value)) {
            error = where + ": unreadable value data";
            return false;
        }
        current->values[RegistryFold(value.name)] = value;
    }
    if (!header) {
        error = "the file does not begin with REGEDIT4";
        return false;
    }
    tree.keys.swap(parsed.keys);
    return true;
}

std::string FormatRegistryFile(const RegistryTree& tree, const std::string& rootName)
{
    std::string out = "REGEDIT4\n";
    for (const auto& entry : tree.keys) {
        const RegistryKey& key = entry.second;
        out += "\n[" + rootName;
        if (!key.path.empty())
            out += '\\' + key.path;
        out += "]\n";
        for (const auto& named : key.values) {
            const RegistryValue& value = named.second;
            out += value.name.empty() ? std::string("@") : Quote(value.name);
            out += '=';
            if (value.type == kRegSz && Quotable(value.data)) {
                out += Quote(value.data.substr(0, value.data.size() - 1));
            } else if (value.type == kRegDword && value.data.size() == 4) {
                uint32_t number = 0;
                for (int i = 3; i >= 0; --i)
                    number = number << 8 | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
                out += buffer;
            } else {
                if (value.type == kRegBinary) {
                    out += "hex:";
                } else {
                    char buffer[24];
                    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
                    out += buffer;
                }
                AppendHex(out, value.data);
            }
            out += '\n';
        }
    }
    return out + '\n';
}

} // namespace Platform
} // namespace Ulmora
