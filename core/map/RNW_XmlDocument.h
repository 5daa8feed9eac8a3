// The XML part of a configuration image as a small node tree with DOM-style
// names: one document, one root element, elements with attributes, child
// elements and single-word texts. A node owns its children; lists handed
// out by queries borrow the nodes. A tree belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "map/RNW_Stream.h"
#include "xString.h"

class RNW_Node;
class RNW_XmlAttribute;

class RNW_NodeList {
 public:
  RNW_NodeList() = default;
  virtual ~RNW_NodeList() = default;
  RNW_NodeList(const RNW_NodeList&) = delete;
  RNW_NodeList& operator=(const RNW_NodeList&) = delete;

  // Null past the end.
  virtual RNW_Node* Item(size_t index) const = 0;
  virtual size_t GetLength() const = 0;
};

// Borrowed nodes, in the order appended.
class RNW_XmlNodeList final : public RNW_NodeList {
 public:
  RNW_XmlNodeList() = default;
  ~RNW_XmlNodeList() override = default;

  void Append(RNW_Node* node) { _nodes.push_back(node); }
  void Clear() { _nodes.clear(); }
  RNW_Node* Item(size_t index) const override {
    return index < _nodes.size() ? _nodes[index] : nullptr;
  }
  size_t GetLength() const override { return _nodes.size(); }

 private:
  std::vector<RNW_Node*> _nodes;  // not owned
};

class RNW_NamedNodeMap {
 public:
  RNW_NamedNodeMap() = default;
  virtual ~RNW_NamedNodeMap() = default;
  RNW_NamedNodeMap(const RNW_NamedNodeMap&) = delete;
  RNW_NamedNodeMap& operator=(const RNW_NamedNodeMap&) = delete;

  // Null when no item has that name (bytes compared exactly).
  virtual RNW_Node* GetNamedItem(const char* name) const = 0;
  virtual RNW_Node* Item(size_t index) const = 0;
  virtual size_t GetLength() const = 0;
};

class RNW_XmlNamedNodeMap final : public RNW_NamedNodeMap {
 public:
  RNW_XmlNamedNodeMap();
  ~RNW_XmlNamedNodeMap() override;

  // Takes the attribute; one of the same name is replaced in its place.
  void SetNamedItem(std::unique_ptr<RNW_XmlAttribute> attribute);
  RNW_Node* GetNamedItem(const char* name) const override;
  RNW_Node* Item(size_t index) const override;
  size_t GetLength() const override { return _items.size(); }

 private:
  std::vector<std::unique_ptr<RNW_XmlAttribute>> _items;
};

class RNW_Node {
 public:
  virtual ~RNW_Node();
  RNW_Node(const RNW_Node&) = delete;
  RNW_Node& operator=(const RNW_Node&) = delete;

  const CxString& GetNodeName() const { return _name; }
  RNW_Node* GetParentNode() const { return _parent; }
  RNW_Node* GetFirstChild() const { return _children.Item(0); }
  RNW_Node* GetLastChild() const {
    return _children.GetLength() ? _children.Item(_children.GetLength() - 1) : nullptr;
  }
  const RNW_NodeList& GetChildNodes() const { return _children; }

  // Takes the child and returns it, borrowed.
  RNW_Node* AppendChild(std::unique_ptr<RNW_Node> child);

 protected:
  explicit RNW_Node(const CxString& name) : _name(name) {}
  void RemoveChildren();

 private:
  CxString _name;
  RNW_Node* _parent = nullptr;  // not owned
  std::vector<std::unique_ptr<RNW_Node>> _owned;
  RNW_XmlNodeList _children;  // the same nodes, borrowed, for the list interface
};

class RNW_CharacterData : public RNW_Node {
 public:
  ~RNW_CharacterData() override = default;
  virtual const CxString& GetData() const = 0;

 protected:
  explicit RNW_CharacterData(const CxString& name) : RNW_Node(name) {}
};

// A text node: one word.
class RNW_Text final : public RNW_CharacterData {
 public:
  explicit RNW_Text(const CxString& data);
  ~RNW_Text() override = default;
  const CxString& GetData() const override { return _data; }

 private:
  CxString _data;
};

class RNW_Attribute : public RNW_Node {
 public:
  ~RNW_Attribute() override = default;
  virtual const CxString& GetValue() const = 0;

 protected:
  explicit RNW_Attribute(const CxString& name) : RNW_Node(name) {}
};

// Name and value; the value is also the text of its one child.
class RNW_XmlAttribute final : public RNW_Attribute {
 public:
  RNW_XmlAttribute(const CxString& name, const CxString& value);
  ~RNW_XmlAttribute() override = default;
  const CxString& GetValue() const override { return _value; }

 private:
  CxString _value;
};

class RNW_Element : public RNW_Node {
 public:
  ~RNW_Element() override = default;

  const CxString& GetTagName() const { return GetNodeName(); }
  // The value, or an empty text when the element has no such attribute.
  virtual CxString GetAttribute(const char* name) const = 0;
  virtual const RNW_NamedNodeMap& GetAttributes() const = 0;
  // The direct child elements of that name, in document order. The list
  // lives in the element and is rebuilt by the next query.
  virtual const RNW_NodeList& GetChildElementsByName(const char* name) const = 0;

 protected:
  explicit RNW_Element(const CxString& name) : RNW_Node(name) {}
};

class RNW_XmlElement final : public RNW_Element {
 public:
  explicit RNW_XmlElement(const CxString& name) : RNW_Element(name) {}
  ~RNW_XmlElement() override = default;

  CxString GetAttribute(const char* name) const override;
  const RNW_NamedNodeMap& GetAttributes() const override { return _attributes; }
  const RNW_NodeList& GetChildElementsByName(const char* name) const override;

  void SetAttribute(std::unique_ptr<RNW_XmlAttribute> attribute) {
    _attributes.SetNamedItem(std::move(attribute));
  }

 private:
  RNW_XmlNamedNodeMap _attributes;
  mutable RNW_XmlNodeList _query;
};

class RNW_Document : public RNW_Node {
 public:
  ~RNW_Document() override = default;
  // The root element; null before a successful load.
  virtual RNW_Element* GetDocumentElement() const = 0;

 protected:
  RNW_Document();
};

class RNW_XmlDocument final : public RNW_Document {
 public:
  RNW_XmlDocument() = default;
  ~RNW_XmlDocument() override = default;

  // 1 when the stream held one root element (after an optional leading
  // declaration), else 0 with an empty tree. Nothing after the root
  // element is read. A previous tree is dropped first.
  int Load(RNW_Stream& stream);
  RNW_Element* GetDocumentElement() const override { return _root; }
  // Why the last load failed, for the caller's log.
  const std::string& GetErrorText() const { return _error; }

 private:
  RNW_XmlElement* _root = nullptr;  // not owned: the one child of the document
  std::string _error;
};
