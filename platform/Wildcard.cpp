#include "platform/Directory.h"

namespace Ulmora {
namespace Platform {

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool MatchWildcard(const char* pattern, const char* name)
{
    // Greedy match with one backtrack point: the last '*' seen. Linear in
    // practice and never recursive, whatever the pattern.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name != 0) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern != 0 && (*pattern == '?' || Lower(*pattern) == Lower(*name))) {
            ++pattern;
            ++name;
        } else if (star != nullptr) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == 0;
}

} // namespace Platform
} // namespace Ulmora
