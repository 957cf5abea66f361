#include "ini.h"

#include "error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "utilfuncs.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace orm {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

QByteArray trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toByteArray();
}

// Everything up to the first zero byte: the file's text as a C string sees it.
QByteArrayView untilZero(QByteArrayView text)
{
    const qsizetype zero = text.indexOf('\0');
    return zero < 0 ? text : text.first(zero);
}

QByteArray nameBytes(QStringView name)
{
    return trimmed(name.toUtf8());
}

QString decode(QByteArrayView bytes)
{
    return QString::fromStdString(
        platform::decodeText(std::string_view(bytes.data(), size_t(bytes.size()))));
}

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QByteArray lineSafe(const QString &value)
{
    QByteArray bytes = value.toUtf8();
    bytes.removeIf([](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return bytes;
}

QStringList limitedNameList(const QList<QByteArray> &names)
{
    QStringList out;
    qsizetype budget = IniFile::kNameListBytes - 1; // the list's final terminator
    for (const QByteArray &name : names) {
        if (name.size() + 1 <= budget) {
            out << decode(name);
            budget -= name.size() + 1;
        } else {
            if (budget > 1)
                out << decode(name.first(budget - 1));
            break;
        }
    }
    return out;
}

} // namespace

IniFile::IniFile(const QString &path)
{
    m_path = QString::fromStdString(platform::resolveCaseInsensitive(path.toStdString()));
    // A FIFO, a device or a folder is no data file: it counts as missing.
    if (const auto bytes = platform::readRegularFile(QFile::encodeName(m_path).toStdString())) {
        m_exists = true;
        load(QByteArray::fromStdString(*bytes));
    }
}

IniFile IniFile::fromBytes(const QByteArray &bytes, const QString &path)
{
    IniFile ini;
    ini.m_path = path;
    ini.m_exists = true;
    ini.load(bytes);
    return ini;
}

void IniFile::load(const QByteArray &raw)
{
    QByteArray bytes = raw;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_byteOrderMark = true;
        bytes.remove(0, 3);
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        // A file saved as UTF-16 by a Windows editor; kept as UTF-8 from here on.
        auto decoder = QStringDecoder(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                                   : QStringDecoder::Utf16BE);
        bytes = QString(decoder(QByteArrayView(bytes).sliced(2))).toUtf8();
    }

    m_lines.clear();
    bool lineEndSeen = false;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        m_lines << bytes.mid(start, i - start);
        const bool crlf = c == '\r' && i + 1 < n && bytes[i + 1] == '\n';
        if (!lineEndSeen) {
            m_lineEnd = crlf ? "\r\n" : QByteArray(1, c);
            lineEndSeen = true;
        }
        if (crlf)
            ++i;
        start = i + 1;
    }
    if (start < n)
        m_lines << bytes.mid(start);
    parse();
}

void IniFile::parse()
{
    m_sections.clear();
    Section *current = nullptr;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArrayView line = untilZero(m_lines[i]);
        qsizetype p = 0;
        while (p < line.size() && isBlank(line[p]))
            ++p;
        if (p == line.size())
            continue;
        if (line[p] == '[') {
            const QByteArrayView rest = line.sliced(p + 1);
            const qsizetype close = rest.lastIndexOf(']');
            m_sections.append({trimmed(close < 0 ? rest : rest.first(close)), i, i, {}});
            current = &m_sections.last();
            continue;
        }
        if (line[p] == ';' || !current)
            continue;
        const qsizetype eq = line.indexOf('=', p);
        if (eq < 0)
            continue;
        QByteArray name = trimmed(line.sliced(p, eq - p));
        if (name.isEmpty())
            continue;
        current->keys.append({std::move(name), i, eq + 1});
        current->lastKeyLine = i;
    }
}

const IniFile::Section *IniFile::findSection(QStringView section) const
{
    const QByteArray wanted = nameBytes(section);
    for (const Section &s : m_sections) {
        if (sameName(s.name, wanted))
            return &s;
    }
    return nullptr;
}

const IniFile::Key *IniFile::findKey(QStringView section, QStringView key) const
{
    const Section *s = findSection(section);
    if (!s)
        return nullptr;
    const QByteArray wanted = nameBytes(key);
    for (const Key &k : s->keys) {
        if (sameName(k.name, wanted))
            return &k;
    }
    return nullptr;
}

QString IniFile::readString(QStringView section, QStringView key, const QString &def) const
{
    const Key *k = findKey(section, key);
    if (!k)
        return def;
    const QByteArrayView line = untilZero(m_lines[k->line]);
    QByteArray value = trimmed(line.sliced(k->valueStart));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    QString text = decode(value);
    if (text.size() > kValueLimit)
        text.truncate(kValueLimit);
    return text;
}

qint32 IniFile::readInteger(QStringView section, QStringView key, qint32 def) const
{
    if (!findKey(section, key))
        return def;
    return ParseInteger(readString(section, key, {})).value_or(def);
}

bool IniFile::readBool(QStringView section, QStringView key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

QStringList IniFile::sectionNames() const
{
    QList<QByteArray> names;
    for (const Section &s : m_sections)
        names << s.name;
    return limitedNameList(names);
}

QStringList IniFile::keyNames(QStringView section) const
{
    QList<QByteArray> names;
    if (const Section *s = findSection(section)) {
        for (const Key &k : s->keys)
            names << k.name;
    }
    return limitedNameList(names);
}

QStringList IniFile::sectionValues(QStringView section) const
{
    QStringList out;
    for (const QString &name : keyNames(section))
        out << name + u'=' + readString(section, name, {});
    return out;
}

bool IniFile::hasSection(QStringView section) const
{
    return findSection(section) != nullptr;
}

bool IniFile::writeString(QStringView section, QStringView key, const QString &value)
{
    // A line break would end the value early, and a changed value may name a
    // different file: such a value is refused whole.
    if (value.contains(u'\n') || value.contains(u'\r') || value.contains(QChar(0)))
        return false;
    const QByteArray valueBytes = lineSafe(value);
    if (const Key *k = findKey(section, key)) {
        m_lines[k->line] = m_lines[k->line].left(k->valueStart) + valueBytes;
    } else {
        const QByteArray line = lineSafe(key.toString()) + '=' + valueBytes;
        if (const Section *s = findSection(section)) {
            m_lines.insert(s->lastKeyLine + 1, line);
        } else {
            if (!m_lines.isEmpty() && !trimmed(m_lines.last()).isEmpty())
                m_lines << QByteArray();
            m_lines << '[' + lineSafe(section.toString()) + ']' << line;
        }
    }
    parse();
    return true;
}

void IniFile::writeInteger(QStringView section, QStringView key, qint32 value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(QStringView section, QStringView key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::toBytes() const
{
    QByteArray out;
    if (m_byteOrderMark)
        out += "\xEF\xBB\xBF";
    for (const QByteArray &line : m_lines)
        out += line + m_lineEnd;
    return out;
}

void IniFile::save() const
{
    QSaveFile file(m_path);
    const QByteArray bytes = toBytes();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Unable to write to %1").arg(m_path));
}

} // namespace orm
