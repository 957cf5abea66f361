#pragma once
// The rows of the source list: one TFileItem per row, shown in seventeen
// columns of its fields and one of the output size the chosen preset is
// expected to give. The model owns the records; removing a row releases its
// record, moving a row moves it.
#include "tfileitem.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace marbeck {

// What a drag of a row within the list carries: which list it started in.
inline constexpr char kSourceRowMimeType[] = "application/x-ormolux-source-row";

// The column after the fields' columns: the expected output size.
inline constexpr int kEstimatedSizeColumn = kSourceColumnCount;
inline constexpr int kListColumnCount = kSourceColumnCount + 1;

// A source's duration times a preset's rate, in bytes; nothing without
// either (a preset aimed at a quality, a source of unknown length).
std::optional<qint64> EstimatedOutputBytes(const TFileItem &item,
                                           std::optional<qint64> bitsPerSecond);

class SourceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SourceListModel(QObject *parent = nullptr);
    ~SourceListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Rows dragged within the list and files dropped from the file manager.
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

    // Column captions left to right; the English ones until a language is applied.
    void setCaptions(const QStringList &captions);
    QStringList captions() const { return m_captions; }
    // The language the size column speaks; the library's own text until set.
    void setSizeLanguage(const QLocale &language);
    // What every row shows before its caption (the list's image 0).
    void setDecoration(const QVariant &decoration);
    // The chosen preset's fixed rate, which the estimated size column
    // multiplies by each source's duration; nothing blanks the column.
    void setOutputBitRate(std::optional<qint64> bitsPerSecond);

    int count() const { return int(m_items.size()); }
    const TFileItem &item(int row) const { return *m_items.at(row); }
    // True when a row's Directory + FileName is this path.
    bool containsPath(const QString &path) const;

    void append(TFileItem item);
    // Many records in one insertion.
    void append(std::vector<TFileItem> items);
    // Removes every listed row (any order, repeats allowed) and returns the
    // lowest index removed, or -1 when none was. Rows scattered over many
    // separate runs go in one reset, which drops the views' selection.
    int removeRowSet(QList<int> rows);
    void clear();
    // Moves a row so that it lands just before the row now at `before`;
    // `before` == count() moves it to the end.
    bool moveRowBefore(int from, int before);

    // The row of a source path: the first row whose caption equals the path's
    // file name without regard to case and whose chosen path (Directory +
    // FileName) equals the path exactly; -1 when there is none.
    int findSource(const QString &path) const;
    bool RemoveSourceItem(const QString &path);
    bool MoveSourceItemToEnd(const QString &path);

private:
    void forget(const TFileItem &item);

    std::vector<std::unique_ptr<TFileItem>> m_items;
    QHash<QString, int> m_pathCount;
    QStringList m_captions;
    QVariant m_decoration;
    std::optional<QLocale> m_sizeLanguage;
    std::optional<qint64> m_outputBitRate;
};

} // namespace marbeck
