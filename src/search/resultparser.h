#pragma once
// Reads a PMC search-result page into the harvest list.
//
// Classic pages hold one `div` of class "rprt" per result, with a "title"
// div and a "links" div whose anchors read "Article" and "PDF...". Today's
// pages hold `li` items of class "article" with a "docsum-title" link and no
// PDF link; the PDF sits at the article URL followed by "pdf/". A page with
// no "rprt" block is read as today's layout.
#include <QString>

class Document;
class HarvestList;

// Adds a row per article link (type word "article", left out when pdfOnly)
// and per PDF link, in page order; URLs already listed stay as they are.
// Returns the number of rows afterwards, for the count label. A null
// document adds nothing.
int 导入当且页面(const Document *document, HarvestList &list, bool pdfOnly);

namespace ResultPage {

// Leading and trailing space characters removed; other white space kept.
QString trimSpaces(const QString &text);
// True when the class attribute lists the word (compared without case).
bool hasClassWord(const QString &classAttribute, const QString &word);

// True when the page has at least one classic result block.
bool hasClassicResults(const Document &document);
// The first link whose text is "next >", or -1.
int nextPageLink(const Document &document);

// Today's layout: the result items, and the "Show More Results" button when
// it can be pressed (present, shown, enabled), else -1.
int todayItemCount(const Document &document);
int showMoreButton(const Document &document);
// The PDF address today's site serves for an article page:
// ".../articles/PMC4107773" -> ".../articles/PMC4107773/pdf/".
QString todayPdfUrl(const QString &articleUrl);

} // namespace ResultPage
