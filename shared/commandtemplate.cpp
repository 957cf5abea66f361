#include "commandtemplate.h"

#include "ini.h"
#include "utilfuncs.h"

#include <array>

namespace orm {

namespace {

enum class Quoting { None, Double, Single };

// Characters a shell word may hold without quotes.
bool isPlainWordChar(QChar c)
{
    if (c.unicode() >= 128)
        return false;
    const char a = char(c.unicode());
    return (a >= 'a' && a <= 'z') || (a >= 'A' && a <= 'Z') || (a >= '0' && a <= '9') ||
           QByteArrayView("_./-+,=@:").contains(a);
}

QString singleQuoted(const QString &value)
{
    QString out = value;
    out.replace(u'\'', QStringLiteral("'\\''"));
    return out;
}

QString escapedFor(Quoting quoting, const QString &value)
{
    switch (quoting) {
    case Quoting::Double: {
        QString out;
        out.reserve(value.size() + 8);
        for (const QChar c : value) {
            if (c == u'$' || c == u'`' || c == u'"' || c == u'\\')
                out += u'\\';
            out += c;
        }
        return out;
    }
    case Quoting::Single: return singleQuoted(value);
    case Quoting::None:
        if (std::all_of(value.begin(), value.end(), isPlainWordChar))
            return value;
        return u'\'' + singleQuoted(value) + u'\'';
    }
    return value;
}

} // namespace

bool IsCommandKey(const QString &keyName)
{
    return keyName.startsWith(u"Command");
}

std::array<Placeholder, 10> PlaceholdersOf(const PlaceholderValues &v)
{
    const QString sourceName =
        v.SourceName.isEmpty() ? RemoveFileExt(ExtractFileName(v.InputFile)) : v.SourceName;
    return {{
        {u"<%AppPath%>", v.AppPath},
        {u"<%TimeStamp%>", v.TimeStamp},
        {u"<%TemporaryFile%>", v.TemporaryFile},
        {u"<%Title%>", v.Title},
        {u"<%OutputFile%>", RemoveFileExt(v.OutputFile)},
        {u"<%OutputPath%>", v.OutputPath},
        {u"<%RandomNumber3%>", v.RandomNumber3},
        {u"<%RandomNumber5%>", v.RandomNumber5},
        {u"<%InputFile%>", v.InputFile},
        {u"<%SourceName%>", sourceName},
    }};
}

tl::expected<QString, QString> ExpandCommand(const QString &commandTemplate,
                                             const PlaceholderValues &v)
{
    const std::array<Placeholder, 10> placeholders = PlaceholdersOf(v);

    QString out;
    out.reserve(commandTemplate.size() + 256);
    Quoting quoting = Quoting::None;
    const qsizetype n = commandTemplate.size();
    for (qsizetype i = 0; i < n;) {
        const QStringView rest = QStringView(commandTemplate).sliced(i);
        bool replaced = false;
        if (rest.startsWith(u"<%")) {
            for (const auto &[name, value] : placeholders) {
                if (!rest.startsWith(name, Qt::CaseInsensitive))
                    continue;
                if (value.contains(u'\n') || value.contains(u'\r'))
                    return tl::unexpected(
                        QStringLiteral("The name \"%1\" holds a line break and cannot be "
                                       "passed to the encoder.")
                            .arg(QString(value).replace(u'\n', u' ').replace(u'\r', u' ')));
                out += escapedFor(quoting, value);
                i += name.size();
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        const QChar c = commandTemplate.at(i);
        out += c;
        ++i;
        if (c == u'\\' && quoting != Quoting::Single) {
            if (i < n)
                out += commandTemplate.at(i++);
        } else if (c == u'"' && quoting != Quoting::Single) {
            quoting = quoting == Quoting::Double ? Quoting::None : Quoting::Double;
        } else if (c == u'\'' && quoting != Quoting::Double) {
            quoting = quoting == Quoting::Single ? Quoting::None : Quoting::Single;
        }
    }
    return out;
}

tl::expected<QStringList, QString> ExpandPreset(const IniFile &profile, const QString &section,
                                                const PlaceholderValues &values)
{
    QStringList lines;
    for (const QString &key : profile.keyNames(section)) {
        if (!IsCommandKey(key))
            continue;
        auto line = ExpandCommand(profile.readString(section, key, {}), values);
        if (!line)
            return tl::unexpected(line.error());
        lines << *line;
    }
    return lines;
}

} // namespace orm
