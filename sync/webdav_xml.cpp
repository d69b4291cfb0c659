#include "sync/webdav_xml.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

namespace memosync {
namespace {

constexpr const char* kDav = "DAV:";
constexpr const char* kCalDav = "urn:ietf:params:xml:ns:caldav";
// A multistatus is six or seven levels deep; anything far deeper is not one.
constexpr int kMaxDepth = 32;

struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using XmlDocument = std::unique_ptr<xmlDoc, XmlDocDeleter>;

// libxml2's text is unsigned char; copied through iterators it needs no cast.
std::string XmlText(const xmlChar* text) {
    return text == nullptr ? std::string() : std::string(text, text + xmlStrlen(text));
}

bool IsElement(const xmlNode* node, const char* ns, const char* name) {
    return node != nullptr && node->type == XML_ELEMENT_NODE && node->ns != nullptr && XmlText(node->ns->href) == ns &&
           XmlText(node->name) == name;
}

std::string XmlTextOf(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    if (content == nullptr) return {};
    std::string text = XmlText(content);
    xmlFree(content);
    return text;
}

std::string XmlTrimmed(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

int DepthBelow(const xmlNode* node, int depth) {
    if (depth > kMaxDepth) return depth;
    int deepest = depth;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) continue;
        deepest = std::max(deepest, DepthBelow(child, depth + 1));
        if (deepest > kMaxDepth) break;
    }
    return deepest;
}

// The hrefs directly inside `node`.
std::vector<std::string> HrefsIn(const xmlNode* node) {
    std::vector<std::string> hrefs;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsElement(child, kDav, "href")) hrefs.push_back(XmlTrimmed(XmlTextOf(child)));
    }
    return hrefs;
}

void ReadProp(const xmlNode* prop, DavResponse& response) {
    for (const xmlNode* p = prop->children; p != nullptr; p = p->next) {
        if (IsElement(p, kDav, "getetag")) {
            response.etag = XmlTrimmed(XmlTextOf(p));
        } else if (IsElement(p, kDav, "displayname")) {
            response.displayName = XmlTrimmed(XmlTextOf(p));
        } else if (IsElement(p, kDav, "sync-token")) {
            response.syncToken = XmlTrimmed(XmlTextOf(p));
        } else if (IsElement(p, kDav, "resourcetype")) {
            for (const xmlNode* kind = p->children; kind != nullptr; kind = kind->next) {
                if (IsElement(kind, kDav, "collection")) response.isCollection = true;
                if (IsElement(kind, kCalDav, "calendar")) response.isCalendar = true;
            }
        } else if (IsElement(p, kCalDav, "supported-calendar-component-set")) {
            for (const xmlNode* comp = p->children; comp != nullptr; comp = comp->next) {
                if (!IsElement(comp, kCalDav, "comp")) continue;
                for (const xmlAttr* attribute = comp->properties; attribute != nullptr; attribute = attribute->next) {
                    if (XmlText(attribute->name) == "name" && attribute->children != nullptr) {
                        response.components.push_back(XmlText(attribute->children->content));
                    }
                }
            }
        } else if (IsElement(p, kCalDav, "calendar-data")) {
            response.calendarData = XmlTextOf(p);
        } else if (IsElement(p, kDav, "current-user-principal")) {
            const auto hrefs = HrefsIn(p);
            if (!hrefs.empty()) response.currentUserPrincipal = hrefs.front();
        } else if (IsElement(p, kCalDav, "calendar-home-set")) {
            response.calendarHomeSet = HrefsIn(p);
        }
    }
}

DavResponse ReadResponse(const xmlNode* node) {
    DavResponse response;
    int firstPropstatStatus = 0;
    bool okPropstat = false;
    for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsElement(child, kDav, "href") && response.href.empty()) {
            response.href = XmlTrimmed(XmlTextOf(child));
        } else if (IsElement(child, kDav, "status")) {
            response.status = StatusCodeOf(XmlTextOf(child));
        } else if (IsElement(child, kDav, "propstat")) {
            int status = 0;
            const xmlNode* prop = nullptr;
            for (const xmlNode* part = child->children; part != nullptr; part = part->next) {
                if (IsElement(part, kDav, "status")) status = StatusCodeOf(XmlTextOf(part));
                if (IsElement(part, kDav, "prop")) prop = part;
            }
            if (firstPropstatStatus == 0) firstPropstatStatus = status;
            // Properties the server lacks come in a 404 propstat; only the 200 one holds values.
            if (status / 100 == 2 && prop != nullptr) {
                okPropstat = true;
                ReadProp(prop, response);
            }
        }
    }
    if (response.status == 0) response.status = okPropstat ? 200 : firstPropstatStatus;
    return response;
}

