#pragma once
#include "core/vault/Entry.h"
#include "core/vault/VaultFormat.h"

#include <vector>

// The entries while the program runs, in the list's order: a sort (EntrySort) reorders the rows
// themselves, so a save writes them as shown. Each row carries an identity that survives sorting. Rows are kept
// in one buffer as the file's lines, still enciphered, so a large list costs little more memory
// than its file; an entry the code page cannot hold is kept as it is.
class EntryStore {
public:
    int count() const { return static_cast<int>(m_rows.size()); }
    Entry at(int row) const;
    QString field(int row, int column) const;
    static QString field(const Entry& entry, int column);
    // The cell's text: a field longer than a screen is cut, so that a damaged file with a line of
    // megabytes does not make the list measure all of it; commands use field() and the whole text.
    QString shownField(int row, int column) const;
    static constexpr qsizetype kShownCharacters = 1000;
    // Text cut as shownField cuts it, for the other places that show a field.
    static QString shownText(const QString& text);
    quint64 idAt(int row) const { return m_ids.empty() ? m_firstId + row : m_ids[row]; }
    int rowOfId(quint64 id) const;      // -1 when that entry is gone
    std::vector<Entry> entries() const; // a copy of every row

    void insert(int row, const Entry& entry);
    void replaceAll(const std::vector<Entry>& entries);
    // Takes over a file's bytes as the rows' storage, in the file's order.
    void replaceAll(vaultformat::FileLines file);
    void setEntry(int row, const Entry& entry);
    void remove(int row);

    // Element i is the row that goes to place i.
    void reorder(const std::vector<int>& order);

    // An entry the code page cannot hold (or too long for the buffer) is kept as it is; the
    // others' fields lie in the buffer as the file has them, enciphered.
    bool keptAsIs(int row) const;
    QByteArrayView storedField(int row, int column) const;

    // Adds every row, in list order, to a file being written; fileSize() sizes its buffer.
    void writeTo(vaultformat::FileWriter& writer) const;
    qsizetype fileSize() const; // in bytes, the entry lines alone

private:
    using Span = vaultformat::EntrySpan;

    Span store(const Entry& entry);
    void release(const Span& span);
    void compactIfWasteful();
    void relayText();
    bool isKeptAsIs(const Span& span) const { return span.sizes[0] == vaultformat::kOversized; }
    QByteArrayView bytesOf(const Span& span, int column) const;
    void ensureIds();
    void writeRows(vaultformat::FileWriter& writer, qsizetype from, qsizetype to) const; // rows [from, to)

    QByteArray m_text;         // the rows' lines as the file has them, and some unused
    qsizetype m_usedBytes = 0; // bytes of m_text that rows still point at
    vaultformat::SpanList m_rows;
    std::vector<Entry> m_keptAsIs; // entries a span cannot hold, indexed by their span's start

    // Each row's identity; while rows keep the order they were loaded in, it is m_firstId + row
    // and this stays empty.
    std::vector<quint64> m_ids;
    quint64 m_firstId = 1;
    quint64 m_nextId = 1;
};
