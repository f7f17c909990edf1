#include "search/document.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

std::shared_ptr<SnapshotDocument> SnapshotDocument::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return nullptr;
    const QJsonValue list = doc.object().value(QLatin1String("e"));
    if (!list.isArray())
        return nullptr;
    auto snapshot = std::make_shared<SnapshotDocument>();
    const QJsonArray rows = list.toArray();
    const int count = int(rows.size());
    snapshot->m_elements.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QJsonArray row = rows.at(i).toArray();
        Element e;
        e.tag = row.at(0).toString().toLower();
        e.className = row.at(1).toString();
        e.text = row.at(2).toString();
        e.href = row.at(3).toString();
        // A damaged end never reaches outside the list or before the element.
        e.end = std::clamp(row.at(4).toInt(i + 1), i + 1, count);
        const int flags = row.at(5).toInt();
        e.hidden = flags & 1;
        e.disabled = flags & 2;
        e.link = flags & 4;
        snapshot->m_elements.append(std::move(e));
    }
    return snapshot;
}

int SnapshotDocument::open(const QString &tag, const QString &className, const QString &text, const QString &href)
{
    const int index = leaf(tag, className, text, href);
    m_openStack.append(index);
    return index;
}

int SnapshotDocument::leaf(const QString &tag, const QString &className, const QString &text, const QString &href)
{
    Element e;
    e.tag = tag.toLower();
    e.className = className;
    e.text = text;
    e.href = href;
    e.link = e.tag == QLatin1String("a") && !href.isEmpty();
    const int index = int(m_elements.size());
    e.end = index + 1;
    m_elements.append(std::move(e));
    for (int open : std::as_const(m_openStack))
        m_elements[open].end = index + 1;
    m_indexed = false;
    return index;
}

void SnapshotDocument::close()
{
    if (!m_openStack.isEmpty())
        m_openStack.removeLast();
}

void SnapshotDocument::buildIndex() const
{
    if (m_indexed)
        return;
    m_byTag.clear();
    for (int i = 0; i < m_elements.size(); ++i)
        m_byTag[m_elements[i].tag].append(i);
    m_indexed = true;
}

QList<int> SnapshotDocument::getElementsByTagName(const QString &tag, int within) const
{
    buildIndex();
    const auto it = m_byTag.constFind(tag.toLower());
    if (it == m_byTag.constEnd())
        return {};
    const QList<int> &all = it.value();
    if (within == Root)
        return all;
    const Element *scope = at(within);
    if (!scope)
        return {};
    const auto first = std::upper_bound(all.begin(), all.end(), within);
    const auto last = std::lower_bound(first, all.end(), scope->end);
    return QList<int>(first, last);
}

QList<int> SnapshotDocument::links() const
{
    QList<int> result;
    for (int i = 0; i < m_elements.size(); ++i)
        if (m_elements[i].link)
            result.append(i);
    return result;
}

const SnapshotDocument::Element *SnapshotDocument::at(int index) const
{
    return index >= 0 && index < m_elements.size() ? &m_elements[index] : nullptr;
}

QString SnapshotDocument::tagName(int element) const { const Element *e = at(element); return e ? e->tag : QString(); }
QString SnapshotDocument::className(int element) const { const Element *e = at(element); return e ? e->className : QString(); }
QString SnapshotDocument::innerText(int element) const { const Element *e = at(element); return e ? e->text : QString(); }
QString SnapshotDocument::href(int element) const { const Element *e = at(element); return e ? e->href : QString(); }
bool SnapshotDocument::isHidden(int element) const { const Element *e = at(element); return e && e->hidden; }
bool SnapshotDocument::isDisabled(int element) const { const Element *e = at(element); return e && e->disabled; }

bool SnapshotDocument::click(int element) const
{
    return at(element) && m_click && m_click(element);
}
