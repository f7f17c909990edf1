#pragma once
// The page as the result-page reader sees it: elements addressed by their
// position in document order, with the few properties the reader uses.
// A browser pane fills a SnapshotDocument from one script call; tests build
// one by hand. Reading never goes back to the page; only click() does.
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class Document {
public:
    static constexpr int Root = -1; // the document itself, as the scope of a search

    virtual ~Document() = default;

    // Descendants of `within` with this tag name (lower case: "div", "a"), in
    // document order.
    virtual QList<int> getElementsByTagName(const QString &tag, int within = Root) const = 0;
    // Every link of the top-level document (anchors with an href), in order.
    virtual QList<int> links() const = 0;

    // Properties of one element; an index out of range reads as empty.
    virtual QString tagName(int element) const = 0;
    virtual QString className(int element) const = 0; // the class attribute as written
    virtual QString innerText(int element) const = 0; // rendered text
    virtual QString href(int element) const = 0;      // absolute URL, "" when none
    virtual bool isHidden(int element) const = 0;     // not rendered (display, visibility, hidden)
    virtual bool isDisabled(int element) const = 0;

    // Acts as a user's click on the element in the page. False when the page
    // can no longer be reached.
    virtual bool click(int element) const = 0;
};

using DocumentPtr = std::shared_ptr<const Document>;

// A document held in memory: what one read of a page returned, or what a
// test assembled with open()/leaf()/close().
class SnapshotDocument : public Document {
public:
    struct Element {
        QString tag;
        QString className;
        QString text;
        QString href;
        int end = 0; // one past the last descendant
        bool hidden = false;
        bool disabled = false;
        bool link = false; // one of the top-level document's links
    };

    SnapshotDocument() = default;

    // The JSON the page script returns: {"e": [[tag, class, text, href, end,
    // flags], ...]} with flags 1 = hidden, 2 = disabled, 4 = top-level link.
    // Null when the text is not such a snapshot.
    static std::shared_ptr<SnapshotDocument> fromJson(const QByteArray &json);

    // Builder: open() starts an element that later elements go into until
    // close(); leaf() adds one without children. An `a` with an href counts
    // as a link. Each returns the new element's index.
    int open(const QString &tag, const QString &className = {}, const QString &text = {}, const QString &href = {});
    int leaf(const QString &tag, const QString &className = {}, const QString &text = {}, const QString &href = {});
    void close();
    Element &element(int index) { return m_elements[index]; }
    int size() const { return int(m_elements.size()); }

    // Where click() goes: the browser side runs one script for the index.
    void setClickHandler(std::function<bool(int)> handler) { m_click = std::move(handler); }

    QList<int> getElementsByTagName(const QString &tag, int within = Root) const override;
    QList<int> links() const override;
    QString tagName(int element) const override;
    QString className(int element) const override;
    QString innerText(int element) const override;
    QString href(int element) const override;
    bool isHidden(int element) const override;
    bool isDisabled(int element) const override;
    bool click(int element) const override;

private:
    const Element *at(int index) const;
    void buildIndex() const;

    QList<Element> m_elements;
    QList<int> m_openStack;
    std::function<bool(int)> m_click;
    // Per tag, the indices of its elements in ascending order, built on first
    // use, so a search inside one element is two binary searches.
    mutable QHash<QString, QList<int>> m_byTag;
    mutable bool m_indexed = false;
};
