// Office Open XML part conversion: text found by element set and spliced back
// into the original bytes. Whole packages are checked end to end with real
// documents (file_test.cpp, office_check.py).
#include "cli/ooxml.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace vexo::cli {
namespace {

constexpr std::string_view kWordNs =
    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
constexpr std::string_view kWordEnd = "</w:body></w:document>";

std::string word(std::string_view body) {
  return std::string(kWordNs) + std::string(body) + std::string(kWordEnd);
}

struct Converted {
  std::string bytes;
  std::string error;
  std::vector<Change> changes;
};

Converted part(std::string_view xml, ElementSet set = ElementSet::WordProcessing,
               bool old_mode = false) {
  Converted out;
  TextSettings settings;
  settings.old_mode = old_mode;
  OoxmlResult result = convert_part(xml, "word/document.xml", set, settings, out.changes);
  out.bytes = std::move(result.bytes);
  out.error = std::move(result.error);
  return out;
}

TEST(OoxmlPart, RunsKeepTheirBoundaries) {
  // o' spread over two runs: the first gets ö, the second becomes empty; the
  // bold run around "shahar" keeps its markup.
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>ko</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>'p shahar</w:t>"
                "</w:r></w:p>"))
          .bytes,
      word("<w:p><w:r><w:t>k\u00f6</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>p \u015fahar</w:t>"
           "</w:r></w:p>"));
  // Line breaks and tabs stay and keep the letters on either side apart.
  EXPECT_EQ(part(word("<w:p><w:r><w:t>choy bos</w:t><w:br/><w:t>h s</w:t><w:tab/><w:t>hahar</w:t>"
                      "</w:r></w:p>")).bytes,
            word("<w:p><w:r><w:t>\u00e7oy bos</w:t><w:br/><w:t>h s</w:t><w:tab/><w:t>hahar</w:t>"
                 "</w:r></w:p>"));
}

TEST(OoxmlPart, ParagraphsHandOnHowApostrophesAreTyped) {
  // As lines of plain text do: otdi restores after ozbek, not after o'zbek.
  for (const auto& [first, second] : {std::pair{"ozbek tilida", "\u00f6tdi"}, {"o'zbek tilida", "otdi"}}) {
    EXPECT_EQ(part(word("<w:p><w:r><w:t>" + std::string(first) + "</w:t></w:r></w:p><w:p><w:r><w:t>"
                        "vaqt otdi</w:t></w:r></w:p>")).bytes,
              word("<w:p><w:r><w:t>\u00f6zbek tilida</w:t></w:r></w:p><w:p><w:r><w:t>vaqt " +
                   std::string(second) + "</w:t></w:r></w:p>"));
  }
}

TEST(OoxmlPart, UnchangedTextLeavesEveryByte) {
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n" +
      word(
          "<w:p w:rsidR=\"00A1\">  <w:r><w:t xml:space='preserve'> Men bu kitobni </w:t></w:r>"
          "<!-- izoh --><w:r><w:t/></w:r></w:p><w:p/>");
  const Converted result = part(xml);
  EXPECT_TRUE(result.error.empty());
  EXPECT_EQ(result.bytes, xml);
  EXPECT_TRUE(result.changes.empty());
}

TEST(OoxmlPart, EscapesAndEntities) {
  // Entities are decoded for conversion and the new text is escaped again.
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>choy &amp; &lt;b&gt; &#x73;hahar &quot;</w:t></w:r></w:p>")).bytes,
      word("<w:p><w:r><w:t>\u00e7oy &amp; &lt;b&gt; \u015fahar \"</w:t></w:r></w:p>"));
  // A carriage return survives as a character reference; CDATA content is
  // converted and written as plain escaped text.
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>choy&#13;</w:t><w:t><![CDATA[a<b shahar]]></w:t></w:r></w:p>"))
          .bytes,
      word("<w:p><w:r><w:t>\u00e7oy&#13;</w:t><w:t>a&lt;b \u015fahar</w:t></w:r></w:p>"));
}

TEST(OoxmlPart, SpacePreservationIsAddedOnce) {
  // "o'" + " shahar": the second run loses its apostrophe and now begins with
  // a space, which Word would drop without xml:space="preserve".
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>ko</w:t></w:r><w:r><w:t w:x=\"1\">' shahar</w:t></w:r></w:p>"))
          .bytes,
      word("<w:p><w:r><w:t>k\u00f6</w:t></w:r><w:r><w:t w:x=\"1\" xml:space=\"preserve\"> "
           "\u015fahar</w:t></w:r></w:p>"));
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>ko</w:t></w:r><w:r><w:t xml:space=\"preserve\">' a</w:t></w:r>"
                "</w:p>"))
          .bytes,
      word("<w:p><w:r><w:t>k\u00f6</w:t></w:r><w:r><w:t xml:space=\"preserve\"> a</w:t></w:r>"
           "</w:p>"));
  // Another value is corrected in place rather than given a second attribute.
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>ko</w:t></w:r><w:r><w:t xml:space = 'default' >' a</w:t></w:r>"
                "</w:p>"))
          .bytes,
      word("<w:p><w:r><w:t>k\u00f6</w:t></w:r><w:r><w:t xml:space = 'preserve' > a</w:t></w:r>"
           "</w:p>"));
}

