#include "sourcelistmodel.h"

#include "shared/utilfuncs.h"

#include <algorithm>

namespace marbeck {

namespace {
constexpr int kCentredColumn = 1; // "Format"
constexpr int kSizeColumn = 3;    // "File Size"
constexpr qsizetype kMaxRemovedRuns = 64;

// The number of runs of neighbouring rows in a sorted list.
qsizetype runCount(const QList<int> &sortedRows)
{
    qsizetype runs = 0;
    for (qsizetype i = 0; i < sortedRows.size(); ++i) {
        if (i == 0 || sortedRows.at(i) != sortedRows.at(i - 1) + 1)
            ++runs;
    }
    return runs;
}

const QStringList &englishCaptions()
{
    static const QStringList captions = {
        QStringLiteral("File Name"),     QStringLiteral("Format"),
        QStringLiteral("Play Time"),     QStringLiteral("File Size"),
        QStringLiteral("Video Codec"),   QStringLiteral("Width"),
        QStringLiteral("Height"),        QStringLiteral("Video Bitrate"),
        QStringLiteral("Aspect Ratio"),  QStringLiteral("Frame Rate"),
        QStringLiteral("Audio Codec"),   QStringLiteral("Audio Bitrate"),
        QStringLiteral("Channels"),      QStringLiteral("Sampling Rate"),
        QStringLiteral("Audio Count"),   QStringLiteral("Video Count"),
        QStringLiteral("Complete Name"), QStringLiteral("Estimated Size"),
    };
    return captions;
}
} // namespace

std::optional<qint64> EstimatedOutputBytes(const TFileItem &item,
                                           std::optional<qint64> bitsPerSecond)
{
    bool isNumber = false;
    const double milliseconds = item.Duration.toDouble(&isNumber);
    if (!bitsPerSecond || !isNumber || milliseconds <= 0)
        return std::nullopt;
    return qint64(milliseconds / 1000 * double(*bitsPerSecond) / 8);
}

SourceListModel::SourceListModel(QObject *parent)
    : QAbstractTableModel(parent), m_captions(englishCaptions())
{
}

SourceListModel::~SourceListModel() = default;

int SourceListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int SourceListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : kListColumnCount;
}

QVariant SourceListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() || index.column() >= kListColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: { // the whole text where the column cuts it short
        const TFileItem &row = item(index.row());
        if (index.column() == kEstimatedSizeColumn) {
            const auto bytes = EstimatedOutputBytes(row, m_outputBitRate);
            return bytes ? SizeText(*bytes, m_sizeLanguage.value_or(QLocale())) : QString();
        }
        if (index.column() == kSizeColumn && m_sizeLanguage) {
            bool isNumber = false;
            const qint64 bytes = row.FileSize.toLongLong(&isNumber);
            if (isNumber)
                return SizeText(bytes, *m_sizeLanguage);
        }
        return row.*kSourceColumns[index.column()].field;
    }
    case Qt::DecorationRole: return index.column() == 0 ? m_decoration : QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == kCentredColumn)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        return {};
    default: return {};
    }
}

