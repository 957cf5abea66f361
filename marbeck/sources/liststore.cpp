#include "liststore.h"

#include "platform/jobrecord.h"
#include "platform/processes.h"
#include "sourcelistmodel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <optional>

namespace marbeck {

namespace {

constexpr QLatin1StringView kMagic("ormolux-list ");
constexpr int kVersion = 2;
// A saved list is read whole; anything larger is not one of ours.
constexpr qint64 kMaxListBytes = 256LL * 1024 * 1024;

// The fields of a row in the order the file holds them. Never reordered: a
// change here is a new version. Version 1 held all but the last (Duration).
constexpr std::array<QString TFileItem::*, 20> kFields = {
    &TFileItem::Directory,    &TFileItem::FileName,     &TFileItem::CompleteName,
    &TFileItem::FileSize,     &TFileItem::FileSizeText, &TFileItem::Format,
    &TFileItem::PlayTime,     &TFileItem::AudioCount,   &TFileItem::VideoCount,
    &TFileItem::VideoCodec,   &TFileItem::Width,        &TFileItem::Height,
    &TFileItem::VideoBitRate, &TFileItem::AspectRatio,  &TFileItem::FrameRate,
    &TFileItem::AudioCodec,   &TFileItem::AudioBitRate, &TFileItem::Channels,
    &TFileItem::SamplingRate, &TFileItem::Duration,
};
constexpr qsizetype kVersion1Fields = 19;

// Tabs part the fields and line breaks the rows, so a name holding either
// (legal on this platform) is escaped. Most fields hold none of them and go
// in whole.
bool isSpecial(QChar c)
{
    return c == u'\\' || c == u'\t' || c == u'\n' || c == u'\r';
}

void appendEscaped(QString &out, const QString &field)
{
    if (std::none_of(field.cbegin(), field.cend(), isSpecial)) {
        out += field;
        return;
    }
    for (const QChar c : field) {
        switch (c.unicode()) {
        case u'\\': out += QLatin1StringView("\\\\"); break;
        case u'\t': out += QLatin1StringView("\\t"); break;
        case u'\n': out += QLatin1StringView("\\n"); break;
        case u'\r': out += QLatin1StringView("\\r"); break;
        default: out += c;
        }
    }
}

QString listHeader(qsizetype rows)
{
    QString text;
    text.reserve(rows * 200 + 64);
    text += kMagic;
    text += QString::number(kVersion);
    text += u'\n';
    return text;
}

void appendRow(QString &text, const TFileItem &item, ListRowState state)
{
    text += QChar(char16_t(state));
    for (const auto field : kFields) {
        text += u'\t';
        appendEscaped(text, item.*field);
    }
    text += u'\n';
}

QByteArray listEnd(QString &text, qsizetype rows)
{
    text += QLatin1StringView("end ") + QString::number(rows) + u'\n';
    return text.toUtf8();
}

std::optional<QString> unescaped(QStringView field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != u'\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return std::nullopt;
        switch (field[i].unicode()) {
        case u'\\': out += u'\\'; break;
        case u't': out += u'\t'; break;
        case u'n': out += u'\n'; break;
        case u'r': out += u'\r'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

bool isState(QChar c)
{
    return c == u'W' || c == u'R' || c == u'F' || c == u'S';
}

// path, then path.damaged, path.damaged-2, ...: the first name not taken.
QString setAsideName(const QString &path)
{
    QString name = path + QLatin1StringView(".damaged");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = path + QLatin1StringView(".damaged-") + QString::number(n);
    return name;
}

QByteArray lockText(qint64 pid)
{
    const auto start = orm::platform::processStartTime(int(pid));
    return QByteArray::number(pid) + ' ' + QByteArray::number(qulonglong(start.value_or(0))) + '\n';
}

} // namespace

QByteArray SerializeList(const std::vector<SavedRow> &rows)
{
    QString text = listHeader(qsizetype(rows.size()));
    for (const SavedRow &row : rows)
        appendRow(text, row.item, row.state);
    return listEnd(text, qsizetype(rows.size()));
}

tl::expected<std::vector<SavedRow>, QString> ParseList(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return tl::unexpected(QStringLiteral("binary data, not a saved list"));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return tl::unexpected(QStringLiteral("not UTF-8 text, not a saved list"));
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    const QStringView header = lines.value(0);
    if (!header.startsWith(kMagic))
        return tl::unexpected(QStringLiteral("not a saved list"));
    const QStringView version = header.mid(kMagic.size());
    if (version != QString::number(kVersion) && version != u"1")
        return tl::unexpected(
            QStringLiteral("a saved list of another version (%1)").arg(version.left(20)));
    const qsizetype fieldCount = version == u"1" ? kVersion1Fields : qsizetype(kFields.size());
    // Every line ends with a line break, so the last piece is empty.
    if (lines.size() < 3 || !lines.last().isEmpty())
        return tl::unexpected(QStringLiteral("cut off: no end line"));
    const QStringView end = lines.at(lines.size() - 2);
    bool countOk = false;
    const qsizetype count =
        end.startsWith(u"end ") ? end.mid(4).toLongLong(&countOk) : qsizetype(-1);
    if (!countOk || count != lines.size() - 3)
        return tl::unexpected(QStringLiteral("cut off: the end line does not match the rows"));

    std::vector<SavedRow> rows;
    rows.reserve(count);
    for (qsizetype i = 1; i <= count; ++i) {
        const QList<QStringView> fields = lines.at(i).split(u'\t');
        if (fields.size() != fieldCount + 1 || fields.at(0).size() != 1 ||
            !isState(fields.at(0).at(0)))
            return tl::unexpected(QStringLiteral("row %1 is damaged").arg(i));
        SavedRow row;
        row.state = ListRowState(fields.at(0).at(0).toLatin1());
        for (qsizetype f = 0; f < fieldCount; ++f) {
            auto value = unescaped(fields.at(f + 1));
            if (!value)
                return tl::unexpected(QStringLiteral("row %1 is damaged").arg(i));
            row.item.*kFields[size_t(f)] = std::move(*value);
        }
        if (row.item.FileName.isEmpty())
            return tl::unexpected(QStringLiteral("row %1 names no file").arg(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

ListStore::ListStore(SourceListModel &model, QString path, QObject *parent)
    : QObject(parent), m_model(model), m_path(std::move(path))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(kSaveDelayMs);
    connect(&m_timer, &QTimer::timeout, this, &ListStore::flush);
    connect(&model, &QAbstractItemModel::rowsInserted, this, &ListStore::changed);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, &ListStore::changed);
    connect(&model, &QAbstractItemModel::rowsMoved, this, &ListStore::changed);
    connect(&model, &QAbstractItemModel::modelReset, this, &ListStore::changed);
}

ListStore::~ListStore()
{
    flush();
}

ListStore::Restored ListStore::restore(const std::function<bool(const QString &)> &exists)
{
    Restored result;
    QFile file(m_path);
    if (!file.exists())
        return result;
    QByteArray bytes;
    tl::expected<std::vector<SavedRow>, QString> parsed;
    if (file.size() > kMaxListBytes)
        parsed = tl::unexpected(QStringLiteral("too large for a saved list"));
    else if (!file.open(QIODevice::ReadOnly))
        parsed = tl::unexpected(file.errorString());
    else
        parsed = ParseList(file.readAll());
    file.close();
    if (!parsed) {
        result.damage = parsed.error();
        // Kept for the user to look at, and out of the way of the next save.
        const QString aside = setAsideName(m_path);
        if (QFile::rename(m_path, aside))
            result.setAsideAs = aside;
        return result;
    }

    const auto isThere =
        exists ? exists : [](const QString &path) { return QFileInfo(path).isFile(); };
    std::vector<TFileItem> items;
    QSet<QString> taken;
    // Rows whose job was running come first, as after "Stop now", then the rest.
    for (const bool interrupted : {true, false}) {
        for (SavedRow &row : *parsed) {
            if ((row.state == ListRowState::Running) != interrupted)
                continue;
            const QString path = row.item.path();
            if (m_model.containsPath(path) || taken.contains(path))
                continue;
            if (!isThere(path)) {
                result.dropped << path;
                continue;
            }
            taken.insert(path);
            if (row.state != ListRowState::Waiting)
                m_states.insert(path, interrupted ? ListRowState::Stopped : row.state);
            items.push_back(std::move(row.item));
        }
    }
    result.rows = int(items.size());
    m_model.append(std::move(items));
    if (!result.dropped.isEmpty())
        changed(); // the file still holds them
    return result;
}

void ListStore::setRowState(const QString &source, ListRowState state)
{
    if (state == ListRowState::Waiting)
        m_states.remove(source);
    else
        m_states.insert(source, state);
    changed();
}

ListRowState ListStore::rowState(const QString &source) const
{
    return m_states.value(source, ListRowState::Waiting);
}

void ListStore::setSaving(bool on)
{
    m_saving = on;
    if (!on) {
        m_timer.stop();
        m_pending = false;
    }
}

void ListStore::changed()
{
    if (!m_saving)
        return;
    m_pending = true;
    // Not restarted by later changes: a long run of additions is still
    // written every moment, not only once it ends.
    if (!m_timer.isActive())
        m_timer.start();
}

void ListStore::forgetGoneRows()
{
    for (auto it = m_states.begin(); it != m_states.end();) {
        if (m_model.containsPath(it.key()))
            ++it;
        else
            it = m_states.erase(it);
    }
}

bool ListStore::flush()
{
    m_timer.stop();
    if (!m_pending || !m_saving)
        return true;
    m_pending = false;
    forgetGoneRows();
    QSaveFile file(m_path);
    // Straight from the model: copying 10,000 records first costs more than the text.
    QString text = listHeader(m_model.count());
    for (int row = 0; row < m_model.count(); ++row) {
        const TFileItem &item = m_model.item(row);
        appendRow(text, item, m_states.isEmpty() ? ListRowState::Waiting : rowState(item.path()));
    }
    const QByteArray bytes = listEnd(text, m_model.count());
    const bool saved =
        file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved && !m_failureTold) {
        m_failureTold = true;
        emit saveFailed(m_path);
    }
    return saved;
}

void ListStore::removeFile()
{
    setSaving(false);
    QFile::remove(m_path);
}

ListLock::ListLock(QString path) : m_path(std::move(path)) {}

ListLock::~ListLock()
{
    release();
}

bool ListLock::acquire()
{
    if (m_held)
        return true;
    const qint64 self = QCoreApplication::applicationPid();
    const QByteArray mine = lockText(self);
    for (int attempt = 0; attempt < 3; ++attempt) {
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_held = file.write(mine) == mine.size() && file.flush();
            return true;
        }
        if (!file.exists())
            return true; // nowhere to write: nobody holds a list here
        QByteArray text;
        if (file.open(QIODevice::ReadOnly))
            text = file.read(64);
        file.close();
        const QList<QByteArray> parts = text.trimmed().split(' ');
        bool pidOk = false, startOk = false;
        const qint64 pid = parts.value(0).toLongLong(&pidOk);
        const qint64 start = parts.value(1).toLongLong(&startOk);
        if (pidOk && startOk && pid > 0 && orm::platform::sameProcess(int(pid), start)) {
            m_holder = pid;
            return false;
        }
        // The holder is gone: its record is replaced whole, and read back in
        // case another program starting at this moment did the same.
        QSaveFile replacement(m_path);
        if (replacement.open(QIODevice::WriteOnly) && replacement.write(mine) == mine.size() &&
            replacement.commit()) {
            QFile check(m_path);
            if (check.open(QIODevice::ReadOnly) && check.read(64) == mine) {
                m_held = true;
                return true;
            }
        }
    }
    return false;
}

void ListLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    QFile file(m_path);
    // Only a record that is still ours goes.
    if (file.open(QIODevice::ReadOnly) &&
        file.read(64) == lockText(QCoreApplication::applicationPid())) {
        file.close();
        file.remove();
    }
}

} // namespace marbeck