TEST(OoxmlPart, NestedParagraphsAndAlternateContent) {
  // A text box paragraph inside a paragraph is a paragraph of its own, and
  // both copies of the text box (Choice and Fallback) convert alike.
  const std::string box = "<w:txbxContent><w:p><w:r><w:t>qo'shiq</w:t></w:r></w:p></w:txbxContent>";
  const std::string new_box =
      "<w:txbxContent><w:p><w:r><w:t>q\u00f6\u015fiq</w:t></w:r></w:p></w:txbxContent>";
  const Converted result =
      part(word("<w:p><w:r><w:t>bosh </w:t></w:r><w:r><mc:AlternateContent><mc:Choice>" + box +
                "</mc:Choice><mc:Fallback>" + box +
                "</mc:Fallback></mc:AlternateContent></w:r>"
                "<w:r><w:t>choy</w:t></w:r></w:p>"));
  EXPECT_EQ(result.bytes, word("<w:p><w:r><w:t>bo\u015f </w:t></w:r><w:r><mc:AlternateContent>"
                               "<mc:Choice>" +
                               new_box + "</mc:Choice><mc:Fallback>" + new_box +
                               "</mc:Fallback></mc:AlternateContent></w:r><w:r><w:t>\u00e7oy</w:t>"
                               "</w:r></w:p>"));
  ASSERT_EQ(result.changes.size(), 4u);
  EXPECT_EQ(result.changes[0].old_word, "qo'shiq");
  EXPECT_EQ(result.changes[1].new_word, "q\u00f6\u015fiq");
  EXPECT_EQ(result.changes[2].old_word, "bosh");
  EXPECT_EQ(result.changes[3].old_word, "choy");
  EXPECT_EQ(result.changes[3].location, "word/document.xml");
}

TEST(OoxmlPart, ElementSetsDecideWhatIsText) {
  // Word parts match exact qualified names; text outside a paragraph is not
  // paragraph text.
  const std::string other = word("<x:p><x:t>shahar</x:t></x:p><w:t>shahar</w:t>");
  EXPECT_EQ(part(other).bytes, other);
  // Spreadsheets match local names and leave phonetic runs alone.
  EXPECT_EQ(part("<sst><si><r><t>cho</t></r><r><rPr><b/></rPr><t>y</t></r><rPh><t>shahar</t></rPh>"
                 "</si><x:si><x:t>bosh</x:t></x:si></sst>",
                 ElementSet::SharedString)
                .bytes,
            "<sst><si><r><t>\u00e7o</t></r><r><rPr><b/></rPr><t>y</t></r><rPh><t>shahar</t></rPh>"
            "</si><x:si><x:t>bo\u015f</x:t></x:si></sst>");
  EXPECT_EQ(part("<worksheet><c t=\"inlineStr\"><is><t>choy</t></is></c><c><v>shahar</v></c>"
                 "<si><t>bosh</t></si></worksheet>",
                 ElementSet::InlineString)
                .bytes,
            "<worksheet><c t=\"inlineStr\"><is><t>\u00e7oy</t></is></c><c><v>shahar</v></c>"
            "<si><t>bosh</t></si></worksheet>");
  // Old mode converts back.
  EXPECT_EQ(
      part(word("<w:p><w:r><w:t>\u015fahar</w:t></w:r></w:p>"), ElementSet::WordProcessing, true)
          .bytes,
      word("<w:p><w:r><w:t>shahar</w:t></w:r></w:p>"));
}

// Namespace URIs of the vocabularies, bound below to unusual prefixes.
#define WORD_NS "http://schemas.openxmlformats.org/wordprocessingml/2006/main"
#define STRICT_WORD_NS "http://purl.oclc.org/ooxml/wordprocessingml/main"
#define SHEET_NS "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
#define DRAWING_NS "http://schemas.openxmlformats.org/drawingml/2006/main"
#define ODF_TEXT_NS "urn:oasis:names:tc:opendocument:xmlns:text:1.0"
#define ODF_STYLE_NS "urn:oasis:names:tc:opendocument:xmlns:style:1.0"

