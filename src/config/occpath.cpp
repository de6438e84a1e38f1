// Path spelling of occurrence properties: pathnames of paths and the paths of pathnames, with one
// bracket rule for both directions (config.h).
#include <algorithm>
#include <cstdlib>

#include "config/occpropInt.h"

namespace nyxOccPropPath {

namespace {

void bracket(char c, int &depth) {
    if (c == '(' || c == '<' || c == '[') ++depth;
    else if ((c == ')' || c == '>' || c == ']') && depth > 0) --depth;
}

void appendName(std::string &out, std::string_view name) {
    int depth = 0;
    for (char c : name) {
        bracket(c, depth);
        if (c == '/' || c == '\\' || (c == ':' && depth == 0)) out += '\\';
        out += c;
    }
}

} // namespace

std::string pathname(const std::vector<std::string> &names) {
    if (names.empty()) return "/";
    std::string out;
    for (const std::string &name : names) {
        out += '/';
        appendName(out, name);
    }
    return out;
}

std::vector<std::string> parse(std::string_view text) {
    std::vector<std::string> names;
    size_t i = !text.empty() && text[0] == '/' ? 1 : 0;
    if (i == text.size()) return names;
    std::string name;
    int depth = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            name += text[++i];
            continue;
        }
        if (c == '/') {
            names.push_back(std::move(name));
            name.clear();
            depth = 0;
            continue;
        }
        if (c == ':' && depth == 0) break;
        bracket(c, depth);
        name += c;
    }
    names.push_back(std::move(name));
    return names;
}

std::vector<std::string> path(const nyxOccPropNode *node) {
    std::vector<std::string> names;
    std::string_view leaf = node->d_name.getString();
    if (std::abs(node->d_code) == nyxCodePortOccProp) leaf = leaf.substr(0, leaf.find(kOccPortJoin));
    if (node->d_parent != nullptr) names.emplace_back(leaf);
    for (const nyxOccPropNode *n = node->d_parent; n != nullptr && n->d_parent != nullptr; n = n->d_parent) {
        names.emplace_back(n->d_name.getString());
    }
    std::reverse(names.begin(), names.end());
    return names;
}

std::vector<std::string> memberPath(const nyxOccPropNode *node) {
    if (std::abs(node->d_code) != nyxCodePortOccProp) return {};
    std::string_view name = node->d_name.getString();
    const size_t join = name.find(kOccPortJoin);
    if (join == std::string_view::npos) return {};
    return parse(name.substr(join + 1));
}

std::string pathname(const nyxOccPropNode *node) {
    std::string out = pathname(path(node));
    if (std::abs(node->d_code) == nyxCodePortOccProp) {
        std::vector<std::string> member = memberPath(node);
        if (!member.empty()) out += ":" + pathname(member);
    }
    return out;
}

std::string internalPortName(std::string_view port, const std::vector<std::string> &member) {
    std::string out(port);
    out += kOccPortJoin;
    out += pathname(member);
    return out;
}

} // namespace nyxOccPropPath
