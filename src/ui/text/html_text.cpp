#include "ui/text/html_text.hpp"

#include <gumbo.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vesk::text {
namespace {

constexpr long kMaxDepth = 256;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c;
}
bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAlpha(char c) {
    return (lower(c) >= 'a' && lower(c) <= 'z');
}

bool isVoid(std::string_view name) {
    static constexpr std::string_view kVoid[] = {"area",  "base",   "br",    "col",  "embed",
                                                 "hr",    "img",    "input", "link", "meta",
                                                 "param", "source", "track", "wbr"};
    for (auto v : kVoid) {
        if (v == name) {
            return true;
        }
    }
    return false;
}

bool breaksLine(std::string_view name) {
    static constexpr std::string_view kBreaking[] = {"br", "p",  "div",   "li",         "tr", "h1",
                                                     "h2", "h3", "h4",    "h5",         "h6", "hr",
                                                     "ul", "ol", "table", "blockquote", "pre"};
    for (auto b : kBreaking) {
        if (b == name) {
            return true;
        }
    }
    return false;
}

struct Tag {
    std::string name;  // lower case
    bool closing = false;
    bool selfClosing = false;
    std::size_t end = 0;  // just past '>'
};

// A tag at `pos` ('<' then an optional '/' and a letter), or none. `nextClose` caches the
// position of the next '>' so that a run of unclosed tags is scanned once.
std::optional<Tag> tagAt(std::string_view html, std::size_t pos, std::size_t& nextClose) {
    Tag tag;
    std::size_t i = pos + 1;
    if (i < html.size() && html[i] == '/') {
        tag.closing = true;
        ++i;
    }
    if (i >= html.size() || !isAlpha(html[i])) {
        return std::nullopt;
    }
    while (i < html.size() && !isAsciiSpace(html[i]) && html[i] != '/' && html[i] != '>' &&
           html[i] != '<') {
        tag.name += lower(html[i]);
        ++i;
    }
    if (nextClose != std::string_view::npos && nextClose < i) {
        nextClose = html.find('>', i);
    }
    std::size_t close = nextClose;
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    tag.selfClosing = close > pos && html[close - 1] == '/';
    tag.end = close + 1;
    return tag;
}

// How deep the elements may nest: open tags less the end tags that match one.
long estimatedDepth(std::string_view html) {
    std::unordered_map<std::string, long> open;
    long depth = 0;
    long deepest = 0;
    std::size_t nextClose = 0;
    for (std::size_t pos = html.find('<'); pos != std::string_view::npos;
         pos = html.find('<', pos + 1)) {
        auto tag = tagAt(html, pos, nextClose);
        if (!tag) {
            continue;
        }
        if (tag->closing) {
            auto it = open.find(tag->name);
            if (it != open.end() && it->second > 0) {
                --it->second;
                --depth;
            }
        } else if (!tag->selfClosing && !isVoid(tag->name)) {
            ++open[tag->name];
            deepest = std::max(deepest, ++depth);
        }
        pos = tag->end - 1;
    }
    return deepest;
}

// Drops every tag but keeps line breaks, so the parser sees a flat document.
std::string flatten(std::string_view html) {
    std::string out;
    out.reserve(html.size());
    std::size_t pos = 0;
    std::size_t nextClose = 0;
    while (pos < html.size()) {
        std::size_t lt = html.find('<', pos);
        if (lt == std::string_view::npos) {
            out.append(html.substr(pos));
            break;
        }
        out.append(html.substr(pos, lt - pos));
        auto tag = tagAt(html, lt, nextClose);
        if (!tag) {
            out += html[lt];
            pos = lt + 1;
            continue;
        }
        if (breaksLine(tag->name)) {
            out += "<br>";
        }
        pos = tag->end;
    }
    return out;
}