TEST(OoxmlPart, EveryTextAReaderSees) {
  struct Case {
    ElementSet set;
    std::string_view in;
    std::string_view out;  // empty: unchanged
  };
  const Case cases[] = {
      // Any prefix, or none, for Transitional and Strict; another URI under w: is not Word.
      {ElementSet::WordProcessing,
       "<q:body xmlns:q='" WORD_NS "'><q:p><q:r><q:t>shahar</q:t></q:r></q:p></q:body>",
       "<q:body xmlns:q='" WORD_NS "'><q:p><q:r><q:t>\u015fahar</q:t></q:r></q:p></q:body>"},
      {ElementSet::WordProcessing, "<body xmlns='" STRICT_WORD_NS "'><p><r><t>choy</t></r></p></body>",
       "<body xmlns='" STRICT_WORD_NS "'><p><r><t>\u00e7oy</t></r></p></body>"},
      {ElementSet::WordProcessing, "<w:p xmlns:w='urn:x'><w:r><w:t>choy</w:t></w:r></w:p>", ""},
      // Tracked deletions convert; field codes and tab stops are not text.
      {ElementSet::WordProcessing,
       "<w:p><w:pPr><w:tabs><w:tab w:pos='1'/></w:tabs></w:pPr><w:r><w:delText>o'g'il"
       "</w:delText><w:instrText>TITLE shahar</w:instrText></w:r></w:p>",
       "<w:p><w:pPr><w:tabs><w:tab w:pos='1'/></w:tabs></w:pPr><w:r><w:delText>\u00f6\u011fil"
       "</w:delText><w:instrText>TITLE shahar</w:instrText></w:r></w:p>"},
      // Code runs and code paragraphs stay; the text around them converts.
      {ElementSet::WordProcessing,
       "<w:b><w:p><w:r><w:t xml:space='preserve'>bosh </w:t></w:r><w:r><w:rPr><w:rStyle "
       "w:val='HTMLCode'/></w:rPr><w:t>git checkout shahar</w:t></w:r><w:r><w:t> choy</w:t>"
       "</w:r><w:r><w:rPr><w:rFonts w:ascii='Courier New'/></w:rPr><w:t>sh</w:t></w:r></w:p>"
       "<w:p><w:pPr><w:pStyle w:val='SourceCode'/></w:pPr><w:r><w:t>choy</w:t></w:r></w:p></w:b>",
       "<w:b><w:p><w:r><w:t xml:space='preserve'>bo\u015f </w:t></w:r><w:r><w:rPr><w:rStyle "
       "w:val='HTMLCode'/></w:rPr><w:t>git checkout shahar</w:t></w:r><w:r><w:t> \u00e7oy</w:t>"
       "</w:r><w:r><w:rPr><w:rFonts w:ascii='Courier New'/></w:rPr><w:t>sh</w:t></w:r></w:p>"
       "<w:p><w:pPr><w:pStyle w:val='SourceCode'/></w:pPr><w:r><w:t>choy</w:t></w:r></w:p></w:b>"},
      // Slides, drawings, SmartArt and chart titles; a monospace typeface is code.
      {ElementSet::Markup,
       "<p:sld xmlns:p='x' xmlns:d='" DRAWING_NS "'><d:p><d:r><d:t>bosh</d:t></d:r><d:br/><d:r>"
       "<d:rPr><d:latin typeface='Consolas'/></d:rPr><d:t>sh</d:t></d:r></d:p></p:sld>",
       "<p:sld xmlns:p='x' xmlns:d='" DRAWING_NS "'><d:p><d:r><d:t>bo\u015f</d:t></d:r><d:br/><d:r>"
       "<d:rPr><d:latin typeface='Consolas'/></d:rPr><d:t>sh</d:t></d:r></d:p></p:sld>"},
      // Legacy slide comments.
      {ElementSet::Markup,
       "<p:cmLst xmlns:p='http://schemas.openxmlformats.org/presentationml/2006/main'><p:cm>"
       "<p:text>choy</p:text></p:cm></p:cmLst>",
       "<p:cmLst xmlns:p='http://schemas.openxmlformats.org/presentationml/2006/main'><p:cm>"
       "<p:text>\u00e7oy</p:text></p:cm></p:cmLst>"},
      // Cached chart categories.
      {ElementSet::Markup,
       "<c:strCache xmlns:c='http://schemas.openxmlformats.org/drawingml/2006/chart'><c:pt>"
       "<c:v>choy</c:v></c:pt><c:f>shahar</c:f></c:strCache>",
       "<c:strCache xmlns:c='http://schemas.openxmlformats.org/drawingml/2006/chart'><c:pt>"
       "<c:v>\u00e7oy</c:v></c:pt><c:f>shahar</c:f></c:strCache>"},
      // Document properties: title, subject, keywords, description, category; not the author.
      {ElementSet::Markup,
       "<cp:coreProperties xmlns:cp='http://schemas.openxmlformats.org/package/2006/metadata/"
       "core-properties' xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title>Qo'shiq</dc:title>"
       "<dc:creator>Shavkat</dc:creator><cp:keywords>choy, bosh</cp:keywords><cp:category/>"
       "</cp:coreProperties>",
       "<cp:coreProperties xmlns:cp='http://schemas.openxmlformats.org/package/2006/metadata/"
       "core-properties' xmlns:dc='http://purl.org/dc/elements/1.1/'><dc:title>Q\u00f6\u015fiq"
       "</dc:title><dc:creator>Shavkat</dc:creator><cp:keywords>\u00e7oy, bo\u015f</cp:keywords>"
       "<cp:category/></cp:coreProperties>"},
      // Cell comments, threaded comments, and headers whose format codes stay.
      {ElementSet::SheetComments,
       "<comments xmlns='" SHEET_NS "'><authors><author>Shahlo</author></authors><comment>"
       "<text><r><t>choy</t></r></text></comment></comments>",
       "<comments xmlns='" SHEET_NS "'><authors><author>Shahlo</author></authors><comment>"
       "<text><r><t>\u00e7oy</t></r></text></comment></comments>"},
      {ElementSet::Markup,
       "<ThreadedComments xmlns='http://schemas.microsoft.com/office/spreadsheetml/2018/"
       "threadedcomments'><threadedComment><text>bosh &amp; choy</text></threadedComment>"
       "</ThreadedComments>",
       "<ThreadedComments xmlns='http://schemas.microsoft.com/office/spreadsheetml/2018/"
       "threadedcomments'><threadedComment><text>bo\u015f &amp; \u00e7oy</text></threadedComment>"
       "</ThreadedComments>"},
      {ElementSet::InlineString,
       "<worksheet xmlns='" SHEET_NS "'><headerFooter><oddHeader>&amp;L&amp;\"Arial,Bold\"choy"
       "&amp;Cshahar &amp;P&amp;K00FF00sh&amp;14chor</oddHeader></headerFooter></worksheet>",
       "<worksheet xmlns='" SHEET_NS "'><headerFooter><oddHeader>&amp;L&amp;\"Arial,Bold\"\u00e7oy"
       "&amp;C\u015fahar &amp;P&amp;K00FF00\u015f&amp;14\u00e7or</oddHeader></headerFooter></worksheet>"},
      // Table column names convert like their header cells.
      {ElementSet::TableColumns,
       "<table xmlns='" SHEET_NS "'><tableColumns><tableColumn id='1' name=\"Ko'cha\"/>"
       "<tableColumn id='2' name='Son_x000a_bosh'/></tableColumns></table>",
       "<table xmlns='" SHEET_NS "'><tableColumns><tableColumn id='1' name=\"K\u00f6\u00e7a\"/>"
       "<tableColumn id='2' name='Son_x000a_bo\u015f'/></tableColumns></table>"},
      // OpenDocument: text directly in paragraphs and spans; spaces, tabs
      // and line breaks are elements; a style with a monospace font is code.
      {ElementSet::Markup,
       "<o:doc xmlns:t='" ODF_TEXT_NS "' xmlns:s='" ODF_STYLE_NS "'><s:style s:name='T1'>"
       "<s:text-properties s:font-name='Liberation Mono'/></s:style><t:h>Qo'<t:span>shiq"
       "</t:span></t:h><t:p>bos<t:s/>h o<t:span t:style-name='T1'>sh</t:span><t:tab/>o'g'il"
       "<t:line-break/>&amp; choy<!-- x --></t:p><t:p><t:note><t:note-citation>1</t:note-citation>"
       "<t:note-body><t:p>choy</t:p></t:note-body></t:note></t:p></o:doc>",
       "<o:doc xmlns:t='" ODF_TEXT_NS "' xmlns:s='" ODF_STYLE_NS "'><s:style s:name='T1'>"
       "<s:text-properties s:font-name='Liberation Mono'/></s:style><t:h>Q\u00f6\u015f<t:span>iq"
       "</t:span></t:h><t:p>bos<t:s/>h o<t:span t:style-name='T1'>sh</t:span><t:tab/>\u00f6\u011fil"
       "<t:line-break/>&amp; \u00e7oy<!-- x --></t:p><t:p><t:note><t:note-citation>1"
       "</t:note-citation><t:note-body><t:p>\u00e7oy</t:p></t:note-body></t:note></t:p></o:doc>"},
      // Formulas follow the table columns they name.
      {ElementSet::InlineString,
       "<c xmlns='" SHEET_NS "'><f>SUM(Jadval1[Ko''cha])&amp;\"[choy]\"</f></c>",
       "<c xmlns='" SHEET_NS "'><f>SUM(Jadval1[K\u00f6\u00e7a])&amp;\"[choy]\"</f></c>"},
      // Cached results of text formulas, in an element or an attribute.
      {ElementSet::InlineString,
       "<sheetData xmlns='" SHEET_NS "'><c t='str'><f>A1</f><v>choy</v></c><c t='s'><v>1</v></c>"
       "</sheetData>",
       "<sheetData xmlns='" SHEET_NS "'><c t='str'><f>A1</f><v>çoy</v></c><c t='s'><v>1</v>"
       "</c></sheetData>"},
      {ElementSet::Markup,
       "<t:table-cell xmlns:t='urn:oasis:names:tc:opendocument:xmlns:table:1.0' xmlns:o='o' "
       "o:string-value=\"o'g'il &amp; choy\"/>",
       "<t:table-cell xmlns:t='urn:oasis:names:tc:opendocument:xmlns:table:1.0' xmlns:o='o' "
       "o:string-value=\"öğil &amp; çoy\"/>"},
      // Deleted text converts on its own, not glued to the text around it.
      {ElementSet::WordProcessing,
       "<w:p><w:r><w:t>bo</w:t></w:r><w:del><w:r><w:delText>sh</w:delText></w:r></w:del></w:p>",
       "<w:p><w:r><w:t>bo</w:t></w:r><w:del><w:r><w:delText>ş</w:delText></w:r></w:del></w:p>"},
      // Character data of a CDATA section has no range of its own: left alone.
      {ElementSet::Markup, "<t:p xmlns:t='" ODF_TEXT_NS "'>choy<![CDATA[ shahar]]></t:p>", ""},
  };
  for (const Case& c : cases) {
    const Converted result = part(c.in, c.set);
    EXPECT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.bytes, c.out.empty() ? c.in : c.out) << c.in;
  }
}

