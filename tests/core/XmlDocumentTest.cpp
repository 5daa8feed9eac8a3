// The XML subset of configuration images: tokens, documents that load or
// fail, queries on the tree, the nesting bound, and broken input.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "map/RNW_XmlDocument.h"
#include "map/RNW_XmlLexer.h"

namespace {

std::string Text(const CxString& s) { return s.ToString(); }

std::vector<int> Tokens(const std::string& text, std::vector<std::string>* texts = nullptr) {
  RNW_MemStream stream(text.data(), text.size());
  RNW_XmlLexer lexer(stream);
  std::vector<int> tokens;
  for (int i = 0; i < 64; ++i) {
    const RNW_XmlToken token = lexer.NextToken();
    tokens.push_back(token);
    if (texts && (token == kXmlTokenName || token == kXmlTokenValue)) {
      texts->push_back(Text(lexer.GetText()));
    }
    if (token == kXmlTokenEnd || token == kXmlTokenNone) break;
  }
  return tokens;
}

int Load(RNW_XmlDocument& doc, const std::string& text) {
  RNW_MemStream stream(text.data(), text.size());
  return doc.Load(stream);
}

RNW_Element* Child(const RNW_Node* node, size_t index) {
  return dynamic_cast<RNW_Element*>(node->GetChildNodes().Item(index));
}

}  // namespace

struct LexerCase {
  const char* name;
  std::string text;
  std::vector<int> tokens;
  std::vector<std::string> texts;
};

void PrintTo(const LexerCase& c, std::ostream* os) { *os << c.name; }

class XmlLexerTest : public ::testing::TestWithParam<LexerCase> {};