struct OutputDeleter {
    void operator()(GumboOutput* output) const noexcept {
        gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
};

bool isSkipped(GumboTag tag) {
    return tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE ||
           tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_NOSCRIPT;
}

bool isBlock(GumboTag tag) {
    switch (tag) {
        case GUMBO_TAG_P:
        case GUMBO_TAG_DIV:
        case GUMBO_TAG_LI:
        case GUMBO_TAG_UL:
        case GUMBO_TAG_OL:
        case GUMBO_TAG_DL:
        case GUMBO_TAG_DT:
        case GUMBO_TAG_DD:
        case GUMBO_TAG_H1:
        case GUMBO_TAG_H2:
        case GUMBO_TAG_H3:
        case GUMBO_TAG_H4:
        case GUMBO_TAG_H5:
        case GUMBO_TAG_H6:
        case GUMBO_TAG_TR:
        case GUMBO_TAG_TABLE:
        case GUMBO_TAG_BLOCKQUOTE:
        case GUMBO_TAG_PRE:
        case GUMBO_TAG_SECTION:
        case GUMBO_TAG_ARTICLE:
        case GUMBO_TAG_HEADER:
        case GUMBO_TAG_FOOTER:
        case GUMBO_TAG_NAV:
        case GUMBO_TAG_ASIDE:
        case GUMBO_TAG_MAIN:
        case GUMBO_TAG_FIGURE:
        case GUMBO_TAG_FIGCAPTION:
        case GUMBO_TAG_ADDRESS:
        case GUMBO_TAG_FIELDSET:
        case GUMBO_TAG_FORM:
        case GUMBO_TAG_HR:
        case GUMBO_TAG_CAPTION:
            return true;
        default:
            return false;
    }
}

class TextWriter {
  public:
    void text(std::string_view s, bool preformatted) {
        for (char c : s) {
            if (!preformatted && isAsciiSpace(c)) {
                pendingSpace_ = true;
                continue;
            }
            flushSpace();
            out_ += c;
        }
    }

    void hardBreak() {
        pendingSpace_ = false;
        out_ += '\n';
    }

    // A break unless the text is empty or already at a line start.
    void softBreak() {
        pendingSpace_ = false;
        if (!out_.empty() && out_.back() != '\n') {
            out_ += '\n';
        }
    }

    void cellSeparator() {
        pendingSpace_ = false;
        if (!out_.empty() && out_.back() != '\n') {
            out_ += '\t';
        }
    }

    std::string finish() {
        std::size_t begin = 0;
        while (begin < out_.size() && isAsciiSpace(out_[begin])) {
            ++begin;
        }
        std::size_t end = out_.size();
        while (end > begin && isAsciiSpace(out_[end - 1])) {
            --end;
        }
        return out_.substr(begin, end - begin);
    }

  private:
    void flushSpace() {
        if (pendingSpace_ && !out_.empty() && out_.back() != '\n' && out_.back() != '\t') {
            out_ += ' ';
        }
        pendingSpace_ = false;
    }

    std::string out_;
    bool pendingSpace_ = false;
};

// Walks the tree with an explicit stack: deep documents must not exhaust the call stack.
std::string plainText(const GumboNode* root) {
    struct Frame {
        const GumboNode* node;
        unsigned int next;  // index of the next child to visit
        bool preformatted;
    };
    TextWriter writer;
    std::vector<Frame> stack;
    stack.push_back({root, 0, false});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const GumboNode* node = frame.node;
        const GumboVector* children = nullptr;
        if (node->type == GUMBO_NODE_DOCUMENT) {
            children = &node->v.document.children;
        } else if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) {
            children = &node->v.element.children;
        }
        if (children == nullptr || frame.next >= children->length) {
            if (node->type == GUMBO_NODE_ELEMENT && isBlock(node->v.element.tag)) {
                writer.softBreak();
            }
            stack.pop_back();
            continue;
        }
        const auto* child = static_cast<const GumboNode*>(children->data[frame.next++]);
        bool preformatted = frame.preformatted;
        switch (child->type) {
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_CDATA:
            case GUMBO_NODE_WHITESPACE:
                writer.text(child->v.text.text, preformatted);
                break;
            case GUMBO_NODE_ELEMENT: {
                GumboTag tag = child->v.element.tag;
                if (isSkipped(tag)) {
                    break;
                }
                if (tag == GUMBO_TAG_BR) {
                    writer.hardBreak();
                    break;
                }
                if (isBlock(tag)) {
                    writer.softBreak();
                }
                if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH) {
                    writer.cellSeparator();
                }
                bool pre = preformatted || tag == GUMBO_TAG_PRE || tag == GUMBO_TAG_TEXTAREA ||
                           tag == GUMBO_TAG_LISTING;
                stack.push_back({child, 0, pre});
                break;
            }
            default:
                break;  // comments, templates' content
        }
    }
    return writer.finish();
}

}  // namespace

std::optional<std::string> htmlEncodedString(std::string_view html) {
    std::string flat;
    if (estimatedDepth(html) > kMaxDepth) {
        flat = flatten(html);
        html = flat;
    }
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;  // recorded errors copy the open-element stack: quadratic
    std::unique_ptr<GumboOutput, OutputDeleter> output(
        gumbo_parse_with_options(&options, html.data(), html.size()));
    if (!output || output->document == nullptr) {
        return std::nullopt;
    }
    return plainText(output->document);
}

}  // namespace vesk::text