TEST(OoxmlPart, CodeAndOpenDocumentSheetNamesAreReportedAsKept) {
  KeptTexts kept;
  PartContext context{false, &kept};
  std::vector<Change> changes;
  // Tables of a text document are not sheets.
  ASSERT_TRUE(convert_part("<r xmlns:t='urn:oasis:names:tc:opendocument:xmlns:table:1.0' "
                           "xmlns:o='urn:oasis:names:tc:opendocument:xmlns:office:1.0'><o:text>"
                           "<t:table t:name='Shahar'/></o:text><o:spreadsheet>"
                           "<t:table t:name='Choy'/><t:table t:name='Son'/></o:spreadsheet>"
                           "<w:p><w:r><w:rPr>"
                           "<w:rStyle w:val='VerbatimChar'/></w:rPr><w:t>ls sh</w:t></w:r><w:r>"
                           "<w:t>choy</w:t></w:r></w:p></r>",
                           "content.xml", ElementSet::Markup, {}, changes, &context)
                  .ok());
  ASSERT_EQ(kept.listed().size(), 2u);
  EXPECT_EQ(kept.listed()[0].text, "Choy");
  EXPECT_EQ(kept.listed()[0].reason, KeptReason::SheetName);
  EXPECT_EQ(kept.listed()[1].text, "ls sh");
  EXPECT_EQ(kept.count(KeptReason::Code), 1u);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].new_word, "\u00e7oy");
}