QVariant SourceListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return m_captions.value(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(
            section == kCentredColumn ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList SourceListModel::mimeTypes() const
{
    return {QString::fromLatin1(kSourceRowMimeType), QStringLiteral("text/uri-list")};
}

Qt::DropActions SourceListModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

void SourceListModel::setCaptions(const QStringList &captions)
{
    m_captions = captions;
    while (m_captions.size() < kListColumnCount)
        m_captions << englishCaptions().at(m_captions.size());
    emit headerDataChanged(Qt::Horizontal, 0, kListColumnCount - 1);
}

void SourceListModel::setSizeLanguage(const QLocale &language)
{
    m_sizeLanguage = language;
    if (count() > 0)
        emit dataChanged(index(0, kSizeColumn), index(count() - 1, kEstimatedSizeColumn));
}

void SourceListModel::setOutputBitRate(std::optional<qint64> bitsPerSecond)
{
    if (bitsPerSecond == m_outputBitRate)
        return;
    m_outputBitRate = bitsPerSecond;
    if (count() > 0)
        emit dataChanged(index(0, kEstimatedSizeColumn), index(count() - 1, kEstimatedSizeColumn));
}

void SourceListModel::setDecoration(const QVariant &decoration)
{
    m_decoration = decoration;
    if (count() > 0)
        emit dataChanged(index(0, 0), index(count() - 1, 0), {Qt::DecorationRole});
}

bool SourceListModel::containsPath(const QString &path) const
{
    return m_pathCount.value(path) > 0;
}

void SourceListModel::append(TFileItem item)
{
    std::vector<TFileItem> one;
    one.push_back(std::move(item));
    append(std::move(one));
}

void SourceListModel::append(std::vector<TFileItem> items)
{
    if (items.empty())
        return;
    const int first = count();
    beginInsertRows({}, first, first + int(items.size()) - 1);
    m_items.reserve(m_items.size() + items.size());
    for (TFileItem &item : items) {
        ++m_pathCount[item.path()];
        m_items.push_back(std::make_unique<TFileItem>(std::move(item)));
    }
    endInsertRows();
}

void SourceListModel::forget(const TFileItem &item)
{
    const auto it = m_pathCount.find(item.path());
    if (it != m_pathCount.end() && --*it <= 0)
        m_pathCount.erase(it);
}

int SourceListModel::removeRowSet(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](int row) { return row < 0 || row >= count(); }),
               rows.end());
    if (rows.isEmpty())
        return -1;
    if (runCount(rows) > kMaxRemovedRuns) {
        // Each removal notice costs the views a pass over their saved
        // indexes; for many scattered rows one reset is far cheaper.
        beginResetModel();
        qsizetype next = 0;
        std::vector<std::unique_ptr<TFileItem>> kept;
        kept.reserve(m_items.size() - rows.size());
        for (int row = 0; row < count(); ++row) {
            if (next < rows.size() && rows.at(next) == row) {
                forget(*m_items[row]);
                ++next;
            } else {
                kept.push_back(std::move(m_items[row]));
            }
        }
        m_items = std::move(kept);
        endResetModel();
        return rows.first();
    }
    // From the last run of neighbouring rows to the first, so that the
    // indexes still to come stay valid.
    qsizetype end = rows.size();
    while (end > 0) {
        qsizetype begin = end - 1;
        while (begin > 0 && rows.at(begin - 1) == rows.at(begin) - 1)
            --begin;
        const int first = rows.at(begin);
        const int last = rows.at(end - 1);
        beginRemoveRows({}, first, last);
        for (int row = first; row <= last; ++row)
            forget(*m_items[row]);
        m_items.erase(m_items.begin() + first, m_items.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
    return rows.first();
}

void SourceListModel::clear()
{
    if (m_items.empty())
        return;
    beginResetModel();
    m_items.clear();
    m_pathCount.clear();
    endResetModel();
}

bool SourceListModel::moveRowBefore(int from, int before)
{
    if (from < 0 || from >= count() || before < 0 || before > count())
        return false;
    if (before == from || before == from + 1)
        return true; // already there
    if (!beginMoveRows({}, from, from, {}, before))
        return false;
    auto moved = std::move(m_items[from]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + (before > from ? before - 1 : before), std::move(moved));
    endMoveRows();
    return true;
}

int SourceListModel::findSource(const QString &path) const
{
    const QString caption = orm::ExtractFileName(path);
    for (int row = 0; row < count(); ++row) {
        const TFileItem &it = item(row);
        if (it.FileName.compare(caption, Qt::CaseInsensitive) == 0 && it.path() == path)
            return row;
    }
    return -1;
}

bool SourceListModel::RemoveSourceItem(const QString &path)
{
    const int row = findSource(path);
    return row >= 0 && removeRowSet({row}) == row;
}

bool SourceListModel::MoveSourceItemToEnd(const QString &path)
{
    const int row = findSource(path);
    return row >= 0 && moveRowBefore(row, count());
}

} // namespace marbeck
