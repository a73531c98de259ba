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
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            if (c == '\\' || c == '"')
                out += '\\';
            out += c;
        }
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
// the closing quote. A backslash takes the next byte as it is, except that
// "\\n" and "\\r" stand for a line feed and a carriage return, which cannot
// stand in a line themselves.
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
            if (c == 'n')
                c = '\n';
            else if (c == 'r')
                c = '\r';
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

std::string RegistryJoinPath(const std::string& base, const char* sub)
{
    std::string out = base;
    if (sub == nullptr)
        return out;
    const std::string text(sub);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            if (!out.empty())
                out += '\\';
            out.append(text, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

bool RegistryKeyNameWritable(const std::string& path)
{
    return path.find('\n') == std::string::npos;
}

RegistryTree::RegistryTree() : m_Nodes(1) {}

RegistryTree::Node RegistryTree::Child(Node parent, const std::string& name, bool create)
{
    const std::string folded = RegistryFold(name);
    auto found = m_Nodes[parent].children.find(folded);
    if (found != m_Nodes[parent].children.end())
        return found->second;
    if (!create)
        return kNone;
    Node node;
    if (!m_Free.empty()) {
        node = m_Free.back();
        m_Free.pop_back();
    } else {
        node = m_Nodes.size();
        m_Nodes.emplace_back();
    }
    m_Nodes[node].name = name;
    m_Nodes[node].parent = parent;
    m_Nodes[parent].children.emplace(folded, node);
    return node;
}

RegistryTree::Node RegistryTree::Find(const std::string& path) const
{
    Node node = kRoot;
    size_t start = 0;
    while (start < path.size() && node != kNone) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const auto& children = m_Nodes[node].children;
        const auto found = children.find(RegistryFold(path.substr(start, end - start)));
        node = found == children.end() ? kNone : found->second;
        start = end + 1;
    }
    return node;
}

RegistryTree::Node RegistryTree::Create(const std::string& path)
{
    Node node = kRoot;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            node = Child(node, path.substr(start, end - start), true);
        start = end + 1;
    }
    return node;
}

void RegistryTree::DeleteTree(const std::string& path, bool keepSelf)
{
    const Node self = Find(path);
    if (self == kNone)
        return;
    // Every node below `self`, freed without recursion.
    std::vector<Node> doomed;
    for (const auto& child : m_Nodes[self].children)
        doomed.push_back(child.second);
    m_Nodes[self].children.clear();
    m_Nodes[self].values.clear();
    if (!keepSelf && self != kRoot) {
        Entry& entry = m_Nodes[self];
        m_Nodes[entry.parent].children.erase(RegistryFold(entry.name));
        doomed.push_back(self);
    }
    while (!doomed.empty()) {
        const Node node = doomed.back();
        doomed.pop_back();
        for (const auto& child : m_Nodes[node].children)
            doomed.push_back(child.second);
        m_Nodes[node] = Entry();
        m_Free.push_back(node);
    }
}

bool ParseRegistryFile(const std::string& text, const std::string& rootName, RegistryTree& tree,
                       std::string& error)
{
    RegistryTree parsed;
    RegistryTree::Node current = RegistryTree::kNone;
    bool header = false;
    const std::string root = RegistryFold(rootName);

    // Logical lines: CR LF or LF, and hex data continued with a trailing
    // backslash. A continued line is appended to in place, so that long data
    // costs time in proportion to its length.
    size_t start = 0, number = 0;
    std::string line;
    size_t lineNumber = 0;
    bool continuing = false;
    while (start < text.size() || continuing) {
        if (start >= text.size()) {
            error = "line " + std::to_string(lineNumber) +
                    ": data continued past the end of the file";
            return false;
        }
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        size_t stop = end;
        if (stop > start && text[stop - 1] == '\r')
            --stop;
        ++number;
        if (continuing) {
            size_t first = start;
            while (first < stop && (text[first] == ' ' || text[first] == '\t'))
                ++first;
            line.append(text, first, stop - first);
        } else {
            line.assign(text, start, stop - start);
            lineNumber = number;
        }
        start = end + 1;
        // Once a line is known to continue, its start is not searched again.
        continuing = !line.empty() && line.back() == '\\' &&
                     (continuing || (line[0] != '[' && line.find("=hex") != std::string::npos));
        if (continuing) {
            line.pop_back();
            continue;
        }

        const auto where = [lineNumber] { return "line " + std::to_string(lineNumber); };
        if (!header) {
            if (line.empty())
                continue;
            if (line != "REGEDIT4") {
                error = where() + ": the file does not begin with REGEDIT4";
                return false;
            }
            header = true;
            continue;
        }
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3 || line[1] == '-') {
                error = where() + ": not a key line";
                return false;
            }
            const size_t slash = line.find('\\');
            const size_t headEnd = slash == std::string::npos ? line.size() - 1 : slash;
            if (RegistryFold(line.substr(1, headEnd - 1)) != root) {
                error = where() + ": key outside " + rootName;
                return false;
            }
            current = slash == std::string::npos
                          ? RegistryTree::kRoot
                          : parsed.Create(line.substr(slash + 1, line.size() - slash - 2));
            continue;
        }
        if (current == RegistryTree::kNone) {
            error = where() + ": value before the first key";
            return false;
        }
        RegistryValue value;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, value.name)) {
            error = where() + ": not a value line";
            return false;
        }
        if (pos >= line.size() || line[pos] != '=' || !ParseData(line.substr(pos + 1), value)) {
            error = where() + ": unreadable value data";
            return false;
        }
        parsed.Values(current)[RegistryFold(value.name)] = std::move(value);
    }
    // Without a header every line was empty: an empty store.
    tree = std::move(parsed);
    return true;
}

std::string FormatRegistryFile(const RegistryTree& tree, const std::string& rootName)
{
    std::string out = "REGEDIT4\n";
    tree.ForEach([&](const std::string& path, RegistryTree::Node node) {
        const auto& values = tree.Values(node);
        // The root is written only for its values; a key without values
        // but with subkeys is implied by their lines.
        if (values.empty() && (node == RegistryTree::kRoot || tree.HasChildren(node)))
            return true;
        out += "\n[" + rootName;
        if (!path.empty())
            out += '\\' + path;
        out += "]\n";
        for (const auto& named : values) {
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
        return true;
    });
    return out + '\n';
}

} // namespace Platform
} // namespace Ulmora