TEST(OoxmlPart, WorkbooksKeepSheetNamesAndAskForRecalculation) {
  const auto workbook = [](std::string_view xml, bool recalculate) {
    KeptTexts kept;
    PartContext context{recalculate, &kept};
    std::vector<Change> changes;
    OoxmlResult result =
        convert_part(xml, "xl/workbook.xml", ElementSet::Workbook, {}, changes, &context);
    EXPECT_TRUE(changes.empty());
    return std::pair{result.bytes, kept.listed()};
  };
  const std::string sheets =
      "<x:workbook xmlns:x='" SHEET_NS "'><x:sheets><x:sheet name=\"Ro'yxat\"/><x:sheet "
      "name='Son'/></x:sheets><x:definedNames><x:definedName>'Ro''yxat'!A1</x:definedName>"
      "</x:definedNames>";
  const auto [kept_bytes, kept] = workbook(sheets + "</x:workbook>", false);
  EXPECT_EQ(kept_bytes, sheets + "</x:workbook>");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].text, "Ro'yxat");
  EXPECT_EQ(kept[0].reason, KeptReason::SheetName);
  // A missing calcPr is added where the schema wants it; an existing one gains the attribute.
  EXPECT_EQ(workbook(sheets + "<x:extLst/></x:workbook>", true).first,
            sheets + "<x:calcPr fullCalcOnLoad=\"1\"/><x:extLst/></x:workbook>");
  EXPECT_EQ(workbook(sheets + "<x:calcPr calcId='1'/></x:workbook>", true).first,
            sheets + "<x:calcPr calcId='1' fullCalcOnLoad=\"1\"/></x:workbook>");
  EXPECT_EQ(workbook(sheets + "<x:calcPr fullCalcOnLoad='0'></x:calcPr></x:workbook>", true).first,
            sheets + "<x:calcPr fullCalcOnLoad='1'></x:calcPr></x:workbook>");
}

