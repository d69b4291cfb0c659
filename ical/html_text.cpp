#include "ical/html_text.h"

#include "platform/code_page.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace ics {
namespace {

// The elements of the HTML that calendar descriptions carry.
constexpr std::array<std::string_view, 19> kKnownElements{"a",  "b",  "br",   "div", "em",       "font",   "html",
                                                          "i",  "li", "ol",   "p",   "span",     "strong", "u",
                                                          "ul", "hr", "body", "s",   "html-blob"};

// The elements whose start or end begins a new line of text.
constexpr std::array<std::string_view, 7> kBreakingElements{"br", "p", "div", "li", "ul", "ol", "hr"};

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-'; }

// One tag: its element's name (lower case) and whether it ends the element.
struct Tag {
    std::string name;
    bool closing = false;
    std::string_view attributes;
    std::size_t length = 0;  // from "<" to ">" inclusive
};

// Returns the tag at the start of `text` when it is one: "<", an optional "/", a name of letters,
// digits and "-" that starts with a letter, then ">", "/>", or white space, ASCII attributes with
// at least one value and ">".
std::optional<Tag> TagAt(std::string_view text) {
    if (text.size() < 3 || text[0] != '<') return std::nullopt;
    Tag tag;
    std::size_t at = 1;
    if (text[at] == '/') {
        tag.closing = true;
        ++at;
    }
    if (at >= text.size() || std::isalpha(static_cast<unsigned char>(text[at])) == 0) return std::nullopt;
    while (at < text.size() && IsNameChar(text[at])) tag.name += Lower(text[at++]);
    const std::size_t end = text.find('>', at);
    if (end == std::string_view::npos || text.substr(at, end - at).find('<') != std::string_view::npos)
        return std::nullopt;
    tag.attributes = text.substr(at, end - at);
    // After the name: nothing, a "/", or attributes with values, so that "a<b and c>d" is no tag.
    const std::size_t rest = tag.attributes.find_first_not_of(" \t/");
    if (rest != std::string_view::npos && (std::isspace(static_cast<unsigned char>(text[at])) == 0 ||
                                           tag.attributes.find('=') == std::string_view::npos ||
                                           std::any_of(tag.attributes.begin(), tag.attributes.end(),
                                                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; })))
        return std::nullopt;
    tag.length = end + 1;
    return tag;
}

bool IsKnown(const std::string& name) {
    return std::find(kKnownElements.begin(), kKnownElements.end(), name) != kKnownElements.end();
}

// Returns the value of the href attribute, "" when there is none.
std::string HrefOf(std::string_view attributes) {
    std::string lower(attributes);
    std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
    std::size_t at = lower.find("href");
    if (at == std::string::npos) return "";
    at = lower.find('=', at);
    if (at == std::string::npos) return "";
    ++at;
    while (at < attributes.size() && attributes[at] == ' ') ++at;
    if (at >= attributes.size()) return "";
    const char quote = attributes[at];
    if (quote == '"' || quote == '\'') {
        const std::size_t end = attributes.find(quote, at + 1);
        return std::string(attributes.substr(at + 1, end == std::string_view::npos ? end : end - at - 1));
    }
    const std::size_t end = attributes.find_first_of(" \t>", at);
    return std::string(attributes.substr(at, end == std::string_view::npos ? end : end - at));
}

// Appends the character the reference at the start of `text` ("&amp;", "&#10;") stands for and
// returns its length, or 0 when it is no reference this reading knows.
std::size_t AppendReference(std::string& out, std::string_view text) {
    const std::size_t end = text.find(';');
    if (end == std::string_view::npos || end > 10) return 0;
    const std::string_view name = text.substr(1, end - 1);
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kNamed{
        {{"amp", "&"}, {"lt", "<"}, {"gt", ">"}, {"quot", "\""}, {"apos", "'"}, {"nbsp", " "}}};
    for (const auto& [entity, character] : kNamed)
        if (name == entity) {
            out += character;
            return end + 1;
        }
    if (name.size() < 2 || name[0] != '#') return 0;
    const bool hex = name[1] == 'x' || name[1] == 'X';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    std::uint32_t code = 0;
    const auto [rest, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (error != std::errc() || rest != digits.data() + digits.size() || code == 0 || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    platform::AppendUtf8(out, static_cast<char32_t>(code));
    return end + 1;
}

}  // namespace

bool LooksLikeHtml(std::string_view text) {
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        const std::optional<Tag> tag = TagAt(text.substr(at));
        if (tag && IsKnown(tag->name)) return true;
    }
    return false;
}

std::string PlainTextOfHtml(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::string href;           // the open link's address
    std::size_t linkStart = 0;  // where its text begins in `out`
    for (std::size_t at = 0; at < html.size();) {
        const char c = html[at];
        if (c == '<') {
            if (const std::optional<Tag> tag = TagAt(html.substr(at))) {
                at += tag->length;
                if (std::find(kBreakingElements.begin(), kBreakingElements.end(), tag->name) !=
                    kBreakingElements.end()) {
                    // A block's start after text, its end, and every <br> end the line.
                    if (tag->name == "br" || tag->closing || (!out.empty() && out.back() != '\n')) out += '\n';
                } else if (tag->name == "a" && !tag->closing) {
                    href = HrefOf(tag->attributes);
                    linkStart = out.size();
                } else if (tag->name == "a" && !href.empty()) {
                    if (out.substr(linkStart) != href) out += " (" + href + ")";
                    href.clear();
                }
                continue;
            }
        } else if (c == '&') {
            if (const std::size_t length = AppendReference(out, html.substr(at)); length > 0) {
                at += length;
                continue;
            }
        } else if (c == '\r' || c == '\n') {
            // Breaks in HTML source are spaces; the tags say where the lines end.
            if (!out.empty() && out.back() != ' ' && out.back() != '\n') out += ' ';
            ++at;
            continue;
        }
        out += c;
        ++at;
    }
    return out;
}

}  // namespace ics