TEST_P(XmlLexerTest, Tokens) {
  const LexerCase& c = GetParam();
  std::vector<std::string> texts;
  EXPECT_EQ(Tokens(c.text, &texts), c.tokens);
  EXPECT_EQ(texts, c.texts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlLexerTest,
    ::testing::Values(
        LexerCase{"Empty", "", {kXmlTokenEnd}, {}},
        LexerCase{"BlanksOnly", " \t\r\n", {kXmlTokenEnd}, {}},
        LexerCase{"StartTag", "<a x='1'>", {2, 6, 6, 5, 4, 3, 1}, {"a", "x", "1"}},
        LexerCase{"EitherQuoteCloses", "'1\"", {4, 1}, {"1"}},
        LexerCase{
            "SpacesInsideTags", "<  /  a >< ? x ?>", {8, 6, 3, 9, 6, 6, 3, 1}, {"a", "x", "?"}},
        LexerCase{"EmptyClose", "/ \n>", {7, 1}, {}}, LexerCase{"SlashWithoutClose", "/x", {0}, {}},
        LexerCase{"SlashStaysInName", "<a/>", {2, 6, 3, 1}, {"a/"}},
        LexerCase{"NameEndsAtEquals", "k=\"v w\"", {6, 5, 4, 1}, {"k", "v w"}},
        LexerCase{"AngleInValue", "'a<b'", {0}, {}}, LexerCase{"CloseInValue", "\"a>b\"", {0}, {}},
        LexerCase{"ValueCutShort", "'abc", {0}, {}}, LexerCase{"LoneOpenAtEnd", "<", {2, 1}, {}},
        // 表 is 95 5C, ソ is 83 5C: bytes of names, nothing more.
        LexerCase{"DoubleByteName", "<表ソ>", {2, 6, 3, 1}, {"表ソ"}}),
    ovtest::CaseName());

struct DocumentCase {
  const char* name;
  std::string text;
  bool loads;
};

void PrintTo(const DocumentCase& c, std::ostream* os) { *os << c.name; }

class XmlDocumentLoadTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(XmlDocumentLoadTest, LoadsOrFails) {
  const DocumentCase& c = GetParam();
  RNW_XmlDocument doc;
  EXPECT_EQ(Load(doc, c.text), c.loads ? 1 : 0);
  if (c.loads) {
    ASSERT_NE(doc.GetDocumentElement(), nullptr);
    EXPECT_EQ(doc.GetChildNodes().GetLength(), 1u);
    EXPECT_TRUE(doc.GetErrorText().empty());
  } else {
    EXPECT_EQ(doc.GetDocumentElement(), nullptr);
    EXPECT_EQ(doc.GetChildNodes().GetLength(), 0u);
    EXPECT_FALSE(doc.GetErrorText().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlDocumentLoadTest,
    ::testing::Values(DocumentCase{"Declaration", "<?xml version='1.0'?><a />", true},
                      // "/" does not end a name: the root is "a/" and never closed.
                      DocumentCase{"SlashGluedToRootName", "<a/>", false},
                      DocumentCase{"TwoWords", "<a>one two</a>", false},
                      DocumentCase{"OneWord", "<a>one</a>", true},
                      DocumentCase{"ClosingTagOtherCase", "<a></A>", false},
                      DocumentCase{"AngleInValue", "<a x='<'/>", false},
                      DocumentCase{"CloseInValue", "<a x='>'/>", false},
                      DocumentCase{"SlashGluedToChildName", "<a><b/></a>", false},
                      DocumentCase{"EmptyChild", "<a><b /></a>", true},
                      DocumentCase{"NothingAfterRootIsRead", "<a /> junk <<<", true},
                      DocumentCase{"Empty", "", false},
                      DocumentCase{"DeclarationOnly", "<?xml?>", false},
                      DocumentCase{"DeclarationNotClosed", "<?xml", false},
                      DocumentCase{"NoRoot", "a", false},
                      DocumentCase{"AttributeWithoutValue", "<a x=/>", false},
                      DocumentCase{"AttributeWithoutEquals", "<a x '1'/>", false},
                      DocumentCase{"ClosingTagWithoutAngle", "<a></a", false},
                      DocumentCase{"Unclosed", "<a><b>", false},
                      DocumentCase{"ChildrenAfterText", "<a>t<b/>u<c/></a>", false},
                      DocumentCase{"QuotedValueEndsElement", "<a 'v'", true}),
    ovtest::CaseName());

TEST(XmlDocument, TreeAttributesAndQueries) {
  RNW_XmlDocument doc;
  ASSERT_EQ(Load(doc,
                 "<?xml version='1.0'?>\r\n<root id=\"7\" kind='map'>\n"
                 "  <item n='1'>first</item><other /><item n='2'><sub /></item>\n</root>"),
            1);
  EXPECT_EQ(Text(doc.GetNodeName()), "#document");
  RNW_Element* root = doc.GetDocumentElement();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->GetParentNode(), &doc);
  EXPECT_EQ(Text(root->GetTagName()), "root");
  EXPECT_EQ(Text(root->GetAttribute("id")), "7");
  EXPECT_EQ(Text(root->GetAttribute("kind")), "map");
  EXPECT_EQ(Text(root->GetAttribute("missing")), "");
  EXPECT_EQ(root->GetAttributes().GetLength(), 2u);

  // The attribute's value is also its text child.
  const auto* id = dynamic_cast<RNW_Attribute*>(root->GetAttributes().GetNamedItem("id"));
  ASSERT_NE(id, nullptr);
  const auto* id_text = dynamic_cast<RNW_Text*>(id->GetFirstChild());
  ASSERT_NE(id_text, nullptr);
  EXPECT_EQ(Text(id_text->GetData()), "7");
  EXPECT_EQ(Text(id_text->GetNodeName()), "#text");

  ASSERT_EQ(root->GetChildNodes().GetLength(), 3u);
  const RNW_NodeList& items = root->GetChildElementsByName("item");
  ASSERT_EQ(items.GetLength(), 2u);
  const auto* first = dynamic_cast<RNW_Element*>(items.Item(0));
  const auto* second = dynamic_cast<RNW_Element*>(items.Item(1));
  ASSERT_TRUE(first && second);
  EXPECT_EQ(Text(first->GetAttribute("n")), "1");
  EXPECT_EQ(Text(second->GetAttribute("n")), "2");
  EXPECT_EQ(items.Item(2), nullptr);
  const auto* word = dynamic_cast<RNW_Text*>(first->GetFirstChild());
  ASSERT_NE(word, nullptr);
  EXPECT_EQ(Text(word->GetData()), "first");
  EXPECT_EQ(second->GetLastChild(), Child(second, 0));
  EXPECT_EQ(Text(Child(second, 0)->GetTagName()), "sub");

  // The result list is rebuilt by the next query.
  EXPECT_EQ(root->GetChildElementsByName("other").GetLength(), 1u);
  EXPECT_EQ(&root->GetChildElementsByName("none"), &items);
  EXPECT_EQ(items.GetLength(), 0u);
}

TEST(XmlDocument, LoadReplacesOrDropsTheOldTree) {
  RNW_XmlDocument doc;
  ASSERT_EQ(Load(doc, "<a />"), 1);
  ASSERT_EQ(Load(doc, "<b x='1'/>"), 1);
  EXPECT_EQ(Text(doc.GetDocumentElement()->GetTagName()), "b");
  EXPECT_EQ(doc.GetChildNodes().GetLength(), 1u);
  EXPECT_EQ(Load(doc, "<c>"), 0);
  EXPECT_EQ(doc.GetDocumentElement(), nullptr);
  EXPECT_EQ(doc.GetFirstChild(), nullptr);
}

TEST(XmlDocument, NestingIsBounded) {
  auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<e>";
    for (int i = 0; i < depth; ++i) text += "</e>";
    return text;
  };
  RNW_XmlDocument doc;
  EXPECT_EQ(Load(doc, nested(64)), 1);
  EXPECT_EQ(Load(doc, nested(65)), 0);
  // Far deeper than any stack would take without the bound.
  EXPECT_EQ(Load(doc, nested(200000)), 0);
}

TEST(XmlDocument, EveryTruncationFails) {
  const std::string text = "<?xml version='1.0'?><conf a='1' b=\"two\"><f n='x'>w</f><g /></conf>";
  RNW_XmlDocument doc;
  ASSERT_EQ(Load(doc, text), 1);
  for (size_t n = 0; n < text.size(); ++n) {
    EXPECT_EQ(Load(doc, text.substr(0, n)), 0) << "length " << n;
    EXPECT_FALSE(doc.GetErrorText().empty());
  }
}

TEST(XmlDocument, FlippedBytesNeverCrash) {
  const std::string text = "<conf a='1' b=\"two\"><f n='x'>w</f><g /><h><i /></h></conf>";
  RNW_XmlDocument doc;
  for (size_t at = 0; at < text.size(); ++at) {
    for (const unsigned char mask : {0x01, 0x20, 0x80, 0xFF}) {
      std::string broken = text;
      broken[at] = static_cast<char>(broken[at] ^ mask);
      if (Load(doc, broken) == 1) {
        EXPECT_NE(doc.GetDocumentElement(), nullptr);
      } else {
        EXPECT_FALSE(doc.GetErrorText().empty());
        EXPECT_EQ(doc.GetDocumentElement(), nullptr);
      }
    }
  }
}