XmlDocument ReadXml(std::string_view xml, std::string& error) {
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
        error = "the XML answer is too large";
        return nullptr;
    }
    // No network, no entity substitution, no DTD loaded; libxml2's own limits on names and text stay on.
    XmlDocument doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "answer.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        error = "the server's answer is not XML";
        return nullptr;
    }
    // A multistatus never needs a DTD; one with entities could make a small answer expand hugely.
    if (doc->intSubset != nullptr || doc->extSubset != nullptr) {
        error = "the server's XML answer declares a DTD";
        return nullptr;
    }
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || DepthBelow(root, 1) > kMaxDepth) {
        error = "the server's XML answer is nested too deep";
        return nullptr;
    }
    return doc;
}

}  // namespace

int StatusCodeOf(std::string_view statusLine) {
    const auto space = statusLine.find(' ');
    if (space == std::string_view::npos || space + 4 > statusLine.size()) return 0;
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        const char c = statusLine[i];
        if (c < '0' || c > '9') return 0;
        code = code * 10 + (c - '0');
    }
    return code;
}

std::optional<Multistatus> ParseMultistatus(std::string_view xml, std::string& error) {
    const XmlDocument doc = ReadXml(xml, error);
    if (!doc) return std::nullopt;
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!IsElement(root, kDav, "multistatus")) {
        error = "the server's answer is not a WebDAV multistatus";
        return std::nullopt;
    }
    Multistatus result;
    for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
        if (IsElement(child, kDav, "response")) {
            result.responses.push_back(ReadResponse(child));
        } else if (IsElement(child, kDav, "sync-token")) {
            result.syncToken = XmlTrimmed(XmlTextOf(child));
        }
    }
    return result;
}

std::string ErrorCondition(std::string_view xml) {
    std::string ignored;
    const XmlDocument doc = ReadXml(xml, ignored);
    if (!doc) return {};
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!IsElement(root, kDav, "error")) return {};
    for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE) return XmlText(child->name);
    }
    return {};
}

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string PropfindPrincipalBody() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><d:current-user-principal/><c:calendar-home-set/><d:resourcetype/></d:prop></d:propfind>)";
}

std::string PropfindCalendarsBody() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><d:displayname/><d:resourcetype/><c:supported-calendar-component-set/></d:prop></d:propfind>)";
}

std::string PropfindEtagsBody() {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<d:propfind xmlns:d="DAV:"><d:prop><d:getetag/><d:resourcetype/><d:sync-token/></d:prop></d:propfind>)";
}

std::string SyncCollectionBody(const std::string& token) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<d:sync-collection xmlns:d="DAV:"><d:sync-token>)" +
           XmlEscape(token) +
           "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>";
}

std::string MultigetBody(const std::vector<std::string>& hrefs) {
    std::string body = R"(<?xml version="1.0" encoding="utf-8"?>
<c:calendar-multiget xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:prop><d:getetag/><c:calendar-data/></d:prop>)";
    for (const auto& href : hrefs) body += "<d:href>" + XmlEscape(href) + "</d:href>";
    return body + "</c:calendar-multiget>";
}

std::string MkcalendarBody(const std::string& displayName) {
    return R"(<?xml version="1.0" encoding="utf-8"?>
<c:mkcalendar xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav"><d:set><d:prop><d:displayname>)" +
           XmlEscape(displayName) +
           R"(</d:displayname><c:supported-calendar-component-set><c:comp name="VEVENT"/></c:supported-calendar-component-set></d:prop></d:set></c:mkcalendar>)";
}

}  // namespace memosync
