#pragma once
// Builds an in-memory page from a compact outline, so a test table can show
// a page on one line:
//   div[rprt]{ div[title]"A title" div[links]{ a"PDF–1.2M"@http://h/1.pdf } }
// An element is a tag, an optional [class attribute], an optional "text",
// an optional @href (up to the next space or brace) and optional {children}.
#include "search/document.h"

#include <memory>

inline std::shared_ptr<SnapshotDocument> buildPage(const QString &outline)
{
    auto doc = std::make_shared<SnapshotDocument>();
    qsizetype i = 0;
    const qsizetype n = outline.size();
    auto skipSpace = [&] { while (i < n && outline.at(i).isSpace()) ++i; };
    auto until = [&](QChar stop) {
        const qsizetype from = i;
        while (i < n && outline.at(i) != stop)
            ++i;
        const QString part = outline.mid(from, i - from);
        ++i; // past the stop character
        return part;
    };
    for (skipSpace(); i < n; skipSpace()) {
        if (outline.at(i) == QLatin1Char('}')) {
            doc->close();
            ++i;
            continue;
        }
        const qsizetype from = i;
        while (i < n && (outline.at(i).isLetterOrNumber()))
            ++i;
        const QString tag = outline.mid(from, i - from);
        QString cls, text, href;
        if (i < n && outline.at(i) == QLatin1Char('[')) { ++i; cls = until(QLatin1Char(']')); }
        if (i < n && outline.at(i) == QLatin1Char('"')) { ++i; text = until(QLatin1Char('"')); }
        if (i < n && outline.at(i) == QLatin1Char('@')) {
            const qsizetype start = ++i;
            while (i < n && !outline.at(i).isSpace() && outline.at(i) != QLatin1Char('}') && outline.at(i) != QLatin1Char('{'))
                ++i;
            href = outline.mid(start, i - start);
        }
        if (tag.isEmpty()) { ++i; continue; } // stray character
        if (i < n && outline.at(i) == QLatin1Char('{')) {
            ++i;
            doc->open(tag, cls, text, href);
        } else {
            doc->leaf(tag, cls, text, href);
        }
    }
    return doc;
}