TEST(OoxmlPart, MalformedOrHostileXmlIsAnError) {
  const Converted broken = part("<w:p><w:t>shahar</w:p>");
  EXPECT_EQ(broken.error, "XML xatosi (18-bayt): mismatched tag");
  EXPECT_TRUE(broken.bytes.empty());
  // Paragraphs converted before the fault leave no changes behind.
  const Converted late_fault = part("<r><w:p><w:t>shahar</w:t></w:p><w:p>\x01</w:p></r>");
  EXPECT_TRUE(late_fault.error.starts_with("XML xatosi (")) << late_fault.error;
  EXPECT_TRUE(late_fault.changes.empty());
  EXPECT_TRUE(part("").error.starts_with("XML xatosi (0-bayt): "));
  // Entity declarations are refused rather than expanded.
  const Converted laughs = part(
      "<!DOCTYPE w [<!ENTITY a \"shahar shahar\"><!ENTITY b "
      "\"&a;&a;&a;&a;\">]><w:p><w:t>&b;</w:t></w:p>");
  EXPECT_TRUE(laughs.error.starts_with("XML xatosi (")) << laughs.error;
  EXPECT_NE(laughs.error.find("entity"), std::string::npos);
  EXPECT_TRUE(part("<w:p><w:t>&nope;</w:t></w:p>").error.starts_with("XML xatosi (10-bayt): "));
  // New text is written as UTF-8, so other encodings are refused, not mixed.
  EXPECT_EQ(part(std::string("\xFF\xFE<\0w\0:\0p\0/\0>\0", 14)).error,
            "XML xatosi (0-bayt): kodlash UTF-8 emas");
  EXPECT_EQ(part("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><w:p><w:t>\xe9</w:t></w:p>").error,
            "XML xatosi (53-bayt): not well-formed (invalid token)");
  // A UTF-8 byte-order mark is fine and stays.
  EXPECT_EQ(part("\xEF\xBB\xBF<w:p><w:t>choy</w:t></w:p>").bytes,
            "\xEF\xBB\xBF<w:p><w:t>\u00e7oy</w:t></w:p>");
}

