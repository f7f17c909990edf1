#include "search/resultparser.h"

#include "search/document.h"
#include "search/harvestlist.h"

#include <QRegularExpression>
#include <QUrl>

namespace ResultPage {

QString trimSpaces(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && text.at(from) == QLatin1Char(' '))
        ++from;
    while (to > from && text.at(to - 1) == QLatin1Char(' '))
        --to;
    return text.mid(from, to - from);
}

bool hasClassWord(const QString &classAttribute, const QString &word)
{
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList words = classAttribute.split(space, Qt::SkipEmptyParts);
    for (const QString &w : words)
        if (w.compare(word, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool hasClassicResults(const Document &document)
{
    for (int div : document.getElementsByTagName(QStringLiteral("div")))
        if (document.className(div).toLower() == QLatin1String("rprt"))
            return true;
    return false;
}

int nextPageLink(const Document &document)
{
    for (int link : document.links())
        if (trimSpaces(document.innerText(link)).toLower() == QLatin1String("next >"))
            return link;
    return -1;
}

namespace {

QList<int> todayItems(const Document &document)
{
    QList<int> items;
    for (int li : document.getElementsByTagName(QStringLiteral("li")))
        if (hasClassWord(document.className(li), QStringLiteral("article")))
            items.append(li);
    return items;
}

} // namespace

int todayItemCount(const Document &document) { return int(todayItems(document).size()); }

int showMoreButton(const Document &document)
{
    for (int button : document.getElementsByTagName(QStringLiteral("button"))) {
        const bool isMore = hasClassWord(document.className(button), QStringLiteral("more"))
                            || document.innerText(button).trimmed().compare(QLatin1String("Show More Results"), Qt::CaseInsensitive) == 0;
        if (!isMore)
            continue;
        return document.isHidden(button) || document.isDisabled(button) ? -1 : button;
    }
    return -1;
}

QString todayPdfUrl(const QString &articleUrl)
{
    // The "pdf/" goes into the path: a query or fragment of the article
    // link would otherwise swallow it.
    QUrl url(articleUrl);
    if (!url.isValid() || url.isRelative())
        return {};
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("pdf/"));
    url.setQuery(QString());
    url.setFragment(QString());
    return url.toString(QUrl::FullyEncoded);
}

} // namespace ResultPage

namespace {

void importClassic(const Document &doc, HarvestList &list, bool pdfOnly)
{
    // Kept across blocks on purpose: a block without its own title or link
    // carries the previous block's value forward, as the site's pages need.
    QString title, articleUrl, pdfUrl;
    for (int block : doc.getElementsByTagName(QStringLiteral("div"))) {
        if (doc.className(block).toLower() != QLatin1String("rprt"))
            continue;
        for (int inner : doc.getElementsByTagName(QStringLiteral("div"), block)) {
            const QString cls = doc.className(inner).toLower();
            if (cls == QLatin1String("title")) {
                title = ResultPage::trimSpaces(doc.innerText(inner));
            } else if (cls == QLatin1String("links")) {
                for (int a : doc.getElementsByTagName(QStringLiteral("a"), inner)) {
                    const QString text = ResultPage::trimSpaces(doc.innerText(a)).toLower();
                    if (text == QLatin1String("article"))
                        articleUrl = doc.href(a);
                    if (text.left(3) == QLatin1String("pdf"))
                        pdfUrl = doc.href(a);
                }
            }
            if (title.isEmpty())
                continue;
            if (!articleUrl.isEmpty() && !pdfOnly)
                list.加入LV1(title, articleUrl, QStringLiteral("article"));
            if (!pdfUrl.isEmpty())
                list.加入LV1(title, pdfUrl, QStringLiteral("PDF"));
        }
    }
}

void importToday(const Document &doc, HarvestList &list, bool pdfOnly)
{
    for (int item : ResultPage::todayItems(doc)) {
        int titleLink = -1;
        for (int a : doc.getElementsByTagName(QStringLiteral("a"), item)) {
            if (ResultPage::hasClassWord(doc.className(a), QStringLiteral("docsum-title"))) {
                titleLink = a;
                break;
            }
        }
        if (titleLink < 0)
            continue;
        const QString title = doc.innerText(titleLink).trimmed();
        const QString url = doc.href(titleLink);
        if (title.isEmpty() || url.isEmpty())
            continue;
        if (!pdfOnly)
            list.加入LV1(title, url, QStringLiteral("article"));
        const QString pdf = ResultPage::todayPdfUrl(url);
        if (!pdf.isEmpty())
            list.加入LV1(title, pdf, QStringLiteral("PDF"));
    }
}

} // namespace

int 导入当且页面(const Document *document, HarvestList &list, bool pdfOnly)
{
    if (document) {
        if (ResultPage::hasClassicResults(*document))
            importClassic(*document, list, pdfOnly);
        else
            importToday(*document, list, pdfOnly);
    }
    return list.count();
}
