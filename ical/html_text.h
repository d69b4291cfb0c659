#pragma once

#include <string>
#include <string_view>

// Descriptions that web calendars write as HTML, read as the plain text a memo holds.
namespace ics {

// Returns true when `text` is plainly HTML: it holds a whole tag of the few that such descriptions
// use (<b>, <br>, <a href=...>, <p>, ...), so that "a<b" or "<3" is left as it is.
bool LooksLikeHtml(std::string_view text);

// Returns the text of HTML `html` (UTF-8): line breaks for <br> and the ends of paragraphs, blocks
// and list items, a link as its text followed by its address in parentheses when the two differ,
// other tags dropped, and character references (&amp;, &#26085;, &#x65E5;, ...) as their characters.
std::string PlainTextOfHtml(std::string_view html);

}  // namespace ics