TEST(OoxmlPart, VeryLongParagraphsConvertInPieces) {
  // Above 1 MiB a paragraph is converted a group of runs, or a slice of one
  // run, at a time: nothing may be lost or doubled at the seams.
  const std::string digits(600'000, '7');
  const Converted two_runs =
      part(word("<w:p><w:r><w:t>shahar " + digits + " choy</w:t></w:r><w:r><w:t>shahar " +
                digits + " </w:t></w:r><w:r><w:t>o'g'il</w:t></w:r></w:p>"));
  // (Compared as a whole, so that a failure does not print megabytes.)
  EXPECT_TRUE(two_runs.bytes == word("<w:p><w:r><w:t>\u015fahar " + digits +
                                     " \u00e7oy</w:t></w:r><w:r><w:t>\u015fahar " + digits +
                                     " </w:t></w:r><w:r><w:t>\u00f6\u011fil</w:t></w:r></w:p>"));
  EXPECT_EQ(two_runs.changes.size(), 4u);
  const std::string lines = "choy\n" + digits + "\nshahar " + digits + digits + " bosh";
  const Converted one_cell = part("<sst><si><t>" + lines + "</t></si></sst>",
                                  ElementSet::SharedString);
  EXPECT_TRUE(one_cell.bytes == "<sst><si><t>\u00e7oy\n" + digits + "\n\u015fahar " + digits +
                                   digits + " bo\u015f</t></si></sst>");
  EXPECT_EQ(one_cell.changes.size(), 3u);
}

TEST(OoxmlPart, PartNamesAreSelectedExactly) {
  const auto word_part = [](std::string_view name) {
    return select_part(name, PackageKind::WordProcessing);
  };
  for (const char* name : {"word/document.xml", "word/footer2.xml", "word/comments.xml"}) {
    EXPECT_EQ(word_part(name), ElementSet::WordProcessing) << name;
  }
  for (const char* name :
       {"word/styles.xml", "word/settings.xml", "word/glossary/document.xml", "Word/document.xml",
        "word/document.xml.rels", "word/_rels/document.xml.rels", "xl/sharedStrings.xml"}) {
    EXPECT_EQ(word_part(name), std::nullopt) << name;
  }
  EXPECT_EQ(select_part("xl/sharedStrings.xml", PackageKind::Spreadsheet),
            ElementSet::SharedString);
  EXPECT_EQ(select_part("xl/worksheets/sheet1.xml", PackageKind::Spreadsheet),
            ElementSet::InlineString);
  EXPECT_EQ(select_part("xl/worksheets/_rels/sheet1.xml.rels", PackageKind::Spreadsheet),
            std::nullopt);
  EXPECT_EQ(select_part("xl/worksheets/a/sheet1.xml", PackageKind::Spreadsheet), std::nullopt);
  EXPECT_EQ(select_part("word/document.xml", PackageKind::Spreadsheet), std::nullopt);
  const std::pair<std::string_view, PackageKind> markup[] = {
      {"docProps/core.xml", PackageKind::WordProcessing},
      {"word/charts/chart1.xml", PackageKind::WordProcessing},
      {"word/diagrams/data1.xml", PackageKind::WordProcessing},
      {"xl/threadedComments/threadedComment1.xml", PackageKind::Spreadsheet},
      {"xl/drawings/drawing1.xml", PackageKind::Spreadsheet},
      {"ppt/slides/slide1.xml", PackageKind::Presentation},
      {"ppt/notesSlides/notesSlide2.xml", PackageKind::Presentation},
      {"ppt/slideMasters/slideMaster1.xml", PackageKind::Presentation},
      {"ppt/comments/comment1.xml", PackageKind::Presentation},
      {"content.xml", PackageKind::OpenDocument},
      {"meta.xml", PackageKind::OpenDocument},
  };
  for (const auto& [name, kind] : markup) {
    EXPECT_EQ(select_part(name, kind), ElementSet::Markup) << name;
  }
  EXPECT_EQ(select_part("xl/comments1.xml", PackageKind::Spreadsheet), ElementSet::SheetComments);
  EXPECT_EQ(select_part("xl/tables/table1.xml", PackageKind::Spreadsheet),
            ElementSet::TableColumns);
  for (const auto& [name, kind] : std::initializer_list<std::pair<std::string_view, PackageKind>>{
           {"xl/drawings/vmlDrawing1.vml", PackageKind::Spreadsheet},
           {"ppt/slides/_rels/slide1.xml.rels", PackageKind::Presentation},
           {"ppt/presentation.xml", PackageKind::Presentation},
           {"settings.xml", PackageKind::OpenDocument},
           {"Pictures/a.xml", PackageKind::OpenDocument},
           {"docProps/app.xml", PackageKind::Spreadsheet}}) {
    EXPECT_EQ(select_part(name, kind), std::nullopt) << name;
  }
}

// A package whose central directory claims other sizes for one entry, or
// (with `crc_flip`) a checksum with those bits flipped.
std::string with_claimed_sizes(std::string package, std::string_view entry,
                               std::uint32_t compressed, std::uint32_t size,
                               std::uint32_t crc_flip = 0) {
  const auto field = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (int k = 0; k < 4; ++k) {
      value |= std::uint32_t{static_cast<unsigned char>(package[at + k])} << (8 * k);
    }
    return value;
  };
  const auto put = [&](std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) package[at + k] = static_cast<char>(value >> (8 * k));
  };
  for (std::size_t at = package.find("PK\x01\x02"); at != std::string::npos;
       at = package.find("PK\x01\x02", at + 4)) {
    if (package.compare(at + 46, entry.size(), entry) != 0) continue;
    put(at + 16, field(at + 16) ^ crc_flip);
    if (compressed != 0) put(at + 20, compressed);
    if (size != 0) put(at + 24, size);
  }
  return package;
}

std::string fixture(const std::string& name) {
  std::ifstream in(std::string(VEXO_FIXTURES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The entry names of a package in archive order, or "invalid".
std::vector<std::string> entry_names(const std::string& package) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(package.data(), package.size(), 0, &error);
  zip_t* archive = zip_open_from_source(source, ZIP_CHECKCONS | ZIP_RDONLY, &error);
  zip_error_fini(&error);
  if (archive == nullptr) {
    zip_source_free(source);
    return {"invalid"};
  }
  std::vector<std::string> names;
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    names.emplace_back(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
  }
  zip_discard(archive);
  return names;
}

// Each entry of a package: its bytes, and its bytes as stored (compressed).
struct Entry {
  std::string bytes;
  std::string stored;
};
std::map<std::string, Entry> entries(const std::string& package) {
  zip_source_t* source = zip_source_buffer_create(package.data(), package.size(), 0, nullptr);
  zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, nullptr);
  std::map<std::string, Entry> out;
  for (zip_int64_t i = 0; archive != nullptr && i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t stat;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
    Entry& entry = out[stat.name];
    for (const auto& [flags, size, bytes] :
         {std::tuple{zip_flags_t{0}, stat.size, &entry.bytes},
          std::tuple{zip_flags_t{ZIP_FL_COMPRESSED}, stat.comp_size, &entry.stored}}) {
      bytes->resize(size);
      zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), flags);
      // The CRC is checked once the data has been read to its end.
      char extra = 0;
      if (file == nullptr ||
          zip_fread(file, bytes->data(), size) != static_cast<zip_int64_t>(size) ||
          zip_fread(file, &extra, 1) != 0) {
        *bytes = "unreadable";
      }
      if (file != nullptr) zip_fclose(file);
    }
  }
  if (archive != nullptr) zip_discard(archive);
  else zip_source_free(source);
  return out;
}

