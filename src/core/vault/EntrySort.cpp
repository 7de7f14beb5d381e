#include "core/vault/EntrySort.h"

#include "core/vault/CollationSort.h"
#include "core/vault/EntryStore.h"
#include "core/vault/VaultFormat.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <array>
#include <numeric>

namespace {

constexpr char16_t kNoSingleFold = 0xFFFF;

// From how many rows a sort goes by collation keys.
constexpr int kKeySortFrom = 8192;

// The case folding of the character of each enciphered byte, so a field folds as it is
// deciphered; characters that fold to more than one are marked and take the general route.
const std::array<char16_t, 256>& foldTable()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            const QString folded = vaultformat::decipheredText(QByteArray(1, static_cast<char>(b))).toCaseFolded();
            t[b] = folded.size() == 1 ? folded.at(0).unicode() : kNoSingleFold;
        }
        return t;
    }();
    return table;
}

// Appends the row's field, case-folded, as the list compares it. Called from two threads at once.
void appendFolded(const EntryStore& store, int row, int column, QString& out)
{
    if (store.keptAsIs(row)) {
        out.append(store.field(row, column).toCaseFolded());
        return;
    }
    const QByteArrayView bytes = store.storedField(row, column);
    const auto& fold = foldTable();
    const qsizetype at = out.size();
    out.resize(at + bytes.size());
    char16_t* to = reinterpret_cast<char16_t*>(out.data()) + at;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char16_t ch = fold[static_cast<unsigned char>(bytes[i])];
        if (ch == kNoSingleFold) {
            out.resize(at);
            out.append(vaultformat::decipheredText(bytes).toCaseFolded());
            return;
        }
        to[i] = ch;
    }
}

void foldedField(const EntryStore& store, int row, int column, QString& out)
{
    out.resize(0); // keeps the buffer of the previous row
    appendFolded(store, row, column, out);
}

} // namespace

EntrySort::EntrySort()
{
    // Case is folded before collating, since not every collation backend can ignore it.
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
}

bool EntrySort::change(const SortSettings& settings, int rowCount)
{
    const bool changed = !(settings == m_settings);
    m_settings = settings;
    return changed && m_settings.sorted && rowCount > 1;
}

std::vector<int> EntrySort::sortedOrder(const EntryStore& store) const
{
    const int count = store.count();
    std::vector<int> order(count);
    std::iota(order.begin(), order.end(), 0);
    if (count < 2)
        return order;
    if (m_collator.locale().language() == QLocale::C) {
        sortByKeys(store, order);
        return order;
    }
    // Keys pay off on long lists; on short ones comparing the texts is quicker. The order is the same.
    std::vector<int> sorted;
    if (count >= kKeySortFrom)
        sorted = collationsort::sort(
            m_collator, count,
            [&store, column = m_settings.column](int row, QString& out) { foldedField(store, row, column, out); },
            m_settings.order);
    if (sorted.empty())
        sortByText(store, order);
    else
        order = std::move(sorted);
    return order;
}

int EntrySort::insertPosition(const EntryStore& store, const Entry& entry) const
{
    if (!m_settings.sorted)
        return store.count();
    const QString key = EntryStore::field(entry, m_settings.column).toCaseFolded();
    QString other;
    // After all equal rows, so equal rows keep the order in which they came.
    const auto less = [&](int row) {
        foldedField(store, row, m_settings.column, other);
        const int c = m_collator.compare(key, other);
        return m_settings.order == Qt::AscendingOrder ? c < 0 : c > 0;
    };
    int lo = 0;
    int hi = store.count();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (less(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int EntrySort::compare(const Entry& a, const Entry& b, int column) const
{
    return m_collator.compare(EntryStore::field(a, column).toCaseFolded(), EntryStore::field(b, column).toCaseFolded());
}

// The C locale's collation keys are the text's bytes, which its comparison does not follow
// everywhere: there the keys decide, as they always did.
void EntrySort::sortByKeys(const EntryStore& store, std::vector<int>& order) const
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(order.size());
    QString folded;
    for (int row = 0; row < store.count(); ++row) {
        foldedField(store, row, m_settings.column, folded);
        keys.push_back(m_collator.sortKey(folded));
    }
    if (m_settings.order == Qt::AscendingOrder)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) > 0; });
}

// Elsewhere the collator compares text exactly as its keys would, and keys cost far more
// memory than the text: the column's folded text is compared directly. Only an empty text
// needs care, which the collator puts before all others while its key equals that of text
// made of ignorable characters alone.
void EntrySort::sortByText(const EntryStore& store, std::vector<int>& order) const
{
    const int n = store.count();
    const int column = m_settings.column;
    qsizetype chars = 0;
    for (int row = 0; row < n; ++row)
        chars += store.keptAsIs(row) ? 0 : store.storedField(row, column).size();
    QString texts;
    texts.reserve(chars);
    std::vector<qsizetype> starts(n + 1);
    for (int row = 0; row < n; ++row) {
        appendFolded(store, row, column, texts);
        starts[row + 1] = texts.size();
    }
    const char16_t* text = reinterpret_cast<const char16_t*>(texts.constData());
    const auto view = [&](int row) { return QStringView(text + starts[row], starts[row + 1] - starts[row]); };
    const QCollatorSortKey emptyKey = m_collator.sortKey(QString());
    std::vector<signed char> ignorable(n, -1); // found out when first needed
    const auto collatesEmpty = [&](int row) {
        if (ignorable[row] < 0)
            ignorable[row] = static_cast<signed char>(view(row).isEmpty() ||
                                                      m_collator.sortKey(view(row).toString()).compare(emptyKey) == 0);
        return ignorable[row] == 1;
    };
    const auto compare = [&](int a, int b) {
        const QStringView x = view(a);
        const QStringView y = view(b);
        if (!x.isEmpty() && !y.isEmpty())
            return m_collator.compare(x, y);
        const bool xEmpty = collatesEmpty(a);
        const bool yEmpty = collatesEmpty(b);
        return xEmpty == yEmpty ? 0 : xEmpty ? -1 : 1;
    };
    if (m_settings.order == Qt::AscendingOrder)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) < 0; });
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(a, b) > 0; });
}
