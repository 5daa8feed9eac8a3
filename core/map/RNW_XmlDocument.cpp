// The node tree and the document parser of the XML subset; see
// RNW_XmlDocument.h. Parse faults are thrown inside as lib exceptions and end
// in Load's result.
#include "map/RNW_XmlDocument.h"

#include <cstring>
#include <new>

#include "map/ParseError.h"
#include "map/RNW_XmlLexer.h"

namespace {

// Elements nest at most this deep; the servers' images use a handful of
// levels, and the bound keeps a hostile image from exhausting the stack.
constexpr int kMaxElementDepth = 64;

bool SameBytes(const CxString& a, const char* b) {
  const size_t n = strlen(b);
  return static_cast<size_t>(a.GetLength()) == n && memcmp(a.c_str(), b, n) == 0;
}

bool SameBytes(const CxString& a, const CxString& b) {
  return a.GetLength() == b.GetLength() && memcmp(a.c_str(), b.c_str(), a.GetLength()) == 0;
}

CxString MakeName(const char* text) {
  CxString name;
  if (!name.AssignCString(text)) throw std::bad_alloc();
  return name;
}

class XmlParser final {
 public:
  explicit XmlParser(RNW_Stream& stream) : _lexer(stream) {}

  std::unique_ptr<RNW_XmlElement> ParseDocument() {
    RNW_XmlToken token = _lexer.NextToken();
    if (token == kXmlTokenDeclaration) {
      if (!_lexer.SkipPastClose()) ThrowParseError("xml: declaration not closed");
      token = _lexer.NextToken();
    }
    if (token != kXmlTokenOpen) ThrowParseError("xml: no root element");
    return ParseElement(1);
  }

 private:
  // After the element's "<".
  std::unique_ptr<RNW_XmlElement> ParseElement(int depth) {
    if (depth > kMaxElementDepth) ThrowParseError("xml: elements nested too deep");
    if (_lexer.NextToken() != kXmlTokenName) ThrowParseError("xml: element without a name");
    auto element = std::make_unique<RNW_XmlElement>(_lexer.GetText());
    for (;;) {
      switch (_lexer.NextToken()) {
        case kXmlTokenName:
          ParseAttribute(*element);
          break;
        case kXmlTokenOpen:
          element->AppendChild(ParseElement(depth + 1));
          break;
        case kXmlTokenClose:
          if (ParseContent(*element, depth)) return element;
          break;
        case kXmlTokenEndTag:
          ParseClosingTag(*element);
          return element;
        case kXmlTokenEmptyClose:
        case kXmlTokenValue:
        case kXmlTokenEquals:
        case kXmlTokenDeclaration:
          return element;
        case kXmlTokenEnd:
          ThrowParseError("xml: element not closed");
        case kXmlTokenNone:
          ThrowParseError("xml: bad token");
      }
    }
  }

  // After the attribute's name.
  void ParseAttribute(RNW_XmlElement& element) {
    const CxString name = _lexer.GetText();
    if (_lexer.NextToken() != kXmlTokenEquals) ThrowParseError("xml: attribute without \"=\"");
    if (_lexer.NextToken() != kXmlTokenValue) ThrowParseError("xml: attribute without a value");
    element.SetAttribute(std::make_unique<RNW_XmlAttribute>(name, _lexer.GetText()));
  }

  // One token of content after ">"; true when it was the closing tag.
  bool ParseContent(RNW_XmlElement& element, int depth) {
    switch (_lexer.NextToken()) {
      case kXmlTokenOpen:
        element.AppendChild(ParseElement(depth + 1));
        return false;
      case kXmlTokenName:
        element.AppendChild(std::make_unique<RNW_Text>(_lexer.GetText()));
        return false;
      case kXmlTokenEndTag:
        ParseClosingTag(element);
        return true;
      default:
        ThrowParseError("xml: bad element content");
    }
  }

  // After "</".
  void ParseClosingTag(const RNW_XmlElement& element) {
    if (_lexer.NextToken() != kXmlTokenName || !SameBytes(_lexer.GetText(), element.GetTagName())) {
      ThrowParseError("xml: closing tag does not match");
    }
    if (_lexer.NextToken() != kXmlTokenClose) ThrowParseError("xml: closing tag without \">\"");
  }

  RNW_XmlLexer _lexer;
};

}  // namespace

RNW_XmlNamedNodeMap::RNW_XmlNamedNodeMap() = default;
RNW_XmlNamedNodeMap::~RNW_XmlNamedNodeMap() = default;

void RNW_XmlNamedNodeMap::SetNamedItem(std::unique_ptr<RNW_XmlAttribute> attribute) {
  for (auto& item : _items) {
    if (SameBytes(item->GetNodeName(), attribute->GetNodeName())) {
      item = std::move(attribute);
      return;
    }
  }
  _items.push_back(std::move(attribute));
}

RNW_Node* RNW_XmlNamedNodeMap::GetNamedItem(const char* name) const {
  for (const auto& item : _items) {
    if (SameBytes(item->GetNodeName(), name)) return item.get();
  }
  return nullptr;
}

RNW_Node* RNW_XmlNamedNodeMap::Item(size_t index) const {
  return index < _items.size() ? _items[index].get() : nullptr;
}

RNW_Node::~RNW_Node() = default;

RNW_Node* RNW_Node::AppendChild(std::unique_ptr<RNW_Node> child) {
  RNW_Node* borrowed = child.get();
  borrowed->_parent = this;
  _owned.push_back(std::move(child));
  _children.Append(borrowed);
  return borrowed;
}

void RNW_Node::RemoveChildren() {
  _children.Clear();
  _owned.clear();
}

RNW_Text::RNW_Text(const CxString& data) : RNW_CharacterData(MakeName("#text")), _data(data) {}

RNW_XmlAttribute::RNW_XmlAttribute(const CxString& name, const CxString& value)
    : RNW_Attribute(name), _value(value) {
  AppendChild(std::make_unique<RNW_Text>(value));
}

CxString RNW_XmlElement::GetAttribute(const char* name) const {
  const RNW_Node* node = _attributes.GetNamedItem(name);
  return node ? static_cast<const RNW_XmlAttribute*>(node)->GetValue() : CxString();
}

const RNW_NodeList& RNW_XmlElement::GetChildElementsByName(const char* name) const {
  _query.Clear();
  const RNW_NodeList& children = GetChildNodes();
  for (size_t i = 0; i < children.GetLength(); ++i) {
    RNW_Node* child = children.Item(i);
    if (dynamic_cast<RNW_XmlElement*>(child) && SameBytes(child->GetNodeName(), name)) {
      _query.Append(child);
    }
  }
  return _query;
}

RNW_Document::RNW_Document() : RNW_Node(MakeName("#document")) {}

int RNW_XmlDocument::Load(RNW_Stream& stream) {
  RemoveChildren();
  _root = nullptr;
  _error.clear();
  try {
    XmlParser parser(stream);
    std::unique_ptr<RNW_XmlElement> root = parser.ParseDocument();
    _root = root.get();
    AppendChild(std::move(root));
    return 1;
  } catch (const lib::Exception& e) {
    _error = e.what();
  } catch (const std::bad_alloc&) {
    _error = "xml: out of memory";
  }
  return 0;
}
