// The registry export format "REGEDIT4", for the file store that stands in
// for the Windows registry elsewhere: reading a file into a tree of keys and
// values, and writing the tree back. Pure text handling; no file access.
//
// Parsing and writing take time in proportion to the size of the text, also
// for very deep key paths and very long values: keys are nodes of a tree (no
// key holds the full path of its parents), and nothing walks the tree by
// recursion, so depth costs no stack.
#ifndef ULMORA_PLATFORM_POSIX_REGISTRYFORMAT_H
#define ULMORA_PLATFORM_POSIX_REGISTRYFORMAT_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace Ulmora {
namespace Platform {

struct RegistryValue {
    std::string name; // as written; empty for the default value "@"
    uint32_t type = 0;
    std::string data; // the raw bytes
};

// ASCII lower case: key and value names compare without case.
std::string RegistryFold(const std::string& name);

// Joins `base` (already normalized) and `sub`, components separated by one
// '\' and empty components dropped; null `sub` gives `base`.
std::string RegistryJoinPath(const std::string& base, const char* sub);

// Whether the file format can hold `name` as a key name component. A line
// feed would end the key's line; every other byte can be written.
bool RegistryKeyNameWritable(const std::string& path);

// Every key of one root. The root itself always exists. Paths are normalized
// (see RegistryJoinPath) and compare without case.
class RegistryTree {
public:
    typedef size_t Node;
    static constexpr Node kRoot = 0;
    static constexpr Node kNone = static_cast<size_t>(-1);

    RegistryTree();

    Node Find(const std::string& path) const;
    bool Exists(const std::string& path) const { return Find(path) != kNone; }
    // Creates the key and its missing parents.
    Node Create(const std::string& path);
    // Removes the key and everything below it; with keepSelf, or for the
    // root, only its values and everything below it.
    void DeleteTree(const std::string& path, bool keepSelf);

    // Values of a key by lower-case name.
    std::map<std::string, RegistryValue>& Values(Node node) { return m_Nodes[node].values; }
    const std::map<std::string, RegistryValue>& Values(Node node) const
    {
        return m_Nodes[node].values;
    }

    bool HasChildren(Node node) const { return !m_Nodes[node].children.empty(); }

    // Keys in file order (each parent before its children), each with its
    // path as first written. Stops early when `visit` returns false.
    template <class Visit>
    void ForEach(Visit visit) const;

private:
    struct Entry {
        std::string name; // the last component as first written
        Node parent = kNone;
        std::map<std::string, Node> children; // by lower-case name
        std::map<std::string, RegistryValue> values;
    };
    Node Child(Node parent, const std::string& name, bool create);
    std::vector<Entry> m_Nodes;
    std::vector<Node> m_Free; // removed nodes, reused by Create
};

template <class Visit>
void RegistryTree::ForEach(Visit visit) const
{
    // Depth first with an explicit stack: a key path may be deeper than the
    // thread's stack would allow for recursion.
    struct Frame {
        Node node;
        std::map<std::string, Node>::const_iterator next;
        size_t pathLength;
    };
    std::string path;
    std::vector<Frame> stack;
    if (!visit(path, kRoot))
        return;
    stack.push_back(Frame{kRoot, m_Nodes[kRoot].children.begin(), 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == m_Nodes[top.node].children.end()) {
            path.resize(top.pathLength);
            stack.pop_back();
            continue;
        }
        const Node child = top.next->second;
        ++top.next;
        const size_t length = path.size();
        if (!path.empty())
            path += '\\';
        path += m_Nodes[child].name;
        if (!visit(path, child))
            return;
        stack.push_back(Frame{child, m_Nodes[child].children.begin(), length});
    }
}

// Parses a whole file for the root named `rootName` ("HKEY_CURRENT_USER").
// An empty file (nothing but blank lines) is an empty tree. False, with
// `error` set ("line N: reason") and `tree` untouched, when the text is not a
// complete REGEDIT4 file of that root.
bool ParseRegistryFile(const std::string& text, const std::string& rootName, RegistryTree& tree,
                       std::string& error);
// Writes a key line for every key that has values or no subkeys; the other
// keys are implied by their subkeys' lines.
std::string FormatRegistryFile(const RegistryTree& tree, const std::string& rootName);

} // namespace Platform
} // namespace Ulmora

#endif
