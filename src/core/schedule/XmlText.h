#pragma once
// Just enough XML to write a task's definition and to change parts of one
// that the Task Scheduler gives back, leaving every other byte as it was:
// elements are found by name and replaced or inserted as text.
#include <optional>
#include <string>
#include <vector>

namespace kestrow {

// `text` with &, <, >, " and ' written as entities.
std::wstring EscapedXml(const std::wstring& text);
// The entities of `text` read back; an '&' that starts no entity stays.
std::wstring UnescapedXml(const std::wstring& text);

// Where one element lies in the text.
struct XmlElement {
    std::wstring name;        // without a namespace prefix
    std::wstring attributes;  // the start tag's text after the name
    size_t begin = 0;         // at its '<'
    size_t end = 0;           // just after its end tag, or its "/>"
    size_t contentBegin = 0;  // just after the start tag
    size_t contentEnd = 0;    // at its end tag ("" when empty)
    bool selfClosed = false;  // written as <Name/>
};

// The elements directly inside [begin, end): comments, processing
// instructions and character data are passed over. Stops at text that is
// no well-formed element.
std::vector<XmlElement> ChildElements(const std::wstring& xml, size_t begin, size_t end);
// The whole document's top-level elements.
std::vector<XmlElement> TopElements(const std::wstring& xml);
std::optional<XmlElement> ChildNamed(const std::wstring& xml, const XmlElement& parent, const std::wstring& name);
// An attribute's value, entities read; "" when it has none.
std::wstring AttributeOf(const XmlElement& element, const std::wstring& name);
// The element's text content, entities read.
std::wstring TextOf(const std::wstring& xml, const XmlElement& element);

}  // namespace kestrow
