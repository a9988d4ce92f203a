// A feed cut short, or with an element left open or closed twice, has no tree for the parser to
// build, but most of its items are whole nonetheless. They are found here, each "item" or "entry"
// element whose tags all pair up, with the elements that hold the first of them ("rss" and
// "channel", say) and the whole elements beside those before it (the channel's title, link and
// description), so that a document of the whole parts can be made. The document is read once,
// from start to end, as text (UTF-8 or another ASCII-compatible encoding).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

struct WholeParts {
    struct Span {
        size_t begin;
        size_t end;
    };
    struct Holder {
        Span tag; // its start tag
        std::string name;
    };
    struct Part {
        Span span;
        bool item;
    };
    size_t rootBegin = 0;         // what stands before it is the prolog
    std::vector<Holder> holders;  // the elements that hold the first item, outermost first
    std::vector<Part> parts;      // the elements beside them before the first item, then each item
    size_t items = 0;
};

WholeParts FindWholeParts(const std::string& xml);

// A document of the prolog, the holders and the parts chosen (indexes into `parts`, ascending).
// Items that stand in no other element are held in an "rss" and "channel", or a "feed" for Atom
// entries.
std::string WholePartsDocument(const std::string& xml, const WholeParts& whole, const std::vector<size_t>& chosen);
