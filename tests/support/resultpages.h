#pragma once
// Small result pages of both PMC layouts, for the browser tests, the
// harvest command's tests and the benchmarks.
//
// Classic: one div "rprt" per result with a "title" div and a "links" div
// holding "Article" and "PDF–…" links, and a "Next >" link to the next page.
// Today's: li items of class "article" in a ul inside div.articles, each with
// a "docsum-title" link, and a "Show More Results" button whose script
// fetches the next items from moreUrl and appends them; the button is hidden
// when the answer says it was the last batch.
#include <QByteArray>
#include <QString>

namespace ResultPages {

inline QByteArray classicBlock(int n, const QByteArray &base = "https://www.ncbi.nlm.nih.gov")
{
    const QByteArray id = QByteArray::number(n);
    return "<div class=\"rprt\"><div class=\"rslt\">\n"
           "  <div class=\"title\"><a href=\"" + base + "/pmc/articles/PMC" + id + "/\">Result " + id
           + " of the <b>gene</b> study</a></div>\n"
           "  <div class=\"supp\"><div class=\"desc\">Author A, Author B</div>\n"
           "  <div class=\"links\"><a href=\"" + base + "/pmc/articles/PMC" + id + "/\">Article</a> | "
           "<a href=\"" + base + "/pmc/articles/PMC" + id + "/pdf/paper" + id + ".pdf\">PDF&ndash;1." + id.right(1) + "M</a> | "
           "<a href=\"/pmc/articles/PMC" + id + "/citedby/\">Cited by</a></div></div>\n"
           "</div></div>\n";
}

// Results first..last; nextHref empty for the last page. Extra goes into
// the head (scripts and style sheets of a saved page).
inline QByteArray classicPage(int first, int last, const QByteArray &nextHref = {}, const QByteArray &extraHead = {},
                              const QByteArray &base = "https://www.ncbi.nlm.nih.gov")
{
    QByteArray html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Results</title>" + extraHead
                      + "</head><body><div id=\"maincontent\"><div class=\"content\">\n";
    for (int n = first; n <= last; ++n)
        html += classicBlock(n, base);
    html += "</div><div class=\"pagination\">";
    if (!nextHref.isEmpty())
        html += "<a href=\"" + nextHref + "\" class=\"active page_link next\">Next &gt;</a>";
    return html + "</div></div></body></html>\n";
}

inline QByteArray todayItem(int n, const QByteArray &base = "https://pmc.ncbi.nlm.nih.gov")
{
    const QByteArray id = QByteArray::number(n);
    return "<li class=\"margin-bottom-3 grid-col-12 article\"><div class=\"docsum-content\">"
           "<a class=\"usa-link docsum-title docsum-link\" href=\"" + base + "/articles/PMC" + id
           + "\">Item " + id + " on <b>gene</b>\n  expression</a>"
           "<div class=\"docsum-citation\">J Test. 2014;" + id + ".</div>"
           "<a class=\"usa-link\" href=\"" + base + "/articles/PMC" + id + "/citedby/\">Cited by</a>"
           "</div></li>\n";
}

inline QByteArray todayItems(int first, int last, const QByteArray &base = "https://pmc.ncbi.nlm.nih.gov")
{
    QByteArray html;
    for (int n = first; n <= last; ++n)
        html += todayItem(n, base);
    return html;
}

// moreUrl gets "?page=N" (2, 3, ...) appended; an answer whose first line is
// "LAST" is the final batch.
inline QByteArray todayPage(int first, int last, const QByteArray &moreUrl = {},
                            const QByteArray &base = "https://pmc.ncbi.nlm.nih.gov")
{
    QByteArray html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Search results</title></head><body>"
                      "<main><div class=\"search-results\"><div class=\"articles\"><ul class=\"usa-list\">\n"
                      + todayItems(first, last, base) + "</ul></div>\n";
    if (!moreUrl.isEmpty()) {
        html += "<button class=\"usa-button more\" type=\"button\">Show More Results</button>\n"
                "<script>\n"
                "var page = 1;\n"
                "var button = document.querySelector('button.more');\n"
                "button.addEventListener('click', function () {\n"
                "  page += 1;\n"
                "  fetch('" + moreUrl + "?page=' + page).then(function (r) { return r.text(); }).then(function (text) {\n"
                "    var last = text.indexOf('LAST') === 0;\n"
                "    if (last) text = text.substring(4);\n"
                "    document.querySelector('div.articles ul').insertAdjacentHTML('beforeend', text);\n"
                "    if (last) button.style.display = 'none';\n"
                "  });\n"
                "});\n"
                "</script>\n";
    }
    return html + "</div></main></body></html>\n";
}

} // namespace ResultPages
