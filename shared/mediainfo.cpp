#include "mediainfo.h"

#include "error.h"

#include <type_traits>

#ifndef _WIN32
#include <clocale>
#include <cstring>
#include <langinfo.h>
#endif

namespace orm {

namespace {

constexpr int kInfoText = 1;
constexpr int kSearchByName = 0;

#ifndef _WIN32
// The ANSI interface converts names and texts by the C library's character
// type. Qt programs run with a UTF-8 one; a bare test or tool may still be in
// the "C" locale, where any non-ASCII file name would fail to open.
void ensureUtf8CharacterType()
{
    const char *codeset = nl_langinfo(CODESET);
    if (codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0))
        return;
    if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
        std::setlocale(LC_CTYPE, "C.utf8");
}
#endif

// Names and texts cross the ANSI interface in the C library's character
// set: UTF-8 here (see above), the ANSI code page on Windows.
#ifdef _WIN32
QByteArray text(const QString &s)
{
    return s.toLocal8Bit();
}
QString fromLibrary(const char *s)
{
    return s ? QString::fromLocal8Bit(s) : QString();
}
#else
QByteArray text(const QString &s)
{
    return s.toUtf8();
}
QString fromLibrary(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}
#endif

} // namespace

MediaInfoLibrary::MediaInfoLibrary(const char *moduleName)
{
    const QString name = QString::fromLatin1(moduleName);
    const QString install = QStringLiteral("Install the package %1 and start the program again.")
                                .arg(QString::fromLatin1(kMediaInfoPackage));
    std::string loadError;
    m_module = orm::platform::Module::load(moduleName, loadError);
    if (!m_module.loaded()) {
        m_error = QStringLiteral("The MediaInfo library (%1) cannot be loaded: %2\n\n%3")
                      .arg(name, QString::fromLocal8Bit(loadError), install);
        return;
    }
    const auto bind = [&](auto &fn, const char *entry) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(m_module.symbol(entry));
        if (!fn && !m_error)
            m_error = QStringLiteral("The MediaInfo library (%1) has no entry point %2.\n\n%3")
                          .arg(name, QString::fromLatin1(entry), install);
    };
    bind(m_new, "MediaInfoA_New");
    bind(m_open, "MediaInfoA_Open");
    bind(m_get, "MediaInfoA_Get");
    bind(m_option, "MediaInfoA_Option");
    bind(m_inform, "MediaInfoA_Inform");
    bind(m_close, "MediaInfoA_Close");
    bind(m_delete, "MediaInfoA_Delete");
    if (m_error) {
        m_module.close();
        return;
    }
#ifndef _WIN32
    ensureUtf8CharacterType();
#endif
}

MediaInfoLibrary::~MediaInfoLibrary() = default;

const MediaInfoLibrary &MediaInfoLibrary::shared()
{
    static const MediaInfoLibrary library;
    return library;
}

QString MediaInfoLibrary::option(const QString &name, const QString &value) const
{
    if (!isLoaded())
        return {};
    return fromLibrary(m_option(nullptr, text(name).constData(), text(value).constData()));
}

std::optional<QString> loadError()
{
    return MediaInfoLibrary::shared().loadError();
}

MediaInfoFile::MediaInfoFile(const QString &path, const MediaInfoLibrary &library)
    : m_library(library)
{
    if (!library.isLoaded())
        throw orm::Error(*library.loadError());
    m_handle = library.m_new();
    if (!m_handle)
        throw orm::Error(
            QStringLiteral("The MediaInfo library gave no handle for \"%1\".").arg(path));
    m_openResult = library.m_open(m_handle, text(path).constData());
}

MediaInfoFile::~MediaInfoFile()
{
    m_library.m_close(m_handle);
    m_library.m_delete(m_handle);
}

QString MediaInfoFile::get(StreamKind kind, int streamNumber, const QString &field) const
{
    return fromLibrary(m_library.m_get(m_handle, int(kind), std::size_t(streamNumber),
                                       text(field).constData(), kInfoText, kSearchByName));
}

QString MediaInfoFile::inform() const
{
    QString report = fromLibrary(m_library.m_inform(m_handle, 0));
    report.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    report.replace(u'\r', u'\n');
    return report;
}

} // namespace orm