TEST(OoxmlPackage, LibreOfficeDocumentsWithLateTextParts) {
  // Documents saved by LibreOffice, whose changed parts lie in the back half
  // of the archive (shared strings after the sheets, only a comment changed).
  const std::string dir = std::string(VEXO_FIXTURES) + "/lo";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const bool sheet = name.ends_with(".xlsx");
    if (!sheet && !name.ends_with(".docx")) continue;
    ++seen;
    const std::string input = fixture("lo/" + name);
    const PackageKind kind = sheet ? PackageKind::Spreadsheet : PackageKind::WordProcessing;
    std::vector<Change> changes;
    const OoxmlResult result = convert_package(input, kind, {}, changes);
    ASSERT_TRUE(result.ok()) << name << ": " << result.error;
    EXPECT_FALSE(changes.empty()) << name;
    EXPECT_EQ(entry_names(result.bytes), entry_names(input)) << name;
    // Entries whose bytes stay, text parts among them, keep their stored
    // bytes; the others are compressed anew and read back whole.
    const std::map<std::string, Entry> before = entries(input), after = entries(result.bytes);
    for (const auto& [entry, data] : after) {
      EXPECT_NE(data.bytes, "unreadable") << name << " " << entry;
      if (data.bytes == before.at(entry).bytes) {
        EXPECT_EQ(data.stored, before.at(entry).stored) << name << " " << entry;
      }
    }
    // Only the changes, streamed from the same input, agree with them; the
    // result needs no further change.
    MemoryInput again(input);
    ChangeTally tally;
    EXPECT_EQ(convert_package(again, nullptr, kind, {}, tally), "") << name;
    EXPECT_EQ(tally.count(), changes.size()) << name;
    std::vector<Change> second;
    EXPECT_EQ(convert_package(result.bytes, kind, {}, second).bytes, result.bytes) << name;
    EXPECT_TRUE(second.empty()) << name;
  }
  EXPECT_GE(seen, 3);
  // An encrypted document is an OLE compound file, not an archive.
  std::vector<Change> changes;
  EXPECT_TRUE(convert_package(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0", 10),
                              PackageKind::WordProcessing, {}, changes)
                  .error.starts_with("hujjat parol bilan himoyalangan"));
}

TEST(OoxmlPackage, SizeClaimsOfATinyArchiveAreNotBelieved) {
  const std::string real = fixture("unchanged.docx");
  ASSERT_FALSE(real.empty());
  std::vector<Change> changes;
  ASSERT_TRUE(convert_package(real, PackageKind::WordProcessing, {}, changes).ok());

  // 1000 MiB from 6 MiB would pass the ratio, but the archive is far smaller
  // than 6 MiB: refused before anything is read or allocated.
  const OoxmlResult liar = convert_package(
      with_claimed_sizes(real, "word/document.xml", 6u << 20, 1000u << 20),
      PackageKind::WordProcessing, {}, changes);
  EXPECT_EQ(liar.error,
            "word/document.xml: ochilgandagi hajmi haddan tashqari katta (zip-bomba bo'lishi "
            "mumkin)");
  // A claim below the checked size is read as far as the data goes.
  const OoxmlResult short_claim = convert_package(
      with_claimed_sizes(real, "word/document.xml", 100, 9u << 20), PackageKind::WordProcessing,
      {}, changes);
  EXPECT_TRUE(short_claim.error.starts_with("zip: ")) << short_claim.error;
  EXPECT_TRUE(short_claim.bytes.empty());
  // A wrong checksum is the library's error, however the entry is read.
  EXPECT_EQ(convert_package(with_claimed_sizes(real, "word/document.xml", 0, 0, 1),
                            PackageKind::WordProcessing, {}, changes)
                .error,
            "zip: CRC error");
}

}  // namespace
}  // namespace vexo::cli
